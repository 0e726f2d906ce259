// The capture-region editor's decisions on a scripted desktop: each target's colour, placing,
// clamping, reading back, nudging and switch as one table; the frame program's command text; a
// frame program that cannot start.
#include "platform/FrameProgram.h"
#include "platform/Messages.h"
#include "source/FrameCommand.h"
#include "source/RegionEdit.h"
#include "tests/support/FakeDesktop.h"

#include <gtest/gtest.h>

namespace oculet {
namespace {

// The scripted desktop, the messages shown and a frame program that shows its window at once (or
// fails to start when `error` is set).
struct Scene final : Messages, FrameProgram {
    test::FakeDesktop desktop;
    Settings settings;
    SourceWindow source{desktop};
    QStringList shown;
    QString error;
    QString text;
    int stops = 0;
    InterfaceTexts texts;
    RegionEdit edit{settings, desktop, source, *this, texts, *this};
    Scene() {
        settings.program = MMSSTV;
        desktop.addWindow(QStringLiteral("MMSSTV"), {100, 200, 640, 480});
        source.setFragment(QStringLiteral("MMSSTV"));
        source.check(settings);
    }
    void show(Kind, const QString& title, const QString& t, std::function<void(bool)>) override {
        shown << (title == defaultTitle() ? t : title + u'|' + t);
    }
    void closeAll() override {}
    qint64 start(const QString& command, QString* why) override {
        text = command;
        *why = error;
        desktop.setWindowProcess(desktop.addWindow(parseFrameCommand(command).title, {0, 0, 10, 10}), 4242);
        return error.isEmpty() ? 4242 : 0;
    }
    void stop() override { ++stops; }
};

TEST(RegionEdit, EachTargetPlacesItsFrameAndReadsItBackClamped) {
    const struct {
        RegionTarget target;
        Colour colour;
        QRect placed; // where the frame window is put on opening
        QRect read;   // the stored region after the user moved it to (-50, 30, 220, 160)
        QRect right;  // ... and then to (1800, 1000, 220, 160), past the bottom right
    } cases[] = {
        // The capture frame opens where the picture is taken: the window's corner plus the offsets
        // (not the stored absolute place), and keeps its own place, off-screen parts and all.
        {RegionTarget::Capture, 0xFFFFFF, {110, 230, 400, 300}, {-50, 30, 220, 160}, {1800, 1000, 220, 160}},
        {RegionTarget::ProgressStrip, 0x8080FF, {120, 665, 500, 7}, {0, 30, 220, 160}, {1700, 920, 220, 160}},
        {RegionTarget::SignalMeter, 0x80FFFF, {401, 400, 200, 150}, {0, 30, 220, 160}, {1700, 920, 220, 160}},
        {RegionTarget::Aux1, 0xFFFF80, {402, 400, 200, 150}, {0, 30, 220, 160}, {1700, 920, 220, 160}},
        {RegionTarget::Aux2, 0x80FF80, {403, 400, 200, 150}, {0, 30, 220, 160}, {1700, 920, 220, 160}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.target));
        Scene scene;
        Settings& s = scene.settings;
        s.epProgress = 0;
        for (int box = 0; box < kCopiedBoxCount; ++box) {
            s.copiedRegions[box][MMSSTV].source.left = 401 + box;
        }
        EXPECT_FALSE(scene.edit.switchOn(c.target));
        scene.edit.begin(c.target, QStringLiteral("MMSSTV"));
        EXPECT_EQ(scene.edit.target(), c.target);
        EXPECT_EQ(parseFrameCommand(scene.text).colour, c.colour);
        const WindowId frame = scene.desktop.findWindowOfProcess(4242);
        EXPECT_EQ(scene.desktop.windowRect(frame), c.placed);
        // Opening alone changes no picture.
        const QRect captured = scene.source.captureRect(s);
        EXPECT_EQ(scene.edit.poll(), RegionEdit::Poll::Read);
        EXPECT_EQ(scene.source.captureRect(s), captured);
        EXPECT_EQ(regionOnScreen(s, c.target, scene.source.edges()), c.placed);
        if (RegionEdit::hasSwitch(c.target)) {
            scene.edit.setSwitch(true);
            EXPECT_TRUE(scene.edit.switchOn(c.target));
        }
        // The switch sets the strip or the box it edits, and nothing else.
        const std::optional<int> box = copiedBoxOf(c.target);
        EXPECT_EQ(s.progressStripOn(), c.target == RegionTarget::ProgressStrip);
        for (int b = 0; b < kCopiedBoxCount; ++b) {
            EXPECT_EQ(s.copiedRegions[b][MMSSTV].on, box == b) << b;
        }
        scene.desktop.moveWindow(frame, {-50, 30, 220, 160});
        EXPECT_EQ(scene.edit.poll(), RegionEdit::Poll::Read);
        EXPECT_EQ(scene.edit.placement(), QRect(-50, 30, 220, 160));
        EXPECT_EQ(regionOnScreen(s, c.target, scene.source.edges()), c.read);
        // A nudge moves or sizes the frame from where the poll left it (clamped onto the screen).
        scene.edit.nudge(3, 1);
        scene.edit.nudge(6, 15);
        EXPECT_EQ(scene.desktop.windowRect(frame), QRect(0, 31, 205, 160));
        scene.edit.poll(); // the editor polls every 100 ms, before the user's next move
        scene.desktop.moveWindow(frame, {1800, 1000, 220, 160});
        scene.edit.poll();
        EXPECT_EQ(regionOnScreen(s, c.target, scene.source.edges()), c.right);
        scene.edit.end();
        EXPECT_EQ(scene.edit.target(), RegionTarget::None);
        EXPECT_FALSE(scene.desktop.windowRect(frame)) << "the frame window was not asked to close";
        EXPECT_EQ(scene.stops, 1) << "the frame program was left running";
    }
}

TEST(RegionEdit, StoresOnlyASizeTheUserGaveNotOneAWindowManagerHeldTheFrameTo) {
    Scene scene;
    scene.edit.begin(RegionTarget::ProgressStrip, QStringLiteral("MMSSTV"));
    const WindowId frame = scene.desktop.findWindowOfProcess(4242);
    scene.desktop.moveWindow(frame, {120, 665, 500, 20}); // a minimum height of its own
    scene.edit.poll();
    EXPECT_EQ(QSize(scene.settings.barWt, scene.settings.barHt), QSize(500, 7));
    scene.desktop.moveWindow(frame, {130, 665, 500, 20}); // moved by the user: the place counts
    scene.edit.poll();
    EXPECT_EQ(QRect(scene.settings.barX, scene.settings.barY, scene.settings.barWt, scene.settings.barHt),
              QRect(30, 15, 500, 7));
    scene.desktop.moveWindow(frame, {130, 665, 480, 30}); // sized by the user
    scene.edit.poll();
    EXPECT_EQ(QSize(scene.settings.barWt, scene.settings.barHt), QSize(480, 30));
    scene.edit.end();
    EXPECT_EQ(scene.stops, 1);
}

TEST(RegionEdit, AClosedFrameWindowEndsTheEditAndAProgramThatCannotStartLeavesItInert) {
    Scene scene;
    scene.edit.begin(RegionTarget::Aux1, QStringLiteral("MMSSTV"));
    scene.desktop.removeWindow(scene.desktop.findWindowOfProcess(4242));
    EXPECT_EQ(scene.edit.poll(), RegionEdit::Poll::Closed);
    scene.edit.end();

    scene.error = QStringLiteral("execve: No such file or directory");
    scene.edit.begin(RegionTarget::Capture, QStringLiteral("MMSSTV"));
    EXPECT_EQ(scene.shown, QStringList{"Error|Error Shelling file.\nexecve: No such file or directory"});
    EXPECT_EQ(scene.edit.poll(), RegionEdit::Poll::Idle);
    EXPECT_EQ(scene.edit.target(), RegionTarget::Capture);
}

TEST(FrameCommand, TitleColourAndCaptionComeBackWhateverTheTitleHolds) {
    const std::pair<QString, FrameCommand> cases[] = {
        {frameCommandText("Aux1 area: left", " :&HFFFF80:", "Close"), {"Aux1 area: left", 0xFFFF80, "Close"}},
        {"Region :&HZZ:Close", {"Region", 0xFFFFFF, "Close"}},
        {"Just a title", {"Just a title", 0xFFFFFF, ""}},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseFrameCommand(text), expected) << text.toStdString();
    }
}

} // namespace
} // namespace oculet
