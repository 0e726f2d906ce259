#include "source/RegionEdit.h"

#include "platform/FrameProgram.h"
#include "platform/MessageBoxes.h"
#include "source/FrameCommand.h"

#include <algorithm>

namespace oculet {
namespace {

struct TargetLook {
    const char* colour;     // the frame colour passed to the frame program
    Text caption;           // the options menu item that opens it
    Text checkCaption;      // ignored for the capture rectangle, which has no check box
};

// Indexed by RegionTarget - 1.
constexpr std::array<TargetLook, 5> kTargets = {{
    {" :&HFFFFFF:", Text::CaptureArea, Text::Close},
    {" :&H8080FF:", Text::ProgressArea, Text::EditorProgressOn},
    {" :&H80FFFF:", Text::SignalMeterArea, Text::EditorSignalMeterOn},
    {" :&HFFFF80:", Text::Aux1Area, Text::EditorAux1On},
    {" :&H80FF80:", Text::Aux2Area, Text::EditorAux2On},
}};

const TargetLook& lookOf(RegionTarget target) { return kTargets[static_cast<std::size_t>(target) - 1]; }

// The source rectangles of the copied boxes, by target.
struct SourceRect {
    PerProgram<int> Settings::*left;
    PerProgram<int> Settings::*top;
    PerProgram<int> Settings::*width;
    PerProgram<int> Settings::*height;
    PerProgram<bool> Settings::*on;
};
SourceRect sourceOf(RegionTarget target) {
    switch (target) {
    case RegionTarget::SignalMeter:
        return {&Settings::smLeft, &Settings::smTop, &Settings::smWidth, &Settings::smHeight, &Settings::smOn};
    case RegionTarget::Aux1:
        return {&Settings::aux1Left, &Settings::aux1Top, &Settings::aux1Width, &Settings::aux1Height,
                &Settings::aux1On};
    default:
        return {&Settings::aux2Left, &Settings::aux2Top, &Settings::aux2Width, &Settings::aux2Height,
                &Settings::aux2On};
    }
}

bool isCopiedBox(RegionTarget t) { return t >= RegionTarget::SignalMeter; }

} // namespace

RegionEdit::RegionEdit(Settings& settings, Desktop& desktop, const SourceWindow& source, MessageBoxes& messages,
                       const InterfaceTexts& texts, FrameProgram& program)
    : settings_(settings), desktop_(desktop), source_(source), messages_(messages), texts_(texts), program_(program) {}

QRect RegionEdit::storedRect() const {
    const Settings& s = settings_;
    const WindowEdges& source = source_.edges();
    switch (target_) {
    case RegionTarget::Capture:
        return {s.current(s.captureLeft), s.current(s.captureTop), s.current(s.captureWidth),
                s.current(s.captureHeight)};
    case RegionTarget::ProgressStrip:
        return {source.left + s.barX, source.bottom - s.barY, s.barWt, s.barHt};
    default: {
        const SourceRect r = sourceOf(target_);
        return {s.current(s.*r.left), s.current(s.*r.top), s.current(s.*r.width), s.current(s.*r.height)};
    }
    }
}

QString RegionEdit::windowCaption(RegionTarget target, const QString& programCaption) const {
    QString caption = texts_[lookOf(target).caption];
    if (target == RegionTarget::Capture && settings_.program == ScreenCapture) {
        caption = texts_[Text::ScreenRegionArea];
    } else if (target <= RegionTarget::ProgressStrip) {
        caption.replace(QStringLiteral("EasyPal"), programCaption);
    }
    return caption;
}

QString RegionEdit::switchCaption(RegionTarget target) const { return texts_[lookOf(target).checkCaption]; }

bool RegionEdit::switchOn(RegionTarget target) const {
    return target == RegionTarget::ProgressStrip ? settings_.epProgress == 1
           : isCopiedBox(target)                 ? settings_.current(settings_.*sourceOf(target).on)
                                                 : false;
}

void RegionEdit::setSwitch(bool on) {
    Settings& s = settings_;
    if (target_ == RegionTarget::ProgressStrip) {
        s.epProgress = on ? 1 : 0;
    } else if (isCopiedBox(target_)) {
        s.current(s.*sourceOf(target_).on) = on;
    }
}

void RegionEdit::begin(RegionTarget target, const QString& programCaption) {
    if (target_ != RegionTarget::None || target == RegionTarget::None) {
        return; // one edit at a time
    }
    target_ = target;
    frame_ = 0;
    started_ = false;
    placement_ = QRect();
    const QString area = texts_[Text::EditorArea];
    const QString title = target <= RegionTarget::ProgressStrip ? programCaption + u' ' + area
                          : target == RegionTarget::SignalMeter ? texts_[Text::EditorSignalMeter] + u' ' + area
                          : target == RegionTarget::Aux1        ? QStringLiteral("Aux1 ") + area
                                                                : QStringLiteral("Aux2 ") + area;
    QString error;
    const qint64 pid = program_.start(
        frameCommandText(title, QString::fromLatin1(lookOf(target).colour), texts_[Text::Close]), &error);
    if (pid == 0) {
        // Nothing to poll: the editor stays, inert, until it is closed.
        messages_.notifyTitled(QStringLiteral("Error"), QStringLiteral("Error Shelling file.\n") + error);
        return;
    }
    started_ = true;
    sinceStart_.start();
    frame_ = desktop_.findWindowOfProcess(pid);
    pid_ = pid;
    placeFrame();
}

void RegionEdit::placeFrame() {
    if (frame_ != 0) {
        desktop_.placeWindowOnTop(frame_, storedRect());
        const QRect placed = storedRect();
        value_ = {placed.x(), placed.y(), placed.width(), placed.height()};
    }
}

RegionEdit::Poll RegionEdit::poll() {
    if (target_ == RegionTarget::None || !started_) {
        return Poll::Idle;
    }
    if (frame_ == 0) {
        // A program starts its window a little after its process; it has a few seconds.
        frame_ = desktop_.findWindowOfProcess(pid_);
        if (frame_ == 0) {
            if (sinceStart_.elapsed() < kWindowWait_ms) {
                return Poll::Idle;
            }
            program_.stop();
            messages_.notify(QStringLiteral("The frame program started but showed no window; the "
                                            "capture-region editor was closed."));
            return Poll::Closed;
        }
        placeFrame();
    }
    const std::optional<QRect> placement = desktop_.windowRect(frame_);
    if (!placement || (placement->left() == 0 && placement->width() == 0)) {
        return Poll::Closed; // the frame window was closed
    }
    const QRect p = *placement;
    placement_ = p;
    const QRect screen = desktop_.virtualScreen();
    int x = p.left();
    int y = p.top();
    x = std::min(std::max(x, 0), screen.width() - p.width());
    y = std::min(std::max(y, 0), screen.height() - p.height());
    value_ = {x, y, p.width(), p.height()};
    store(p, QRect(x, y, p.width(), p.height()));
    return Poll::Read;
}

void RegionEdit::store(const QRect& placement, const QRect& clamped) {
    Settings& s = settings_;
    const WindowEdges& source = source_.edges();
    switch (target_) {
    case RegionTarget::Capture:
        // The capture keeps the frame's own place, off-screen parts and all.
        s.current(s.captureLeft) = placement.left();
        s.current(s.captureTop) = placement.top();
        s.current(s.captureWidth) = clamped.width();
        s.current(s.captureHeight) = clamped.height();
        s.current(s.captureOffX) = static_cast<std::int16_t>(placement.left() - source.left);
        s.current(s.captureOffY) = static_cast<std::int16_t>(placement.top() - source.top);
        break;
    case RegionTarget::ProgressStrip:
        s.barX = clamped.left() - source.left;
        s.barY = source.bottom - clamped.top();
        s.barWt = clamped.width();
        s.barHt = clamped.height();
        break;
    default: {
        const SourceRect r = sourceOf(target_);
        s.current(s.*r.left) = clamped.left();
        s.current(s.*r.top) = clamped.top();
        s.current(s.*r.width) = clamped.width();
        s.current(s.*r.height) = clamped.height();
        break;
    }
    }
}

void RegionEdit::nudge(int code, int step) {
    const int index = (code - 1) / 2;
    value_[index] += code % 2 == 1 ? step : -step;
    if (frame_ != 0) {
        desktop_.placeWindowOnTop(frame_, QRect(value_[0], value_[1], value_[2], value_[3]));
    }
}

void RegionEdit::end() {
    if (target_ == RegionTarget::None) {
        return;
    }
    if (frame_ != 0) {
        desktop_.askToClose(frame_);
    }
    frame_ = 0;
    started_ = false;
    target_ = RegionTarget::None;
}

} // namespace oculet
