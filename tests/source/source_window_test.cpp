// Following the radio program's window from frame to frame: which window is taken, when a window
// that comes or goes is noticed, and which screen rectangles the frame copies from.
#include "source/SourcePrograms.h"
#include "source/SourceWindow.h"
#include "tests/support/FakeDesktop.h"

#include <gtest/gtest.h>

namespace oculet {
namespace {

using test::FakeDesktop;

// The stored capture of the defaults: 400 × 300 at (400, 400), 10 right of and 30 below the
// window's top-left corner.
const QRect kStoredCapture(400, 400, 400, 300);

TEST(SourceWindow, TakesTheTopmostWindowWhoseTitleHoldsTheFragment) {
    struct Case {
        const char* name;
        int program;
        std::vector<QString> titlesTopFirst;
        int expected; // index into titlesTopFirst, -1 for none
    };
    const Case cases[] = {
        {"browser page above the program wins", EasyPal, {"EasyPal manual - Browser", "EasyPal Build 07-Jan"}, 0},
        {"other letter case is not the program", EasyPal, {"easypal notes", "EASYPAL"}, -1},
        {"DM780 is searched as Digital Master", DM780, {"DM780 log", "Ham Radio Deluxe - Digital Master 780"}, 1},
        {"DM780 caption alone finds nothing", DM780, {"DM780"}, -1},
        {"MMSSTV by its caption", MMSSTV, {"Terminal", "MMSSTV Ver1.13A"}, 1},
        {"KG-STV by its caption", KGSTV, {"KG-STV v2", "KG-STV"}, 0},
    };
    for (const Case& c : cases) {
        FakeDesktop desktop;
        std::vector<WindowId> ids;
        for (const QString& title : c.titlesTopFirst) {
            ids.push_back(desktop.addWindow(title, {0, 0, 600, 400}, /*onTop=*/false));
        }
        SourceWindow source(desktop);
        source.setFragment(titleFragmentFor(c.program, sourceMenuCaption(c.program)));
        const WindowId expected = c.expected < 0 ? 0 : ids[std::size_t(c.expected)];
        EXPECT_EQ(source.handle(), expected) << c.name;

        Settings settings;
        settings.program = c.program;
        source.check(settings);
        EXPECT_EQ(source.missing(), c.expected < 0) << c.name;
    }
}

TEST(SourceWindow, FollowsTheWindowAndFallsBackToTheStoredPosition) {
    FakeDesktop desktop;
    Settings settings;
    const WindowId window = desktop.addWindow("EasyPal", {100, 50, 800, 600});
    SourceWindow source(desktop);
    source.setFragment("EasyPal");

    source.check(settings);
    EXPECT_FALSE(source.missing());
    EXPECT_EQ(source.edges(), (WindowEdges{100, 50, 900, 650}));
    EXPECT_EQ(source.captureRect(settings), QRect(110, 80, 400, 300));
    // barX 20 from the left edge, the strip's top 15 above the bottom edge.
    EXPECT_EQ(source.progressStripRect(settings), QRect(120, 635, 500, 7));

    desktop.moveWindow(window, {300, 200, 800, 600});
    source.check(settings);
    EXPECT_EQ(source.captureRect(settings), QRect(310, 230, 400, 300));
    EXPECT_EQ(source.progressStripRect(settings), QRect(320, 785, 500, 7));

    // A window that keeps its id but no longer names the program is not the program.
    desktop.retitleWindow(window, "Untitled");
    source.check(settings);
    EXPECT_TRUE(source.missing());
    EXPECT_EQ(source.handle(), 0u);
    EXPECT_EQ(source.captureRect(settings), kStoredCapture);

    // Closed: frames go on from the stored capture position.
    desktop.retitleWindow(window, "EasyPal");
    source.check(settings); // finds it again, still reports missing for this frame
    desktop.removeWindow(window);
    source.check(settings);
    EXPECT_TRUE(source.missing());
    EXPECT_EQ(source.captureRect(settings), kStoredCapture);
}

TEST(SourceWindow, AWindowThatAppearsIsUsedOneCheckAfterItIsFound) {
    FakeDesktop desktop;
    Settings settings;
    settings.captureOffX[EasyPal] = 5;
    settings.captureOffY[EasyPal] = 25;
    SourceWindow source(desktop);
    source.setFragment("EasyPal");
    ASSERT_EQ(source.handle(), 0u);

    source.check(settings);
    EXPECT_TRUE(source.missing());
    EXPECT_EQ(source.edges(), (WindowEdges{395, 375, 800, 700}));

    const WindowId window = desktop.addWindow("EasyPal", {40, 60, 640, 480});
    source.check(settings); // the search finds it, but this frame still uses the stored place
    EXPECT_EQ(source.handle(), window);
    EXPECT_TRUE(source.missing());
    EXPECT_EQ(source.captureRect(settings), kStoredCapture);

    source.check(settings);
    EXPECT_FALSE(source.missing());
    EXPECT_EQ(source.captureRect(settings), QRect(45, 85, 400, 300));

    // Restarted program: a new window with a new id is picked up the same way.
    desktop.removeWindow(window);
    source.check(settings);
    EXPECT_TRUE(source.missing());
    const WindowId restarted = desktop.addWindow("EasyPal", {0, 0, 640, 480});
    source.check(settings);
    EXPECT_TRUE(source.missing());
    source.check(settings);
    EXPECT_FALSE(source.missing());
    EXPECT_EQ(source.handle(), restarted);
}

TEST(SourceWindow, KeepsTheRememberedWindowWhileItStillNamesTheProgram) {
    // Once found, a window is followed even when another one with the fragment comes on top:
    // the frames must not jump between two windows.
    FakeDesktop desktop;
    Settings settings;
    const WindowId program = desktop.addWindow("EasyPal", {100, 100, 800, 600});
    SourceWindow source(desktop);
    source.setFragment("EasyPal");
    desktop.addWindow("EasyPal forum - Browser", {0, 0, 1000, 800});
    desktop.clearRecord();
    for (int i = 0; i < 3; ++i) {
        source.check(settings);
        EXPECT_EQ(source.handle(), program);
        EXPECT_FALSE(source.missing());
    }
    // No window list is read while the remembered window answers.
    EXPECT_EQ(desktop.listCount(), 0);
}

TEST(SourceWindow, ScreenModeUsesTheAbsoluteRectangleAndNeverMisses) {
    FakeDesktop desktop;
    desktop.addWindow("Screen capture", {0, 0, 300, 300}); // a window named like the entry is ignored
    Settings settings;
    settings.program = ScreenCapture;
    settings.captureLeft[ScreenCapture] = 30;
    settings.captureTop[ScreenCapture] = 40;
    settings.captureWidth[ScreenCapture] = 640;
    settings.captureHeight[ScreenCapture] = 480;
    SourceWindow source(desktop);
    source.setFragment(titleFragmentFor(ScreenCapture, sourceMenuCaption(ScreenCapture)));
    EXPECT_TRUE(source.screenMode());
    EXPECT_EQ(source.handle(), 0u);
    source.check(settings);
    EXPECT_FALSE(source.missing());
    EXPECT_EQ(source.captureRect(settings), QRect(30, 40, 640, 480));
}

TEST(SourceWindow, RedrawSearchTakesTheWindowButLeavesTheMissingFlag) {
    FakeDesktop desktop;
    Settings settings;
    SourceWindow source(desktop);
    source.setFragment("MMSSTV");
    settings.program = MMSSTV;
    source.check(settings);
    ASSERT_TRUE(source.missing());

    desktop.addWindow("MMSSTV", {200, 100, 700, 500});
    source.searchForRedraw(settings);
    EXPECT_NE(source.handle(), 0u);
    EXPECT_EQ(source.captureRect(settings), QRect(210, 130, 400, 300));
    EXPECT_TRUE(source.missing());

    // With no window the stored place is used.
    FakeDesktop empty;
    SourceWindow none(empty);
    none.setFragment("MMSSTV");
    none.searchForRedraw(settings);
    EXPECT_EQ(none.captureRect(settings), kStoredCapture);
    EXPECT_FALSE(none.missing());
}

} // namespace
} // namespace oculet
