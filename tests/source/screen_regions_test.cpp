// The stored screen regions as screen rectangles and back, for every target, against a source
// window whose edges all differ.
#include "source/ScreenRegions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>
#include <vector>

namespace oculet {
namespace {

constexpr RegionTarget kTargets[] = {RegionTarget::Capture, RegionTarget::ProgressStrip, RegionTarget::SignalMeter,
                                     RegionTarget::Aux1, RegionTarget::Aux2};
const WindowEdges kWindow{100, 200, 740, 680};
const QRect kScreen(0, 0, 1920, 1080);

// Distinct stored values for the current program, MMSSTV; the other programs keep the defaults.
Settings storedValues() {
    Settings s;
    s.program = MMSSTV;
    std::tie(s.captureLeft[1], s.captureTop[1], s.captureWidth[1], s.captureHeight[1]) = std::tuple(410, 420, 430, 440);
    std::tie(s.captureOffX[1], s.captureOffY[1]) = std::pair(15, 25);
    for (int box = 0; box < kCopiedBoxCount; ++box) {
        s.copiedRegions[box][1].source = {501 + 100 * box, 502 + 100 * box, 203, 154};
    }
    return s;
}

// What a target stores: the capture with its offsets, the bar, or a box's source rectangle.
std::vector<int> stored(const Settings& s, RegionTarget target) {
    switch (target) {
    case RegionTarget::Capture:
        return {s.captureLeft[1], s.captureTop[1], s.captureWidth[1], s.captureHeight[1], s.captureOffX[1],
                s.captureOffY[1]};
    case RegionTarget::ProgressStrip: return {s.barX, s.barY, s.barWt, s.barHt};
    default: {
        const StoredRect& r = s.copiedRegions[*copiedBoxOf(target)][1].source;
        return {r.left, r.top, r.width, r.height};
    }
    }
}

TEST(ScreenRegions, EachTargetIsReadFromItsStoredValuesAndStoredBackHeldOnTheScreen) {
    const struct {
        RegionTarget target;
        QRect onScreen;                   // from the stored values
        std::vector<int> afterLeftTop;    // after the user placed it at (-50, 30), 220 x 160
        std::vector<int> afterRightBottom; // after (1800, 1000), 220 x 160
    } cases[] = {
        // The capture keeps its place, off the screen or not; its offsets are from the window.
        {RegionTarget::Capture, {410, 420, 430, 440}, {-50, 30, 220, 160, -150, -170}, {1800, 1000, 220, 160, 1700, 800}},
        // The strip: from the window's left, its top counted upwards from the window's bottom.
        {RegionTarget::ProgressStrip, {120, 665, 500, 7}, {-100, 650, 220, 160}, {1600, -240, 220, 160}},
        {RegionTarget::SignalMeter, {501, 502, 203, 154}, {0, 30, 220, 160}, {1700, 920, 220, 160}},
        {RegionTarget::Aux1, {601, 602, 203, 154}, {0, 30, 220, 160}, {1700, 920, 220, 160}},
        {RegionTarget::Aux2, {701, 702, 203, 154}, {0, 30, 220, 160}, {1700, 920, 220, 160}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.target));
        const Settings before = storedValues();
        EXPECT_EQ(regionOnScreen(before, c.target, kWindow), c.onScreen);
        for (const auto& [placed, expected] : {std::pair(QRect(-50, 30, 220, 160), c.afterLeftTop),
                                               std::pair(QRect(1800, 1000, 220, 160), c.afterRightBottom)}) {
            Settings s = before;
            const QRect held = storeRegion(s, c.target, kWindow, placed, kScreen);
            EXPECT_EQ(held, QRect(std::clamp(placed.x(), 0, 1700), std::clamp(placed.y(), 0, 920), 220, 160));
            EXPECT_EQ(stored(s, c.target), expected);
            // Read back, the region is where it was put; no other region moved.
            EXPECT_EQ(regionOnScreen(s, c.target, kWindow), c.target == RegionTarget::Capture ? placed : held);
            for (RegionTarget other : kTargets) {
                if (other != c.target) {
                    EXPECT_EQ(regionOnScreen(s, other, kWindow), regionOnScreen(before, other, kWindow));
                }
            }
        }
    }
}

TEST(ScreenRegions, TheCaptureFollowsTheWindowUnlessTheScreenIsTheSource) {
    const Settings s = storedValues();
    EXPECT_EQ(captureOnScreen(s, kWindow, false), QRect(115, 225, 430, 440));
    EXPECT_EQ(captureOnScreen(s, kWindow, true), QRect(410, 420, 430, 440));
    // Without a window, its top-left is the capture's less the offsets; the capture's own
    // right and bottom stand in for the window's.
    EXPECT_EQ(edgesFromStoredCapture(s), (WindowEdges{395, 395, 840, 860}));
}

} // namespace
} // namespace oculet
