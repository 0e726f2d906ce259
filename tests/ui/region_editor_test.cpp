// The capture-region editor's window on a scripted desktop: the numbers it shows, its switch, a
// held nudge button and its closing.
#include "platform/FrameProgram.h"
#include "platform/Messages.h"
#include "source/FrameCommand.h"
#include "tests/support/FakeDesktop.h"
#include "ui/RegionEditor.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace oculet {
namespace {

// The scripted desktop and a frame program that shows its window at once (or fails to start when
// `error` is set).
struct Scene final : Messages, FrameProgram {
    test::FakeDesktop desktop;
    Settings settings;
    SourceWindow source{desktop};
    QString error;
    InterfaceTexts texts;
    RegionEditor editor{settings, desktop, source, *this, texts, *this};
    Scene() {
        settings.program = MMSSTV;
        desktop.addWindow(QStringLiteral("MMSSTV"), {100, 200, 640, 480});
        source.setFragment(QStringLiteral("MMSSTV"));
        source.check(settings);
    }
    void show(Kind, const QString&, const QString&, std::function<void(bool)>) override {}
    void closeAll() override {}
    qint64 start(const QString& command, QString* why) override {
        *why = error;
        desktop.setWindowProcess(desktop.addWindow(parseFrameCommand(command).title, {0, 0, 10, 10}), 4242);
        return error.isEmpty() ? 4242 : 0;
    }
    void stop() override {}
    template <class W> W* child(const char* name) { return editor.findChild<W*>(QString::fromLatin1(name)); }
};

TEST(RegionEditor, ShowsTheFrameWindowsNumbersSetsTheSwitchAndClosesTheFrameWindow) {
    for (const RegionTarget target : {RegionTarget::Capture, RegionTarget::Aux1}) {
        Scene scene;
        int polled = 0, closed = 0;
        QObject::connect(&scene.editor, &RegionEditor::polled, [&] { ++polled; });
        QObject::connect(&scene.editor, &RegionEditor::closed, [&] { ++closed; });
        scene.editor.open(target, {0, 0, 320, 262}, QStringLiteral("MMSSTV"));
        EXPECT_EQ(scene.editor.target(), target);
        EXPECT_EQ(scene.child<QCheckBox>("ckBox")->isVisibleTo(&scene.editor), target != RegionTarget::Capture);
        scene.child<QCheckBox>("ckBox")->click();
        EXPECT_EQ(scene.settings.copiedRegions[Aux1Box][MMSSTV].on, target == RegionTarget::Aux1);
        const WindowId frame = scene.desktop.findWindowOfProcess(4242);
        scene.editor.poll(); // the timer's first poll, before the user can move anything
        scene.desktop.moveWindow(frame, {-50, 30, 220, 160});
        scene.editor.poll();
        EXPECT_EQ(polled, 2);
        const char* labels[] = {"lblX", "lblY", "lblWt", "lblHt"};
        const int shown[] = {-50, 30, 220, 160};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(scene.child<QLabel>(labels[i])->text(), QString::number(shown[i])) << labels[i];
        }
        scene.child<QPushButton>("cmdHdn")->click();
        EXPECT_EQ(scene.desktop.windowRect(frame)->height(), 159);
        scene.child<QPushButton>("cmdClose")->click();
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(scene.editor.target(), RegionTarget::None);
        EXPECT_FALSE(scene.desktop.windowRect(frame)) << "the frame window was not asked to close";
        EXPECT_FALSE(scene.editor.isVisible());
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
    QTimer::singleShot(600, &held, &QEventLoop::quit); // and nothing more once it is let go
    held.exec();
    // From where the picture is taken (the window's left 100 + 10): 110 + 1 + 2 x 15.
    EXPECT_EQ(scene.child<QLabel>("lblX")->text(), QStringLiteral("141"));
}

TEST(RegionEditor, AFrameWindowClosedOnTheDesktopClosesTheEditorAndAnInertOneStillCloses) {
    Scene scene;
    int closed = 0;
    QObject::connect(&scene.editor, &RegionEditor::closed, [&] { ++closed; });
    scene.editor.open(RegionTarget::Aux2, {0, 0, 320, 262}, QStringLiteral("MMSSTV"));
    scene.desktop.removeWindow(scene.desktop.findWindowOfProcess(4242));
    scene.editor.poll();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(scene.editor.target(), RegionTarget::None);

    scene.error = QStringLiteral("no such file");
    scene.editor.open(RegionTarget::Capture, {0, 0, 320, 262}, QStringLiteral("MMSSTV"));
    scene.editor.poll();
    EXPECT_EQ(scene.editor.target(), RegionTarget::Capture);
    scene.child<QPushButton>("cmdClose")->click();
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(scene.editor.target(), RegionTarget::None);
}

} // namespace
} // namespace oculet
