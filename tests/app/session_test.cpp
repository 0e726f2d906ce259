// The real program's life from start to exit: every way of ending saves every setting, one copy
// runs per user, and start-up prepares the data folder and writes beside the executable.
#include "tests/app/SystemTest.h"

#include <algorithm>
#include <csignal>

namespace oculet::test {
namespace {

// Screen capture of an empty part of the screen: no source window is needed and none is missed.
const QByteArray kScreenCapture = "[program]\nprog=4\n[captureleft]\n4=1400\n[capturetop]\n4=700\n";

enum class End { Sigterm, Sigint, CloseRequest, XConnectionLost, NoToWarning };

TEST(Session, EveryWayOfEndingSavesEverySetting) {
    const std::pair<const char*, End> rows[] = {
        {"SIGTERM", End::Sigterm},
        {"SIGINT", End::Sigint},
        {"close request", End::CloseRequest},
        // What the program sees when the X server goes away with the desktop session.
        {"X connection killed", End::XConnectionLost},
        {"No to the missing-source warning", End::NoToWarning},
    };
    for (const auto& [name, end] : rows) {
        SCOPED_TRACE(name);
        // A window place beyond the right edge of the 1920-pixel screen (40000 twips) but 100
        // pixels down, a signal-meter source off the screen, and values that must come back.
        const bool warning = end == End::NoToWarning;
        const QByteArray prog = warning ? "0" : "4";
        freshUser((warning ? QByteArray("[program]\nprog=0\n") : kScreenCapture) + "[me]\nleft=40000\ntop=1500\n[smleft]\n" + prog +
                  "=5000\n[clockleft]\n1=123\n[text]\n3=third scrolling text\n");
        OculetProcess oculet;
        ASSERT_TRUE(oculet.start());
        const auto main = oculet.waitForMainWindow();
        ASSERT_TRUE(main);
        EXPECT_EQ(main->geometry.topLeft(), QPoint(0, 100));
        // Ended while at work, as a user would end it.
        EXPECT_TRUE(warning || !waitForFrame().isNull());

        std::optional<int> code;
        switch (end) {
        case End::Sigterm:
            code = oculet.terminate();
            break;
        case End::NoToWarning:
            // It must be answered: Escape leaves it standing.
            EXPECT_FALSE(oculet.answer(QStringLiteral("Escape"), 700));
            ASSERT_TRUE(oculet.answer(QStringLiteral("n")));
            code = oculet.waitForExit();
            break;
        case End::Sigint:
            ASSERT_EQ(::kill(pid_t(oculet.pid()), SIGINT), 0);
            code = oculet.waitForExit();
            break;
        case End::CloseRequest:
            ASSERT_TRUE(requestClose(main->id));
            code = oculet.waitForExit();
            break;
        case End::XConnectionLost:
            ASSERT_TRUE(xdotool({QStringLiteral("windowkill"), QString::number(main->id)}));
            code = oculet.waitForExit();
            break;
        }
        ASSERT_TRUE(code.has_value()) << "still running";
        if (end == End::XConnectionLost) {
            EXPECT_GE(*code, 0) << "died of a signal";
        } else {
            EXPECT_EQ(*code, 0);
        }

        const QByteArray bytes = readFile(TestEnvironment::settingsFile());
        EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7f); }))
            << "not a whole text file";
        const IniFile saved = IniFile::parse(bytes);
        EXPECT_EQ(missingSettings(saved), QStringList());
        EXPECT_EQ(saved.value("Me", "Left").value_or("?").toDouble(), 0);
        EXPECT_EQ(saved.value("Me", "Top").value_or("?").toDouble(), 1500);
        EXPECT_EQ(saved.value("smLeft", QString::fromLatin1(prog)), QStringLiteral("0"));
        EXPECT_EQ(saved.value("ClockLeft", "1"), QStringLiteral("123"));
        EXPECT_EQ(saved.value("Text", "3"), QStringLiteral("third scrolling text"));
        // The file holds the FTP password: readable by its owner only.
        EXPECT_EQ(QFileInfo(TestEnvironment::settingsFile()).permissions() & 0x0077, QFile::Permissions());
    }
}

