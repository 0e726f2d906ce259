// The capture-region editor on a scripted desktop: each target's colour, placing, reading back
// and check box as one table; the frame program's command text; a frame program that cannot start.
#include "platform/Messages.h"
#include "source/FrameCommand.h"
#include "source/RegionEditor.h"
#include "tests/support/FakeDesktop.h"

#include <QCheckBox>
#include <QLabel>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
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
    InterfaceTexts texts;
    RegionEditor editor{settings, desktop, source, *this, texts, *this};
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
    void stop() override {}
    template <class W> W* child(const char* name) { return editor.findChild<W*>(QString::fromLatin1(name)); }
};

// A copied box's source rectangle and switch for the current program (MMSSTV).
template <auto L, auto T, auto W, auto H, auto On> std::array<int, 6> copied(const Settings& s) {
    return {(s.*L)[1], (s.*T)[1], (s.*W)[1], (s.*H)[1], 0, int((s.*On)[1])};
}
using S = Settings;

TEST(RegionEditor, EachTargetPlacesItsFrameAndReadsItBack) {
    using Read = std::array<int, 6> (*)(const Settings&);
    const struct {
        RegionTarget target;
        Colour colour;
        QRect placed;         // where the frame window is put on opening
        std::array<int, 6> read; // what the settings hold after the user moved it to (-50, 30, 220, 160)
        Read values;
    } cases[] = {
        {RegionTarget::Capture, 0xFFFFFF, {400, 400, 400, 300}, {-50, 30, 220, 160, -150, -170},
         [](const Settings& s) {
             return std::array{s.captureLeft[1], s.captureTop[1], s.captureWidth[1], s.captureHeight[1],
                               s.captureOffX[1], s.captureOffY[1]};
         }},
        {RegionTarget::ProgressStrip, 0x8080FF, {120, 665, 500, 7}, {-100, 650, 220, 160, 0, 1},
         [](const Settings& s) { return std::array{s.barX, s.barY, s.barWt, s.barHt, 0, s.epProgress}; }},
        {RegionTarget::SignalMeter, 0x80FFFF, {401, 400, 200, 150}, {0, 30, 220, 160, 0, 1},
         copied<&S::smLeft, &S::smTop, &S::smWidth, &S::smHeight, &S::smOn>},
        {RegionTarget::Aux1, 0xFFFF80, {402, 400, 200, 150}, {0, 30, 220, 160, 0, 1},
         copied<&S::aux1Left, &S::aux1Top, &S::aux1Width, &S::aux1Height, &S::aux1On>},
        {RegionTarget::Aux2, 0x80FF80, {403, 400, 200, 150}, {0, 30, 220, 160, 0, 1},
         copied<&S::aux2Left, &S::aux2Top, &S::aux2Width, &S::aux2Height, &S::aux2On>},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.target));
        Scene scene;
        scene.settings.epProgress = 0;
        scene.settings.smLeft[1] = 401, scene.settings.aux1Left[1] = 402, scene.settings.aux2Left[1] = 403;
        scene.editor.open(c.target, {0, 0, 320, 262}, QStringLiteral("MMSSTV"));
        EXPECT_EQ(parseFrameCommand(scene.text).colour, c.colour);
        const WindowId frame = scene.desktop.findWindowOfProcess(4242);
        EXPECT_EQ(scene.desktop.windowRect(frame), c.placed);
        EXPECT_EQ(scene.child<QCheckBox>("ckBox")->isVisibleTo(&scene.editor), c.target != RegionTarget::Capture);
        scene.child<QCheckBox>("ckBox")->click();
        scene.desktop.moveWindow(frame, {-50, 30, 220, 160});
        scene.editor.poll();
        EXPECT_EQ(scene.child<QLabel>("lblX")->text(), QStringLiteral("-50"));
        EXPECT_EQ(c.values(scene.settings), c.read);
        // A click moves the frame one pixel from where the poll left it; the next poll stores that.
        scene.child<QPushButton>("cmdYup")->click();
        EXPECT_EQ(scene.desktop.windowRect(frame)->top(), 31);
        int closed = 0;
        QObject::connect(&scene.editor, &RegionEditor::closed, [&] { ++closed; });
        scene.child<QPushButton>("cmdClose")->click();
        EXPECT_EQ(closed, 1);
        EXPECT_FALSE(scene.desktop.windowRect(frame)) << "the frame window was not asked to close";
    }
}

TEST(RegionEditor, AHeldNudgeButtonRepeatsEveryHalfSecondAndThePollReadsItBack) {
    Scene scene;
    scene.editor.open(RegionTarget::Capture, {0, 0, 320, 262}, QStringLiteral("MMSSTV"));
    QPushButton* up = scene.child<QPushButton>("cmdXup");
    emit up->pressed();
    QEventLoop held;
    QTimer::singleShot(1250, &held, &QEventLoop::quit);
    held.exec();
    emit up->released();
    EXPECT_EQ(scene.child<QLabel>("lblX")->text(), QStringLiteral("431")); // 400 + 1 + 2 x 15
}

TEST(RegionEditor, AFrameProgramThatCannotStartLeavesAnInertEditorThatCloses) {
    Scene scene;
    scene.error = QStringLiteral("execve: No such file or directory");
    scene.editor.open(RegionTarget::Capture, {0, 0, 320, 262}, QStringLiteral("MMSSTV"));
    EXPECT_EQ(scene.shown, QStringList{"Error|Error Shelling file.\nexecve: No such file or directory"});
    scene.editor.poll();
    EXPECT_EQ(scene.editor.target(), RegionTarget::Capture);
    scene.child<QPushButton>("cmdClose")->click();
    EXPECT_EQ(scene.editor.target(), RegionTarget::None);
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
