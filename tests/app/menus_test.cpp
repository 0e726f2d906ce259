// The menu bar, the options and language menus and the option panels of the real program, driven
// with the mouse as a user would, against a real FTP server so that pausing shows where it counts.
#include "tests/app/SystemTest.h"
#include "tests/support/FtpServer.h"

#include <QRegularExpression>
#include <algorithm>

namespace oculet::test {
namespace {

// Moves the pointer to a point of a window (client coordinates) and optionally clicks there.
bool pointAt(WindowId window, QPoint at, bool click = false) {
    const QStringList move{"mousemove", "--window", QString::number(window), QString::number(at.x()), QString::number(at.y())};
    return xdotool(click ? move + QStringList{"click", "1"} : move).has_value();
}

// The program's windows other than the main window, tallest first (the options menu before the
// language menu); empty when none shows within the time.
QList<ShownWindow> menus(const OculetProcess& oculet, int count, int timeout_ms = 3000) {
    QList<ShownWindow> shown;
    pollUntil(timeout_ms, [&] {
        shown = shownWindows(oculet.pid());
        shown.removeIf([](const ShownWindow& w) { return w.geometry.size() == QSize(320, 262); });
        return shown.size() == count;
    });
    std::sort(shown.begin(), shown.end(), [](auto& a, auto& b) { return a.geometry.height() > b.geometry.height(); });
    return shown.size() == count ? shown : QList<ShownWindow>{};
}

// Whether uploads go on: the clock changes the frame every second.
bool publishing(const FtpServer& server) {
    const auto uploads = [&] { return server.log().filter(QRegularExpression("^STOR")).size(); };
    const qsizetype before = uploads();
    return pollUntil(3000, [&] { return uploads() > before; });
}

TEST(Menus, PointingAndClickingThroughMenusAndPanelsChangesWhatIsStored) {
    FtpServer server;
    ASSERT_TRUE(server.start());
    freshUser(QStringLiteral("[program]\nprog=4\n[me]\nleft=0\ntop=0\n[captureleft]\n4=1400\n[capturetop]\n4=700\n"
                             "[clockonz]\n4=1\n[clockonl]\n4=0\n[ftxton]\n4=0\n[lastrx]\n4=False\n"
                             "[ftp]\nftpon=True\naddress=%1\nusername=%2\npassword=%3\n")
                  .arg(server.address(), FtpServer::user(), FtpServer::password())
                  .toUtf8());
    const QString viewerLog = TestEnvironment::makeTempDir("viewer") + "/opened";
    const QString viewer = QFileInfo(viewerLog).absolutePath() + "/xdg-open";
    // A desktop without a program for text files: the opener says so by its exit status.
    ASSERT_TRUE(writeFile(viewer, "#!/bin/sh\necho \"$@\" >> " + viewerLog.toUtf8() + "\nexit 3\n"));
    QFile::setPermissions(viewer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    OculetProcess oculet;
    ASSERT_TRUE(oculet.start({{"PATH", QFileInfo(viewer).absolutePath() + ":" + qEnvironmentVariable("PATH")}}));
    const auto main = oculet.waitForMainWindow();
    ASSERT_TRUE(main);

    // Inside the labels also when a long translated program name moves them right.
    const QPoint optionsLabel(150, 10), programLabel(30, 10), camLabel(200, 10);
    const auto openItem = [&](int item, bool click = true) {
        pointAt(main->id, optionsLabel + QPoint(1, 1));
        const QList<ShownWindow> shown = menus(oculet, 1);
        return !shown.isEmpty() && pointAt(shown[0].id, {60, 20 * item + 10}, click);
    };
    // Pointing at "Options" opens its menu, at the program's name the source menu instead, at
    // "Cam mode" neither.
    for (const auto& [label, height] : {std::pair{optionsLabel, 220}, {programLabel, 100}, {camLabel, 0}}) {
        pointAt(main->id, label);
        EXPECT_TRUE(pollUntil(3000, [&, height = height] {
            return height ? menus(oculet, 1, 0).value(0).geometry.height() == height : shownWindows(oculet.pid()).size() == 1;
        })) << height;
    }

    // Each panel: tick its box, close it. Publishing pauses while a panel is open.
    const struct {
        int item;
        QPoint box, close;
    } panels[] = {{7, {20, 88}, {236, 145}}, {6, {16, 158}, {276, 237}}, {5, {20, 63}, {269, 183}}};
    for (const auto& panel : panels) {
        SCOPED_TRACE(panel.item);
        ASSERT_TRUE(openItem(panel.item));
        EXPECT_TRUE(pollUntil(3000, [&] { return shownWindows(oculet.pid()).size() == 1; }));
        pollUntil(500, [] { return false; }); // an upload already under way ends
        EXPECT_FALSE(publishing(server)) << "published while a panel was open";
        pointAt(main->id, panel.box, true);
        pointAt(main->id, panel.close, true);
        EXPECT_TRUE(publishing(server)) << "publishing did not resume";
    }

    // The language menu opens beside the language item; German renames the menu bar.
    const QImage englishBar = QGuiApplication::primaryScreen()->grabWindow(main->id, 0, 0, 320, 20).toImage();
    ASSERT_TRUE(openItem(8, false));
    const QList<ShownWindow> both = menus(oculet, 2);
    ASSERT_EQ(both.value(1).geometry.height(), 100) << "no language menu";
    pointAt(both[1].id, {40, 2 * 20 + 10}, true);
    EXPECT_TRUE(pollUntil(3000, [&] {
        return QGuiApplication::primaryScreen()->grabWindow(main->id, 0, 0, 320, 20).toImage() != englishBar;
    })) << "the menu bar kept its captions";

    // The help text is offered to the desktop's viewer; without one it shows in a window of
    // ours. Publishing goes on.
    ASSERT_TRUE(openItem(9));
    EXPECT_TRUE(pollUntil(3000, [&] { return readFile(viewerLog).contains("/Oculet/Help.txt"); }));
    QList<ShownWindow> helpText;
    EXPECT_TRUE(pollUntil(3000, [&] { return !(helpText = shownWindows({"--name", "^Oculet - "})).isEmpty(); }))
        << "Help.txt not shown";
    if (!helpText.isEmpty()) {
        requestClose(helpText[0].id);
        pollUntil(3000, [] { return shownWindows({"--name", "^Oculet - "}).isEmpty(); });
    }
    EXPECT_TRUE(publishing(server));
    // The help window opens beside it.
    ASSERT_TRUE(openItem(10));
    EXPECT_TRUE(pollUntil(3000, [&] {
        const QList<ShownWindow> shown = shownWindows(oculet.pid());
        return std::any_of(shown.begin(), shown.end(), [](const ShownWindow& w) { return w.geometry.size() == QSize(673, 472); });
    })) << "no help window";

    EXPECT_EQ(oculet.terminate(), 0);
    const IniFile saved = savedSettings();
    EXPECT_EQ(saved.value("ClockOnL", "4"), QStringLiteral("1"));
    EXPECT_EQ(saved.value("FTxtOn", "4"), QStringLiteral("1"));
    EXPECT_EQ(saved.value("LastRx", "4"), QStringLiteral("True"));
    EXPECT_EQ(saved.value("Default", "Language"), QStringLiteral("2"));
}

} // namespace
} // namespace oculet::test
