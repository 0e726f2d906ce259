#include "settings/Corrections.h"

#include <algorithm>

namespace oculet {
namespace {

// Capture, copied boxes and the boxes on the frame of one source program.
void correctProgram(Settings& s, int p, const VirtualScreen& vs) {
    // A rectangle larger than the screen copies nothing more than black, and a size near the
    // integer limit would overflow the left-plus-width sums every later step makes; so sizes are
    // held to the screen first and the positions below are then tested against bounded sizes.
    const int screenWidth = std::max(vs.width, 0);
    const int screenHeight = std::max(vs.height, 0);
    if (s.captureWidth[p] < 100) {
        s.captureWidth[p] = 400;
    }
    if (s.captureHeight[p] < 100) {
        s.captureHeight[p] = 300;
    }
    s.captureWidth[p] = std::min(s.captureWidth[p], std::max(screenWidth, 100));
    s.captureHeight[p] = std::min(s.captureHeight[p], std::max(screenHeight, 100));
    // Tested against the screen's width and height rather than its right and bottom edges,
    // as stored captures have always been checked.
    if (s.captureLeft[p] < vs.left) {
        s.captureLeft[p] = vs.left;
    }
    if (s.captureLeft[p] > vs.width - s.captureWidth[p]) {
        s.captureLeft[p] = vs.width - s.captureWidth[p];
    }
    if (s.captureTop[p] < vs.top) {
        s.captureTop[p] = vs.top;
    }
    if (s.captureTop[p] > vs.height - s.captureHeight[p]) {
        s.captureTop[p] = vs.height - s.captureHeight[p];
    }

    for (int box = 0; box < kCopiedBoxCount; ++box) {
        CopiedRegion& region = s.copiedRegions[box][p];
        StoredRect& source = region.source;
        if (source.left < vs.left || source.left > vs.width) {
            source.left = 0;
        }
        if (source.top < vs.top || source.top > vs.height) {
            source.top = 0;
        }
        source.width = std::clamp(source.width, 0, screenWidth);
        source.height = std::clamp(source.height, 0, screenHeight);

        StoredRect& place = region.place;
        if (box == SignalMeterBox) {
            // Nothing of a box a whole frame away can be seen, and nothing larger than the frame
            // can be shown.
            place.left = std::clamp(place.left, -kFrameWidth, kFrameWidth);
            place.top = std::clamp(place.top, -kFrameHeight, kFrameHeight);
            place.width = std::clamp(place.width, 0, kFrameWidth);
            place.height = std::clamp(place.height, 0, kFrameHeight);
        } else {
            // The AUX boxes stay whole on the frame and large enough to be taken with the mouse.
            place.width = std::clamp(place.width, 20, kFrameWidth);
            place.height = std::clamp(place.height, 15, kFrameHeight);
            place.left = std::clamp(place.left, 0, 300);
            place.top = std::clamp(place.top, 0, kFrameHeight - place.height);
        }
    }

    // A thumbnail of 20,000 pixels would only cost memory.
    for (auto member : {&Settings::fTxtLeft, &Settings::clockLeft, &Settings::lastRxLeft}) {
        (s.*member)[p] = std::clamp((s.*member)[p], -kFrameWidth, kFrameWidth);
    }
    for (auto member : {&Settings::txtTop, &Settings::fTxtTop, &Settings::clockTop}) {
        (s.*member)[p] = std::clamp((s.*member)[p], -kFrameHeight, kFrameHeight);
    }
    s.lastRxWidth[p] = std::clamp(s.lastRxWidth[p], 0, kFrameWidth);
}

void correctProgressBar(Settings& s, const VirtualScreen& vs) {
    // The bar is measured from the source window, which lies on the screen: nothing of it
    // further away than the screen is wide or high can be copied.
    const int screenWidth = std::max(vs.width, 0);
    const int screenHeight = std::max(vs.height, 0);
    s.barX = std::clamp(s.barX, -screenWidth, screenWidth);
    s.barWt = std::clamp(s.barWt, 0, screenWidth);
    s.barHt = std::clamp(s.barHt, 0, screenHeight);
    if (s.barY < vs.top) {
        s.barY = vs.top;
    }
    if (s.barY > vs.height - s.barHt) {
        s.barY = vs.height - s.barHt;
    }
}

} // namespace

void correctLoadedSettings(Settings& s, const VirtualScreen& vs) {
    for (int p = 0; p < kProgramCount; ++p) {
        correctProgram(s, p, vs);
    }
    correctProgressBar(s, vs);

    // The current program's signal meter is also kept off negative coordinates, even on a
    // screen that reaches left of or above 0.
    StoredRect& meter = s.copiedRegion(SignalMeterBox).source;
    if (meter.left < 0) {
        meter.left = 0;
    }
    if (meter.top < 0) {
        meter.top = 0;
    }

    // The main window opens where it can be seen: a stored position left of or above the
    // screen, or beyond its width or height, puts it at 0 on that axis (stored in twips).
    if (s.meLeft < 0 || s.meLeft > vs.width * kTwipsPerPixel) {
        s.meLeft = 0;
    }
    if (s.meTop < 0 || s.meTop > vs.height * kTwipsPerPixel) {
        s.meTop = 0;
    }
}

} // namespace oculet
