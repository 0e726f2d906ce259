// Arranging the frame with the mouse on the real program under a window manager: the
// capture-region editor and its frame window, then box drags, all kept in the saved settings.
#include "tests/app/SystemTest.h"

namespace oculet::test {
namespace {

// The shown window of that title (a regular expression), once it is there.
std::optional<ShownWindow> windowNamed(const QString& name) {
    QList<ShownWindow> found;
    pollUntil(3000, [&] { return !(found = shownWindows({"--name", name})).isEmpty(); });
    return found.isEmpty() ? std::nullopt : std::optional(found.first());
}

// Presses a button at `from` and lets go at `to`, through a point between, in the window.
bool drag(WindowId window, const QPoint& from, const QPoint& to, const QString& button) {
    auto at = [id = QString::number(window)](const QPoint& p) {
        return QStringList{"mousemove", "--window", id, "--sync", QString::number(p.x()), QString::number(p.y())};
    };
    return xdotool(at(from) + QStringList{"mousedown", button} + at((from + to) / 2) + at(to) +
                   QStringList{"mouseup", button})
        .has_value();
}

// The saved value of a per-program setting for the screen region (program 4).
int saved(const char* section) {
    return savedSettings().value(QString::fromLatin1(section), "4").value_or("").toInt();
}

TEST(Layout, TheRegionEditorFollowsItsFrameWindowAndTheBoxesFollowTheMouse) {
    // The other system tests run without a window manager.
    struct Leave { ~Leave() { TestEnvironment::stopWindowManager(); } } noWindowManagerAfter;
    ASSERT_TRUE(TestEnvironment::startWindowManager());
    freshUser("[program]\nprog=4\n[me]\nleft=0\ntop=0\n[smon]\n4=True\n[lblsmleft]\n4=0\n[lblsmtop]\n4=75\n"
              "[clockleft]\n4=220\n[clocktop]\n4=5\n[txton]\n4=0\n[lastrx]\n4=False\n"
              "[captureleft]\n4=400\n[capturetop]\n4=400\n");
    OculetProcess oculet;
    ASSERT_TRUE(oculet.start({}, {"--edit-region", "1"}));
    const auto main = oculet.waitForMainWindow();
    ASSERT_TRUE(main);
    // The window of fixed size asks for no maximise button: the functions of its Motif hints
    // (flags, functions, decorations, ...) leave out maximising (0x10).
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(main->id), "_MOTIF_WM_HINTS"});
    ASSERT_TRUE(xprop.waitForFinished(3000));
    const QStringList hints = QString::fromLatin1(xprop.readAllStandardOutput()).section(u'=', 1).split(u',');
    ASSERT_GE(hints.size(), 3) << hints.join(",").toStdString();
    EXPECT_EQ(hints[1].trimmed().toUInt(nullptr, 16) & 0x10, 0u) << hints.join(",").toStdString();
    const QString frameName = QStringLiteral("^Screen capture capture area$");
    const auto frame = windowNamed(frameName);
    const auto editor = windowNamed("^Set screen capture area$");
    ASSERT_TRUE(frame && editor) << "no frame window or no editor";
    auto frameAt = [&] { return windowNamed(frameName).value_or(ShownWindow{}).geometry; };
    EXPECT_TRUE(pollUntil(1000, [&] { return frameAt() == QRect(400, 400, 400, 300); }))
        << "not placed on the stored capture";
    ASSERT_TRUE(xdotool({"windowmove", "--sync", QString::number(frame->id), "333", "222"}));
    pollUntil(200, [] { return false; });
    // A nudge click moves it one pixel right, from where the latest poll read it.
    ASSERT_TRUE(xdotool({"mousemove", "--window", QString::number(editor->id), "--sync", "76", "76", "click", "1"}));
    EXPECT_TRUE(pollUntil(1000, [&] { return frameAt().x() == 334; }));
    ASSERT_TRUE(requestClose(frame->id));
    EXPECT_TRUE(pollUntil(1000, [] { return shownWindows({"--name", "^Set screen capture area$"}).isEmpty(); }))
        << "closing the frame window by hand left the editor open";