TEST(Session, SecondCopyIsRefusedWhileTheFirstRunsFromItsOwnFolder) {
    // The first copy runs from a folder of its own, where an older installation left the off picture.
    const QByteArray ini = kScreenCapture + "[me]\nleft=0\ntop=0\n";
    freshUser(ini);
    const QString folder = TestEnvironment::makeTempDir(QStringLiteral("program"));
    const QString binary = folder + QStringLiteral("/oculet");
    ASSERT_TRUE(QFile::copy(QStringLiteral(OCULET_BINARY), binary));
    QImage off(64, 48, QImage::Format_RGB32);
    off.fill(QColor(10, 120, 200));
    ASSERT_TRUE(off.save(folder + QStringLiteral("/CamOff.jpg"), "JPEG"));
    const QByteArray offBytes = readFile(folder + QStringLiteral("/CamOff.jpg"));

    OculetProcess first(binary);
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(first.waitForMainWindow());
    EXPECT_FALSE(waitForFrame({}, 4000, camBitmap(folder)).isNull()) << "no Cam_1.bmp beside the executable";
    EXPECT_TRUE(QFileInfo(TestEnvironment::dataFolder() + QStringLiteral("/Languages")).isDir());
    EXPECT_EQ(readFile(TestEnvironment::dataFolder() + QStringLiteral("/CamOff.jpg")), offBytes);
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/CamOff.jpg")));

    // A first copy that does not answer (stopped here) cannot come to the front: the second
    // start says that Oculet is open instead.
    ASSERT_EQ(::kill(pid_t(first.pid()), SIGSTOP), 0);
    OculetProcess second;
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.waitForMessageBox()) << "the second copy said nothing";
    EXPECT_FALSE(second.waitForMainWindow(300)) << "the second copy opened a main window";
    EXPECT_TRUE(second.answer(QStringLiteral("Return")));
    EXPECT_EQ(second.waitForExit(), 1);
    EXPECT_EQ(readFile(TestEnvironment::settingsFile()), ini) << "the second copy touched the settings";
    ASSERT_EQ(::kill(pid_t(first.pid()), SIGCONT), 0);

    EXPECT_FALSE(waitForFrame().isNull()) << "the first copy stopped composing frames";
    EXPECT_EQ(first.terminate(), 0);
}

TEST(Session, StartingAgainBringsTheRunningCopysWindowToTheFront) {
    // Minimising and activating take a window manager; the other system tests run without one.
    struct Leave { ~Leave() { TestEnvironment::stopWindowManager(); } } noWindowManagerAfter;
    ASSERT_TRUE(TestEnvironment::startWindowManager());
    const QByteArray ini = kScreenCapture + "[me]\nleft=0\ntop=0\n";
    freshUser(ini);
    OculetProcess first;
    ASSERT_TRUE(first.start());
    const auto main = first.waitForMainWindow();
    ASSERT_TRUE(main);
    auto shown = [&] { return !shownWindows(first.pid()).isEmpty(); };
    ASSERT_TRUE(xdotool({"windowminimize", "--sync", QString::number(main->id)}));
    ASSERT_TRUE(pollUntil(2000, [&] { return !shown(); })) << "could not minimise the window";

    OculetProcess second;
    ASSERT_TRUE(second.start());
    EXPECT_EQ(second.waitForExit(), 0) << "the second start did not end by itself";
    EXPECT_TRUE(pollUntil(3000, [&] {
        return shown() && xdotool({"getactivewindow"}).value_or(QString()).trimmed() == QString::number(main->id);
    })) << "the running copy's window did not come to the front";
    EXPECT_EQ(readFile(TestEnvironment::settingsFile()), ini) << "the second start touched the settings";
    EXPECT_EQ(first.terminate(), 0);
}

TEST(Session, ASettingsFileThatCannotBeReadIsSaidOnceWithoutStoppingFramesAndNeverSavedOver) {
    // Over the size a settings file may have: unreadable to the program even for the superuser,
    // who reads a file of mode 0000 all the same.
    const QByteArray ini = "[ftp]\npassword=secret\n;" + QByteArray(IniFile::kMaxFileSize, ';');
    freshUser(ini);
    // The defaults follow EasyPal: a stand-in keeps the missing-source warning away.
    QImage grey(64, 48, QImage::Format_RGB32);
    grey.fill(Qt::gray);
    const auto easyPal = showWindow(QStringLiteral("EasyPal"), {300, 300, 500, 400}, grey);
    // Leftovers of a copy killed in the moment of a rename; one holds the password.
    const QStringList leftovers = {QFileInfo(TestEnvironment::settingsFile()).absolutePath() + "/.Oculet.ini.Ab12Cd",
                                   TestEnvironment::dataFolder() + "/.Cam_1.bmp.Xy34Zw"};
    QDir().mkpath(TestEnvironment::dataFolder());
    for (const QString& leftover : leftovers) {
        ASSERT_TRUE(writeFile(leftover, "password=secret\n"));
    }

    OculetProcess oculet;
    ASSERT_TRUE(oculet.start());
    ASSERT_TRUE(oculet.waitForMessageBox()) << "the unreadable settings file was not mentioned";
    EXPECT_FALSE(waitForFrame().isNull()) << "frames wait for the message to be answered";
    for (const QString& leftover : leftovers) {
        EXPECT_FALSE(QFileInfo::exists(leftover)) << leftover.toStdString();
    }
    EXPECT_EQ(oculet.terminate(), 0);
    EXPECT_EQ(readFile(TestEnvironment::settingsFile()), ini) << "saved over the settings it could not read";
}

TEST(Session, CommandLineOptions) {
    const QString binary = QStringLiteral(OCULET_BINARY);
    EXPECT_EQ(QProcess::execute(binary, {QStringLiteral("--help")}), 0);
    EXPECT_EQ(QProcess::execute(binary, {QStringLiteral("--version")}), 0);
    EXPECT_EQ(QProcess::execute(binary, {QStringLiteral("--no-such-option")}), 2);
}

} // namespace
} // namespace oculet::test
