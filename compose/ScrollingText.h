#pragma once

// The line of text that moves right to left across the frame. Motion follows elapsed time (15
// frame pixels a second), so a slow frame cycle moves the text in larger steps rather than
// slowing it down.

#include "settings/Settings.h"

#include <QString>

#include <functional>
#include <optional>

namespace oculet {

inline constexpr double kScrollPixelsPerSecond = 15;
// The per-minute pass catches up with at most this much of a stall, so a pass that was held up
// (a modal box) resumes about where it was instead of skipping most of the frame.
inline constexpr double kMaxMinuteStepSeconds = 3;

using TextWidth = std::function<double(const QString&)>;

// Where to draw this step.
struct ScrollPlacement {
    QString shown; // the string to print (the text, or the text twice with a gap)
    double x = 0;
};

// The text the scrolling line shows now: the chosen line of the list, or, when "text from file"
// is ticked, the first field of text file 1 with one space on each side; empty when there is
// nothing to show.
QString scrollTextToShow(const Settings& settings);

// Continuous mode: the text runs all the time. A text wider than the frame is shown twice with a
// 15-space gap and wraps when the second copy reaches the first one's start, so the loop has no
// visible jump; a narrower text leaves on the left and enters again from the right.
class ContinuousScroll {
public:
    ScrollPlacement step(const QString& text, const TextWidth& width, double nowSeconds);

private:
    bool started_ = false;
    double x_ = 0;
    std::optional<double> lastStep_;
};

// Every-60-seconds mode: once the minute flag is up, one pass across the frame, then the flag
// is cleared and the second counter restarts so the next minute counts from the pass's end.
class MinuteScroll {
public:
    // Only call while the minute flag is up.
    ScrollPlacement step(const QString& text, const TextWidth& width, double nowSeconds, int& secondCounter,
                         bool& minuteFlag);

private:
    double x_ = 0;
    std::optional<double> lastStep_;
};

} // namespace oculet
