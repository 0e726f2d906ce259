#include "compose/ScrollingText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace oculet {
namespace {

// Ten frame pixels a character.
const TextWidth kWidth = [](const QString& text) { return 10.0 * text.size(); };

constexpr double kCycle = 0.25;

TEST(ContinuousScroll, NarrowTextCrossesLeavesAndEntersAgainFromTheRight) {
    ContinuousScroll scroll;
    const QString text = QStringLiteral("abc"); // 30 wide
    std::vector<double> xs;
    for (int i = 0; i < 120; ++i) { // 30 seconds
        const ScrollPlacement p = scroll.step(text, kWidth, 1000 + i * kCycle);
        EXPECT_EQ(p.shown, text);
        xs.push_back(p.x);
    }
    EXPECT_DOUBLE_EQ(xs[0], 320);
    std::size_t wrap = 0;
    for (std::size_t i = 1; i < xs.size(); ++i) {
        if (xs[i] > xs[i - 1]) {
            wrap = i;
            break;
        }
        EXPECT_NEAR(xs[i - 1] - xs[i], i == 1 ? 0 : 15 * kCycle, 1e-9) << i;
    }
    ASSERT_GT(wrap, 0u) << "the text never came back";
    // It was entirely off the left edge just before, and starts again beyond the right edge.
    EXPECT_LE(xs[wrap - 1], -30 + 15 * kCycle);
    EXPECT_GE(xs[wrap - 1], -30);
    EXPECT_DOUBLE_EQ(xs[wrap], 320);
}

TEST(ContinuousScroll, WideTextLoopsWithoutAJump) {
    ContinuousScroll scroll;
    const QString text(40, u'x'); // 400 wide: shown twice with a 15-space gap
    const double period = 400 + 150;
    double previous = 0;
    int wraps = 0;
    for (int i = 0; i < 400; ++i) { // 100 seconds, 1500 pixels
        const ScrollPlacement p = scroll.step(text, kWidth, i * kCycle);
        ASSERT_EQ(p.shown, text + QString(15, u' ') + text + QString(15, u' '));
        EXPECT_GE(p.x, -period);
        if (i > 0) {
            wraps += p.x > previous;
            // What is seen repeats every period: the apparent motion is one step to the left,
            // never a jump, across the wrap as well.
            const double moved = std::fmod(previous - p.x + 10 * period, period);
            EXPECT_LE(moved, 15 * kCycle + 1e-9) << i;
        }
        previous = p.x;
    }
    EXPECT_GE(wraps, 2);
}

TEST(ScrollingText, StallMovesContinuousTextByTheWholeTimeAndPerMinuteTextByThreeSeconds) {
    ContinuousScroll continuous;
    MinuteScroll minute;
    int counter = 0;
    bool flag = true;
    const QString text = QStringLiteral("abc");
    continuous.step(text, kWidth, 0);
    minute.step(text, kWidth, 0, counter, flag);
    counter = 1; // the clock timer has ticked since the pass began
    double c[3];
    double m[3];
    const double times[] = {1, 11, 11.25}; // a 10-second stall between the first two
    for (int i = 0; i < 3; ++i) {
        c[i] = continuous.step(text, kWidth, times[i]).x;
        m[i] = minute.step(text, kWidth, times[i], counter, flag).x;
    }
    EXPECT_DOUBLE_EQ(c[1] - c[2], 150);
    EXPECT_DOUBLE_EQ(m[1] - m[2], 45);
    EXPECT_TRUE(flag);
}

TEST(ScrollingText, FirstStepAndBackwardTimeDoNotJump) {
    // The steady clock reads anything at start-up; the first step starts at the right edge and
    // the next one moves by one cycle only.
    ContinuousScroll scroll;
    const QString text = QStringLiteral("abc");
    EXPECT_DOUBLE_EQ(scroll.step(text, kWidth, 86000).x, 320);
    EXPECT_DOUBLE_EQ(scroll.step(text, kWidth, 86000.25).x, 320);
    EXPECT_DOUBLE_EQ(scroll.step(text, kWidth, 5).x, 316.25);
    EXPECT_DOUBLE_EQ(scroll.step(text, kWidth, 5.25).x, 316.25); // time ran backwards: no move
    EXPECT_DOUBLE_EQ(scroll.step(text, kWidth, 5.5).x, 312.5);

    scroll.restart();
    EXPECT_DOUBLE_EQ(scroll.step(text, kWidth, 6).x, 320);
}

TEST(MinuteScroll, OnePassThenTheFlagIsClearedAndTheMinuteCountsFromTheEnd) {
    MinuteScroll minute;
    int counter = 0;
    bool flag = true;
    const QString text = QStringLiteral("abcd"); // 40 wide: 360 pixels, 24 seconds
    double t = 0;
    int steps = 0;
    while (flag && steps < 1000) {
        const ScrollPlacement p = minute.step(text, kWidth, t, counter, flag);
        EXPECT_EQ(p.shown, text);
        EXPECT_GE(p.x, -40);
        if (steps == 3) {
            counter = 1; // the timer's first tick after the flag went up
        } else if (steps > 3 && counter != 0) {
            counter = std::min(59, counter + 1);
        }
        t += kCycle;
        ++steps;
    }
    EXPECT_FALSE(flag);
    EXPECT_EQ(counter, 0);
    // 360 pixels at 3.75 a step, after the first four steps that wait at the right edge.
    EXPECT_NEAR(steps, 4 + 360 / 3.75, 2);
}

} // namespace
} // namespace oculet
