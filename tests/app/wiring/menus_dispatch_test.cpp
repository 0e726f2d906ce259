// What each options item and the source menu do, in-process: the panel or editor each item opens
// and the pause of publishing it holds until it closes, the items that pause nothing, and the
// source chosen in the source menu.
#include "app/MainWindow.h"
#include "app/Menus.h"
#include "tests/support/FakeDesktop.h"
#include "tests/ui/PanelFixture.h"
#include "ui/Captions.h"
#include "ui/ClockPanel.h"
#include "ui/LastRxPanel.h"
#include "ui/TextPanel.h"

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace oculet::test {
namespace {

// Lets the menus' timers (100 ms) act on what was chosen.
void settle() {
    QEventLoop loop;
    QTimer::singleShot(250, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(Menus, EachOptionsItemOpensItsPanelPausingPublishingUntilItClosesAndTheSourceMenuSwitchesTheProgram) {
    Fixture f;
    f.settings.program = MMSSTV;
    InterfaceTexts texts;
    MainWindow window;
    FakeDesktop desktop;
    SourceWindow source{desktop};
    LayoutPause pause;
    const std::array<OptionPanel*, 3> panels{new LastRxPanel(f.context, window.frameArea()),
                                             new TextPanel(f.context, window.frameArea()),
                                             new ClockPanel(f.context, window.frameArea())};
    int helpOpened = 0;
    Menus menus(f.settings, f.boxes, texts, window, desktop, source, pause, panels, [&] { ++helpOpened; });
    menus.applyTexts();
    auto* options = window.findChild<OptionsMenu*>();
    ASSERT_NE(options, nullptr);
    const struct {
        int item;
        int panel; // -1: none
        int help;
    } rows[] = {{LastReceivedPanelItem, 0, 0}, {TextPanelItem, 1, 0}, {ClockPanelItem, 2, 0},
                {HelpWindowItem, -1, 1},       {LanguageItem, -1, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.item);
        helpOpened = 0;
        emit options->chosen(row.item);
        settle();
        EXPECT_EQ(helpOpened, row.help);
        EXPECT_EQ(pause.holds(PauseReason::OptionPanel), row.panel >= 0);
        EXPECT_EQ(window.menuBar()->options()->isEnabled(), row.panel < 0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(!panels[static_cast<std::size_t>(i)]->isHidden(), i == row.panel) << i;
        }
        if (row.panel >= 0) {
            OptionPanel* panel = panels[static_cast<std::size_t>(row.panel)];
            EXPECT_EQ(panel->title(), QStringLiteral("MMSSTV ") + options->item(row.item)->text());
            panel->closePanel();
            EXPECT_FALSE(pause.paused());
            EXPECT_TRUE(window.menuBar()->options()->isEnabled());
        }
    }

    // The region editor (its frame program really starts) disables the main window while it is open.
    emit options->chosen(Aux1AreaItem);
    settle();
    EXPECT_TRUE(pause.holds(PauseReason::RegionEditor));
    EXPECT_FALSE(window.isEnabled());
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto editor = std::find_if(windows.begin(), windows.end(),
                                     [](QWidget* w) { return w->objectName() == QStringLiteral("frmCap"); });
    ASSERT_NE(editor, windows.end());
    (*editor)->findChild<QPushButton*>(QStringLiteral("cmdClose"))->click();
    EXPECT_FALSE(pause.paused());
    EXPECT_TRUE(window.isEnabled());

    auto* sourceMenu = window.findChild<SourceMenu*>();
    ASSERT_NE(sourceMenu, nullptr);
    emit sourceMenu->chosen(DM780);
    settle();
    EXPECT_EQ(f.settings.program, DM780);
    EXPECT_EQ(window.programCaption(), QStringLiteral("DM780"));
    EXPECT_EQ(source.fragment(), QStringLiteral("Digital Master"));
    EXPECT_EQ(options->item(CaptureAreaItem)->text(), QStringLiteral("Set DM780 capture area"));
}

} // namespace
} // namespace oculet::test
