#include "compose/ScrollingText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

namespace oculet {
namespace {

// Ten frame pixels a character; a cycle is a quarter second, in which text moves 3.75 pixels.
const TextWidth kWidth = [](const QString& text) { return 10.0 * text.size(); };
constexpr double kCycle = 0.25;
constexpr double kStep = 15 * kCycle;

TEST(ContinuousScroll, TextRunsLeftAndWrapsNarrowTextToTheRightEdgeAndWideTextByOnePeriod) {
    // 30 wide: gone past the left edge after 350 pixels, it starts again beyond the right edge.
    // 400 wide: shown twice with a 15-space gap; what is seen repeats every 550 pixels, so it
    // goes back by one period instead, never jumping.
    for (const auto& [text, shown, wrapBelow, wrapTo] :
         {std::tuple(QString(3, u'a'), QString(3, u'a'), -30.0, 320.0),
          std::tuple(QString(40, u'x'), QString(40, u'x') + QString(15, u' ') + QString(40, u'x') + QString(15, u' '),
                     -550.0, 0.0)}) {
        ContinuousScroll scroll;
        double previous = 0;
        for (int i = 0; i < 300; ++i) {
            const ScrollPlacement p = scroll.step(text, kWidth, 1000 + i * kCycle);
            ASSERT_EQ(p.shown, shown);
            // The first step has nothing to catch up with; each place shown is where the
            // previous step left the text.
            const double expected = i < 2 ? 320 : previous - kStep < wrapBelow ? wrapTo : previous - kStep;
            EXPECT_DOUBLE_EQ(p.x, expected) << text.size() << " " << i;
            previous = p.x;
        }
    }
}

TEST(ScrollingText, TimeDrivesTheMotionBackwardTimeDoesNotAndAStallMovesPerMinuteTextThreeSecondsAtMost) {
    ContinuousScroll continuous;
    MinuteScroll minute;
    int counter = 0;
    bool flag = true;
    const QString text = QStringLiteral("abc");
    // The steady clock reads anything at start-up: the first step waits at the right edge.
    EXPECT_DOUBLE_EQ(continuous.step(text, kWidth, 86000).x, 320);
    EXPECT_DOUBLE_EQ(minute.step(text, kWidth, 86000, counter, flag).x, 320);
    counter = 1; // the clock timer has ticked since the pass began
    // Each place shown is where the previous step left the text: time, then how far each has moved.
    const std::tuple<double, double, double> steps[] = {
        {5, 0, 0}, {5.25, 0, 0}, {4, kStep, kStep}, {14, kStep, kStep}, {14.25, kStep + 150, kStep + 45}};
    for (const auto& [time, continuousMoved, minuteMoved] : steps) {
        EXPECT_DOUBLE_EQ(continuous.step(text, kWidth, time).x, 320 - continuousMoved) << time;
        EXPECT_DOUBLE_EQ(minute.step(text, kWidth, time, counter, flag).x, 320 - minuteMoved) << time;
    }
    EXPECT_TRUE(flag);
}

TEST(MinuteScroll, OnePassThenTheFlagIsClearedAndTheMinuteCountsFromTheEnd) {
    MinuteScroll minute;
    int counter = 0;
    bool flag = true;
    const QString text = QStringLiteral("abcd"); // 40 wide: 360 pixels
    int steps = 0;
    for (; flag && steps < 1000; ++steps) {
        const ScrollPlacement p = minute.step(text, kWidth, steps * kCycle, counter, flag);
        EXPECT_EQ(p.shown, text);
        EXPECT_GE(p.x, -40);
        if (steps >= 3 && flag) {
            counter = std::min(59, counter + 1); // the timer ticks on once the flag went up
        }
    }
    EXPECT_FALSE(flag);
    EXPECT_EQ(counter, 0);
    // 360 pixels at one step a cycle, after the first four steps that wait at the right edge.
    EXPECT_NEAR(steps, 4 + 360 / kStep, 2);
}

} // namespace
} // namespace oculet
