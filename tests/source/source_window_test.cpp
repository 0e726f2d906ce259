// Following the radio program's window from frame to frame: which window is taken, when a window
// that comes or goes is noticed, and which screen rectangles the frame copies from.
#include "source/SourcePrograms.h"
#include "source/SourceWindow.h"
#include "tests/support/FakeDesktop.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace oculet {
namespace {

using test::FakeDesktop;

// The stored capture of the defaults: 400 × 300 at (400, 400), 10 right of and 30 below the
// window's top-left corner.
const QRect kStoredCapture(400, 400, 400, 300);

TEST(SourceWindow, TakesTheTopmostWindowWhoseTitleHoldsTheFragment) {
    // Program, window titles from the top down, and which is taken (-1 for none).
    const std::tuple<int, std::vector<QString>, int> cases[] = {
        {EasyPal, {"EasyPal manual - Browser", "EasyPal Build 07-Jan"}, 0}, // the page above the program wins
        {EasyPal, {"easypal notes", "EASYPAL"}, -1},                        // letter case counts
        {DM780, {"DM780 log", "Ham Radio Deluxe - Digital Master 780"}, 1}, // searched as Digital Master
        {DM780, {"DM780"}, -1},
        {MMSSTV, {"Terminal", "MMSSTV Ver1.13A"}, 1},
        {KGSTV, {"KG-STV v2", "KG-STV"}, 0},
    };
    for (const auto& [program, titlesTopFirst, expected] : cases) {
        FakeDesktop desktop;
        std::vector<WindowId> ids;
        for (const QString& title : titlesTopFirst) {
            ids.push_back(desktop.addWindow(title, {0, 0, 600, 400}, /*onTop=*/false));
        }
        SourceWindow source(desktop);
        source.setFragment(titleFragmentFor(program, sourceMenuCaption(program)));
        source.check(Settings{});
        EXPECT_EQ(source.handle(), expected < 0 ? 0 : ids[std::size_t(expected)]) << titlesTopFirst[0].toStdString();
        EXPECT_EQ(source.missing(), expected < 0);
    }
}

TEST(SourceWindow, FollowsTheWindowAndFallsBackToTheStoredPlaceWhileItIsMissingAndTheScreenNeedsNoWindow) {
    FakeDesktop desktop;
    Settings settings;
    settings.captureOffX[EasyPal] = 5;
    settings.captureOffY[EasyPal] = 25;
    SourceWindow source(desktop);
    source.setFragment("EasyPal");
    source.check(settings);
    EXPECT_TRUE(source.missing());
    EXPECT_EQ(source.captureRect(settings), kStoredCapture);
    EXPECT_EQ(source.progressStripRect(settings), QRect(415, 685, 500, 7));

    // A window that appears is found by one check and used from the next.
    const WindowId window = desktop.addWindow("EasyPal", {100, 50, 800, 600});
    source.check(settings);
    EXPECT_EQ(source.handle(), window);
    EXPECT_TRUE(source.missing());
    EXPECT_EQ(source.captureRect(settings), kStoredCapture);

    // Once found, a window is followed where it moves, with no window list read, even when another
    // one with the fragment comes on top: the frames must not jump between two windows.
    desktop.moveWindow(window, {300, 200, 800, 600});
    const WindowId browser = desktop.addWindow("EasyPal forum - Browser", {0, 0, 1000, 800});
    desktop.clearRecord();
    source.check(settings);
    EXPECT_EQ(source.handle(), window);
    EXPECT_FALSE(source.missing());
    EXPECT_EQ(desktop.listCount(), 0);
    EXPECT_EQ(source.captureRect(settings), QRect(305, 225, 400, 300));
    // barX 20 from the left edge, the strip's top 15 above the bottom edge.
    EXPECT_EQ(source.progressStripRect(settings), QRect(320, 785, 500, 7));
    desktop.removeWindow(browser);

    // A window that keeps its id but no longer names the program is not the program.
    desktop.retitleWindow(window, "Untitled");
    source.check(settings);
    EXPECT_TRUE(source.missing());
    EXPECT_EQ(source.handle(), 0u);
    EXPECT_EQ(source.captureRect(settings), kStoredCapture);

    // The start-up redraw takes a window at once, but leaves the missing flag to the checks.
    desktop.addWindow("EasyPal", {200, 100, 700, 500});
    source.searchForRedraw(settings);
    EXPECT_EQ(source.captureRect(settings), QRect(205, 125, 400, 300));
    EXPECT_TRUE(source.missing());

    // The whole screen needs no window: one named like the entry is ignored, no window list is
    // read, nothing is ever missing and the stored rectangle is taken as it is.
    desktop.addWindow("Screen capture", {0, 0, 300, 300});
    settings.program = ScreenCapture;
    std::tie(settings.captureLeft[ScreenCapture], settings.captureTop[ScreenCapture],
             settings.captureWidth[ScreenCapture], settings.captureHeight[ScreenCapture]) = std::tuple(30, 40, 640, 480);
    desktop.clearRecord();
    source.setFragment(titleFragmentFor(ScreenCapture, sourceMenuCaption(ScreenCapture)));
    source.check(settings);
    source.searchForRedraw(settings);
    EXPECT_EQ(source.handle(), 0u);
    EXPECT_FALSE(source.missing());
    EXPECT_EQ(source.captureRect(settings), QRect(30, 40, 640, 480));
    EXPECT_EQ(desktop.listCount(), 0);
}

} // namespace
} // namespace oculet
