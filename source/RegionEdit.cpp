#include "source/RegionEdit.h"

#include "platform/FrameProgram.h"
#include "platform/Messages.h"
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

bool isCopiedBox(RegionTarget t) { return copiedBoxOf(t).has_value(); }

} // namespace

RegionEdit::RegionEdit(Settings& settings, Desktop& desktop, const SourceWindow& source, Messages& messages,
                       const InterfaceTexts& texts, FrameProgram& program)
    : settings_(settings), desktop_(desktop), source_(source), messages_(messages), texts_(texts), program_(program) {}

QRect RegionEdit::storedRect() const {
    // The capture frame goes where the picture is really taken from: in window mode that follows
    // the window, which may have moved since the absolute place was last stored.
    return target_ == RegionTarget::Capture ? source_.captureRect(settings_)
                                            : regionOnScreen(settings_, target_, source_.edges());
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
    return target == RegionTarget::ProgressStrip ? settings_.progressStripOn()
           : isCopiedBox(target)                 ? settings_.copiedRegion(*copiedBoxOf(target)).on
                                                 : false;
}

void RegionEdit::setSwitch(bool on) {
    Settings& s = settings_;
    if (target_ == RegionTarget::ProgressStrip) {
        s.epProgress = on ? 1 : 0;
    } else if (isCopiedBox(target_)) {
        s.copiedRegion(*copiedBoxOf(target_)).on = on;
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
        messages_.warn(QStringLiteral("Error"), QStringLiteral("Error Shelling file.\n") + error);
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
        const QRect placed = storedRect();
        askFor(placed);
        value_ = {placed.x(), placed.y(), placed.width(), placed.height()};
    }
}

void RegionEdit::askFor(const QRect& rect) {
    desktop_.placeWindowOnTop(frame_, rect);
    askedSize_ = rect.size();
    grantedSize_.reset();
}

QRect RegionEdit::sizedByUser(const QRect& placement) {
    // A window manager may hold the frame to a size of its own (a minimum height, say); that size
    // is not the user's choice and must not be stored. Only a size the window takes after that
    // answer was read comes from the user's hand.
    if (!grantedSize_) {
        grantedSize_ = placement.size();
    }
    if (placement.size() == *grantedSize_) {
        return QRect(placement.topLeft(), askedSize_);
    }
    askedSize_ = placement.size();
    grantedSize_ = placement.size();
    return placement;
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
            messages_.warn(QStringLiteral("The frame program started but showed no window; the "
                                            "capture-region editor was closed."));
            return Poll::Closed;
        }
        placeFrame();
        // Read back from the next poll on, once the window has taken the place asked of it.
        return Poll::Idle;
    }
    const std::optional<QRect> placement = desktop_.windowRect(frame_);
    if (!placement || (placement->left() == 0 && placement->width() == 0)) {
        return Poll::Closed; // the frame window was closed
    }
    const QRect p = *placement;
    placement_ = p;
    const QRect held = storeRegion(settings_, target_, source_.edges(), sizedByUser(p), desktop_.virtualScreen());
    value_ = {held.x(), held.y(), held.width(), held.height()};
    return Poll::Read;
}

void RegionEdit::nudge(int code, int step) {
    const int index = (code - 1) / 2;
    value_[index] += code % 2 == 1 ? step : -step;
    if (frame_ != 0) {
        askFor(QRect(value_[0], value_[1], value_[2], value_[3]));
    }
}

void RegionEdit::end() {
    if (target_ == RegionTarget::None) {
        return;
    }
    if (frame_ != 0) {
        desktop_.askToClose(frame_);
    }
    if (started_) {
        // Its window may already be gone without the program (destroyed by another client).
        program_.stop();
    }
    frame_ = 0;
    started_ = false;
    target_ = RegionTarget::None;
}

} // namespace oculet
