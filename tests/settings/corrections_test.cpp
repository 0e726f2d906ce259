// The correction pass run by the load: one stored value at a time (with a second one where the
// rule depends on it), on which screen, and what the program then uses.
#include "settings/Corrections.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>
#include <utility>

namespace oculet {
namespace {

const VirtualScreen kScreen{0, 0, 1920, 1080};
const VirtualScreen kLeftOfZero{-1280, 0, 3200, 1080};
const VirtualScreen kAboveZero{0, -600, 1920, 1680};

using Field = int& (*)(Settings&);
// Program 2 is not the current one (0): every program is corrected, not only the current.
int& capLeft(Settings& s) { return s.captureLeft[2]; }
int& capTop(Settings& s) { return s.captureTop[2]; }
int& capWidth(Settings& s) { return s.captureWidth[2]; }
int& capHeight(Settings& s) { return s.captureHeight[2]; }
template <int Box, int Program = 2> StoredRect& source(Settings& s) { return s.copiedRegions[Box][Program].source; }
template <int Box> StoredRect& place(Settings& s) { return s.copiedRegions[Box][2].place; }

TEST(Corrections, EachStoredValueIsHeldWhereTheProgramCanUseIt) {
    struct Case {
        Field field;
        int stored;
        int expected;
        VirtualScreen screen = kScreen;
        Field other = nullptr; // set before the correction
        int otherValue = 0;
    };
    const Case cases[] = {
        // The capture: a size below 100 is the default one, a larger one than the screen is the
        // screen's; the place is held by the screen's width and height, not its right and bottom.
        {capWidth, 50, 400}, {capWidth, 99, 400}, {capWidth, 100, 100}, {capHeight, 99, 300},
        {capWidth, INT_MAX, 1920}, {capHeight, 20000, 1080},
        {capLeft, 5000, 1520}, {capTop, 2000, 780}, {capTop, -1, 0},
        {capLeft, -1500, -1280, kLeftOfZero}, {capLeft, 2900, 2800, kLeftOfZero},
        {capTop, -700, -600, kAboveZero}, {capTop, -500, -500, kAboveZero},
        {capTop, 1000, 980, kScreen, capHeight, 100}, {capTop, INT_MAX, 0, kScreen, capHeight, INT_MAX},
        // Copied boxes' sources: a left or top off the screen is 0, sizes at most the screen's.
        {[](Settings& s) -> int& { return source<Aux1Box>(s).left; }, 3000, 0},
        {[](Settings& s) -> int& { return source<Aux1Box>(s).left; }, 1920, 1920},
        {[](Settings& s) -> int& { return source<Aux2Box>(s).top; }, 1081, 0},
        {[](Settings& s) -> int& { return source<Aux2Box>(s).top; }, 1080, 1080},
        {[](Settings& s) -> int& { return source<Aux2Box>(s).top; }, -1, 0},
        {[](Settings& s) -> int& { return source<Aux2Box>(s).top; }, -1, -1, kAboveZero},
        {[](Settings& s) -> int& { return source<Aux1Box>(s).height; }, 20000, 1080},
        {[](Settings& s) -> int& { return source<Aux1Box>(s).width; }, 20000, 1920},
        {[](Settings& s) -> int& { return source<SignalMeterBox>(s).width; }, INT_MIN, 0},
        {[](Settings& s) -> int& { return source<SignalMeterBox>(s).left; }, -1280, -1280, kLeftOfZero}, // its edge
        // The current program's signal meter alone is also kept off negative coordinates.
        {[](Settings& s) -> int& { return source<SignalMeterBox, 0>(s).left; }, -1, 0, kLeftOfZero},
        {[](Settings& s) -> int& { return source<SignalMeterBox, 0>(s).top; }, -5, 0, kAboveZero},
        {[](Settings& s) -> int& { return source<Aux1Box, 0>(s).left; }, -1, -1, kLeftOfZero},
        // AUX boxes on the frame stay whole on it and large enough to take with the mouse.
        {[](Settings& s) -> int& { return place<Aux1Box>(s).height; }, 10, 15},
        {[](Settings& s) -> int& { return place<Aux1Box>(s).width; }, 3, 20},
        {[](Settings& s) -> int& { return place<Aux2Box>(s).width; }, 32767, 320},
        {[](Settings& s) -> int& { return place<Aux2Box>(s).height; }, 300, 240},
        {[](Settings& s) -> int& { return place<Aux1Box>(s).top; }, 235, 190, kScreen,
         [](Settings& s) -> int& { return place<Aux1Box>(s).height; }, 50},
        {[](Settings& s) -> int& { return place<Aux2Box>(s).top; }, -3, 0},
        {[](Settings& s) -> int& { return place<Aux2Box>(s).left; }, 400, 300},
        {[](Settings& s) -> int& { return place<Aux2Box>(s).left; }, -4, 0},
        // The other boxes: nothing a whole frame away or larger than the frame.
        {[](Settings& s) -> int& { return place<SignalMeterBox>(s).height; }, 32767, 240},
        {[](Settings& s) -> int& { return place<SignalMeterBox>(s).width; }, 32767, 320},
        {[](Settings& s) -> int& { return place<SignalMeterBox>(s).left; }, -400, -320},
        {[](Settings& s) -> int& { return place<SignalMeterBox>(s).top; }, 300, 240},
        {[](Settings& s) -> int& { return s.lastRxWidth[2]; }, INT_MAX, 320},
        {[](Settings& s) -> int& { return s.lastRxLeft[2]; }, INT_MIN, -320},
        {[](Settings& s) -> int& { return s.clockTop[2]; }, 32767, 240},
        {[](Settings& s) -> int& { return s.clockLeft[2]; }, 300, 300},
        {[](Settings& s) -> int& { return s.fTxtLeft[2]; }, 400, 320},
        {[](Settings& s) -> int& { return s.txtTop[2]; }, -300, -240},
        // The progress bar: its top measured upwards from the window's bottom, held by the screen.
        {[](Settings& s) -> int& { return s.barY; }, 1080, 1073},
        {[](Settings& s) -> int& { return s.barY; }, -2, 0},
        {[](Settings& s) -> int& { return s.barY; }, -700, -600, kAboveZero},
        {[](Settings& s) -> int& { return s.barY; }, INT_MAX, 1080, kScreen, [](Settings& s) -> int& { return s.barHt; },
         INT_MIN},
        {[](Settings& s) -> int& { return s.barHt; }, 5000, 1080},
        {[](Settings& s) -> int& { return s.barX; }, INT_MAX, 1920},
        {[](Settings& s) -> int& { return s.barX; }, INT_MIN, -1920},
        {[](Settings& s) -> int& { return s.barWt; }, INT_MAX, 1920},
    };
    for (const Case& c : cases) {
        Settings s;
        c.field(s) = c.stored;
        if (c.other != nullptr) {
            c.other(s) = c.otherValue;
        }
        correctLoadedSettings(s, c.screen);
        EXPECT_EQ(c.field(s), c.expected) << "stored " << c.stored << ", case " << (&c - cases);
    }
}

TEST(Corrections, TheWindowOpensWhereItCanBeSeen) {
    // Stored in twips, 15 to a pixel; an axis off the screen is 0.
    const std::tuple<double, double, double, double> cases[] = {
        {6000, 4500, 6000, 4500}, {-1, -0.5, 0, 0}, {28800, 16200, 28800, 16200}, {28801, 16201, 0, 0},
        {20000, 20000, 20000, 0}};
    for (const auto& [left, top, expectedLeft, expectedTop] : cases) {
        Settings s;
        std::tie(s.meLeft, s.meTop) = std::pair(left, top);
        correctLoadedSettings(s, kScreen);
        EXPECT_EQ(std::pair(s.meLeft, s.meTop), std::pair(expectedLeft, expectedTop)) << left << " " << top;
    }
}

} // namespace
} // namespace oculet
