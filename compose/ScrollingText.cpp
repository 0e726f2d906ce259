#include "compose/ScrollingText.h"

#include "compose/OverlayBoxes.h"
#include "compose/TextFile.h"

#include <algorithm>

namespace oculet {
namespace {

const QString kGap = QString(15, u' ');

// Seconds since the previous step. The clock is steady, but a step never runs backwards, and the
// very first step has nothing to catch up with.
double elapsedSince(const std::optional<double>& last, double now) {
    return last ? std::max(0.0, now - *last) : 0.0;
}

} // namespace

QString scrollTextToShow(const Settings& settings) {
    return overlayText(settings.textFile1InUse(), settings.file1, settings.scrollTexts, settings.scrollIndex);
}

ScrollPlacement ContinuousScroll::step(const QString& text, const TextWidth& width, double nowSeconds) {
    const double elapsed = elapsedSince(lastStep_, nowSeconds);
    const bool doubled = width(text) > kFrameWidth;
    ScrollPlacement placement{doubled ? text + kGap + text + kGap : text, 0};
    // Measured on every step, not only at the start: another line chosen from the list, or
    // another font, then still wraps at its own width.
    const double shownWidth = width(placement.shown);
    if (!started_) {
        x_ = kFrameWidth;
        started_ = true;
    }
    placement.x = x_;
    x_ -= elapsed * kScrollPixelsPerSecond;
    if (doubled && x_ < -shownWidth / 2) {
        x_ = 0;
    } else if (!doubled && x_ < -shownWidth) {
        x_ = kFrameWidth;
    }
    lastStep_ = nowSeconds;
    return placement;
}

ScrollPlacement MinuteScroll::step(const QString& text, const TextWidth& width, double nowSeconds,
                                   int& secondCounter, bool& minuteFlag) {
    const double elapsed = std::min(elapsedSince(lastStep_, nowSeconds), kMaxMinuteStepSeconds);
    const double textWidth = width(text);
    if (secondCounter == 0) {
        x_ = kFrameWidth;
    }
    ScrollPlacement placement{text, x_};
    x_ -= elapsed * kScrollPixelsPerSecond;
    if (x_ < -textWidth) {
        minuteFlag = false;
        secondCounter = 0;
    }
    lastStep_ = nowSeconds;
    return placement;
}

} // namespace oculet
