#include "ui/BoxLayoutEditor.h"

#include "settings/Units.h"
#include "compose/CopiedBoxes.h"

#include <algorithm>
#include <array>
#include <climits>

namespace oculet {
namespace {

constexpr double kNone = INT_MIN;
constexpr double kOutline = 2; // the outline lies this far outside a moving box

using Stored = PerProgram<int> Settings::*;

// One row per box family member. The limits are for the left and top edges, not the frame size
// less the box: a wide box may reach past the frame's right edge. Only the copied boxes keep
// their bottom inside the frame.
struct BoxRules {
    double minLeft, maxLeft, minTop, maxTop;
    bool pinnedLeft;       // the scrolling text spans the frame and only moves up and down
    bool insideBottom;     // top at most 240 − height
    QSizeF minSize;        // empty: the right button does not size the box
    bool storesAnyButton;  // the copied boxes store their values whatever the buttons
    Stored left, top, width, height; // none for the copied boxes, which store their place whole
};

// Indexed by BoxId.
const std::array<BoxRules, kBoxCount> kRules = {{
    {kNone, kNone, kNone, kNone, false, false, {}, false, &Settings::clockLeft, &Settings::clockTop, nullptr, nullptr},
    {0, 300, 0, 220, false, false, {}, false, &Settings::fTxtLeft, &Settings::fTxtTop, nullptr, nullptr},
    {kNone, kNone, -10, 200, true, false, {}, false, nullptr, &Settings::txtTop, nullptr, nullptr},
    // The last received picture's top and height follow its picture on every frame.
    {0, 300, kNone, kNone, false, false, {30, 30}, false, &Settings::lastRxLeft, nullptr, &Settings::lastRxWidth,
     nullptr},
    {0, 300, 0, kNone, false, true, {20, 15}, true, nullptr, nullptr, nullptr, nullptr},
    {0, 300, 0, kNone, false, true, {20, 15}, true, nullptr, nullptr, nullptr, nullptr},
    {0, 300, 0, kNone, false, true, {20, 15}, true, nullptr, nullptr, nullptr, nullptr},
}};

const BoxRules& rulesOf(BoxId box) { return kRules[static_cast<std::size_t>(box)]; }

double limit(double value, double low, double high) {
    if (low != kNone && value < low) {
        value = low;
    }
    if (high != kNone && value > high) {
        value = high;
    }
    return value;
}

QRect rounded(const QRectF& r) {
    return QRect(roundHalfEven(r.left()), roundHalfEven(r.top()), roundHalfEven(r.width()), roundHalfEven(r.height()));
}

QRectF around(const QRectF& r) { return r.adjusted(-kOutline, -kOutline, kOutline, kOutline); }

} // namespace

BoxLayoutEditor::BoxLayoutEditor(Settings& settings, OverlayBoxes& boxes, EditState& edit)
    : settings_(settings), boxes_(boxes), edit_(edit) {}

bool BoxLayoutEditor::isImageBox(BoxId box) {
    return box == BoxId::LastRx || box == BoxId::SM || box == BoxId::Aux1 || box == BoxId::Aux2;
}

QRectF& BoxLayoutEditor::live(BoxId box) {
    // The frame cycle may have changed the box meanwhile (a clock whose text grew): what the
    // model holds wins over the fractions kept here.
    if (liveBox_ != box || rounded(live_) != boxes_[box].rect) {
        liveBox_ = box;
        live_ = QRectF(boxes_[box].rect);
    }
    return live_;
}

BoxStep BoxLayoutEditor::press(BoxId box, int buttons, QPointF pointer) {
    edit_.layout.pause(PauseReason::BoxHeld);
    if (isImageBox(box)) {
        edit_.draggedBox = box;
    }
    const QRectF& place = live(box);
    if (buttons == kLeftButton) {
        grab_ = QPointF(roundHalfEven(pointer.x()), roundHalfEven(pointer.y()));
    }
    return {place, place, place, false};
}

BoxStep BoxLayoutEditor::move(BoxId box, int buttons, QPointF pointer) {
    const BoxRules& rules = rulesOf(box);
    QRectF& place = live(box);
    BoxStep step{place, place, place, false};
    if (buttons == kLeftButton) {
        place.moveTo(place.left() + pointer.x() - grab_.x(), place.top() + pointer.y() - grab_.y());
        step.outline = around(place);
        if (rules.pinnedLeft) {
            place.moveLeft(0);
            step.outline.moveLeft(0);
        }
        step.preview = place;
        step.moved = true;
        // Clamped after the outline and preview are placed: the next move starts from here.
        place.moveLeft(limit(place.left(), rules.minLeft, rules.maxLeft));
        place.moveTop(limit(place.top(), rules.minTop, rules.maxTop));
        if (rules.insideBottom) {
            place.moveTop(std::min(place.top(), kFrameHeight - place.height()));
        }
    }
    if (buttons == kRightButton && !rules.minSize.isEmpty() && pointer.x() > 0 && pointer.y() > 0) {
        place.setSize(QSizeF(pointer.x(), pointer.y()));
        step.outline = around(place);
        step.preview = place;
        step.moved = true;
        place.setSize(place.size().expandedTo(rules.minSize));
    }
    boxes_[box].rect = rounded(place);
    step.handle = place;
    if (buttons == kLeftButton || (rules.storesAnyButton && buttons > 0)) {
        store(box);
    }
    return step;
}

QRectF BoxLayoutEditor::release(BoxId box) {
    edit_.layout.resume(PauseReason::BoxHeld);
    if (isImageBox(box)) {
        edit_.draggedBox.reset();
    }
    QRectF& place = live(box);
    if (box == BoxId::LastRx) {
        place.setSize(place.size().expandedTo(rulesOf(box).minSize));
        boxes_[box].rect = rounded(place);
        store(box);
    }
    liveBox_.reset();
    return place;
}

void BoxLayoutEditor::store(BoxId box) {
    const BoxRules& rules = rulesOf(box);
    const QRectF& place = live_;
    Settings& s = settings_;
    if (const CopiedBox* copied = copiedBoxFor(box)) {
        s.copiedRegion(copied->region).place = {roundHalfEven(place.left()), roundHalfEven(place.top()),
                                                roundHalfEven(place.width()), roundHalfEven(place.height())};
        return;
    }
    const std::array<std::pair<Stored, double>, 4> values = {{{rules.left, place.left()},
                                                              {rules.top, place.top()},
                                                              {rules.width, place.width()},
                                                              {rules.height, place.height()}}};
    for (const auto& [member, value] : values) {
        if (member != nullptr) {
            s.current(s.*member) = roundHalfEven(value);
        }
    }
}

} // namespace oculet