    // The main window takes the mouse again: the clock is dragged, the s-meter box sized.
    const QPoint onFrame(1, 22);
    ASSERT_TRUE(drag(main->id, onFrame + QPoint(225, 10), onFrame + QPoint(125, 110), "1"));
    ASSERT_TRUE(drag(main->id, onFrame + QPoint(10, 85), onFrame + QPoint(80, 115), "3"));
    pollUntil(300, [] { return false; });
    EXPECT_EQ(oculet.terminate(), 0);
    EXPECT_EQ(saved("captureleft"), 334);
    EXPECT_EQ(saved("capturetop"), 222);
    EXPECT_EQ(QPoint(saved("clockleft"), saved("clocktop")), QPoint(120, 105));
    EXPECT_EQ(QSize(saved("lblsmwidth"), saved("lblsmheight")), QSize(80, 40));
}

// Whether the process has ended (gone, or a zombie its parent has yet to reap).
bool ended(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().split(' ').value(2) == "Z";
}

TEST(Layout, AThinStripKeepsItsSizeAndAFrameWindowDestroyedFromOutsideLeavesNoProgramBehind) {
    struct Leave { ~Leave() { TestEnvironment::stopWindowManager(); } } noWindowManagerAfter;
    ASSERT_TRUE(TestEnvironment::startWindowManager());
    freshUser("[program]\nprog=4\n[me]\nleft=0\ntop=0\n");
    OculetProcess oculet;
    ASSERT_TRUE(oculet.start({}, {"--edit-region", "2"}));
    ASSERT_TRUE(oculet.waitForMainWindow());
    const QString frameName = QStringLiteral("^Screen capture capture area$");
    const auto frame = windowNamed(frameName);
    ASSERT_TRUE(frame);
    // The default strip, 500 by 7.
    QSize size;
    EXPECT_TRUE(pollUntil(1000, [&] {
        return (size = windowNamed(frameName).value_or(ShownWindow{}).geometry.size()) == QSize(500, 7);
    })) << "the frame window did not take the strip's size: " << size.width() << 'x' << size.height();
    const qint64 framePid = xdotool({"getwindowpid", QString::number(frame->id)}).value_or("").trimmed().toLongLong();
    ASSERT_GT(framePid, 0);
    pollUntil(300, [] { return false; }); // a few polls of the editor
    ASSERT_TRUE(xdotool({"windowclose", QString::number(frame->id)}));
    EXPECT_TRUE(pollUntil(3000, [&] { return ended(framePid); })) << "the frame program runs on without a window";
    EXPECT_EQ(oculet.terminate(), 0);
    const IniFile saved = savedSettings();
    EXPECT_EQ(QSize(saved.value("Capture", "barWt").value_or("").toInt(),
                    saved.value("Capture", "barHt").value_or("").toInt()),
              QSize(500, 7));
}

TEST(Layout, AMissingFrameProgramIsReported) {
    freshUser("[me]\nleft=0\ntop=0\n");
    const QString alone = TestEnvironment::makeTempDir("alone") + QStringLiteral("/oculet");
    ASSERT_TRUE(QFile::copy(QStringLiteral(OCULET_BINARY), alone));
    OculetProcess oculet(alone);
    ASSERT_TRUE(oculet.start({}, {"--edit-region", "1"}));
    EXPECT_TRUE(windowNamed("^Error$")) << "no Error Shelling file box";
    EXPECT_EQ(oculet.terminate(), 0);
}

TEST(FrameProgram, ShowsItsTitleAndColourAroundASeeThroughInside) {
    QImage green(400, 300, QImage::Format_RGB32);
    green.fill(Qt::green);
    const auto below = showWindow(QStringLiteral("Below"), QRect(600, 300, 400, 300), green);
    QProcess program;
    program.start(QFileInfo(QStringLiteral(OCULET_BINARY)).absolutePath() + QStringLiteral("/oculet-frame"),
                  {"Aux1: area :&H0000FF:Close"});
    const auto frame = windowNamed("^Aux1: area$");
    ASSERT_TRUE(frame);
    ASSERT_TRUE(xdotool({"windowsize", "--sync", QString::number(frame->id), "200", "150", "windowmove", "--sync",
                         QString::number(frame->id), "700", "350"}));
    EXPECT_TRUE(pollUntil(2000, [] {
        return near(screenPixel({800, 430}), Qt::green, 8) && near(screenPixel({899, 430}), Qt::red, 8);
    })) // the middle, and the right edge of the frame
        << "the inside hides the window below, or no red frame";
    // Destroyed by another client, the window takes the program with it.
    ASSERT_TRUE(xdotool({"windowclose", QString::number(frame->id)}));
    EXPECT_TRUE(program.waitForFinished(3000)) << "the frame program runs on without a window";
    program.kill();
    program.waitForFinished();
}

} // namespace
} // namespace oculet::test
