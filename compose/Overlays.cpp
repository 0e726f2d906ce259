#include "compose/Overlays.h"

#include "compose/ClockOverlay.h"
#include "compose/FixedTextOverlay.h"
#include "compose/OverlayFont.h"
#include "platform/Paths.h"

#include <QFontMetricsF>
#include <QPainter>

namespace oculet {
namespace {

constexpr int kGerman = 2;

} // namespace

Overlays::Overlays(const Settings& settings, OverlayBoxes& boxes, const Clock& clock, Messages& messages,
                   const InterfaceTexts& texts, QString easyPalFolder)
    : Overlays(settings, boxes, clock, messages, texts, std::move(easyPalFolder),
               std::make_unique<QtPictureDecoder>()) {}

Overlays::Overlays(const Settings& settings, OverlayBoxes& boxes, const Clock& clock, Messages& messages,
                   const InterfaceTexts& texts, QString easyPalFolder, std::unique_ptr<PictureDecoder> decoder)
    : settings_(settings), boxes_(boxes), clock_(clock), messages_(messages), texts_(texts),
      easyPalFolder_(std::move(easyPalFolder)), picture_(std::move(decoder)) {}

void Overlays::drawLastReceived(QImage& frame) {
    const Settings& s = settings_;
    const LastReceivedSource source{s.clampedProgram(), s.current(s.optDir), easyPalFolder_,
                                    Paths::hostFolder(s.current(s.epDir))};
    // The folder is searched, and the file looked at, only when something in it has changed.
    const bool mayHaveChanged =
        receivedFolder_.changed(lastReceivedFolder(source.program, source.userFolderChosen, source.userFolder,
                                                   source.programFolder)) ||
        source != lastReceivedSource_;
    if (mayHaveChanged) {
        lastReceivedSource_ = source;
        lastReceivedPath_ =
            lastReceivedFile(source.program, source.userFolderChosen, source.userFolder, source.programFolder);
    }
    QSize size;
    if (picture_.refresh(lastReceivedPath_, mayHaveChanged)) {
        lastReceived_ = picture_.currentFrame();
        size = picture_.pictureSize();
    }
    if (lastReceived_.isNull() || size.isEmpty()) {
        lastReceived_ = placeholder();
        size = lastReceived_.size();
    }
    const QRect box = boxes_[BoxId::LastRx].rect;
    const int height = thumbnail_.draw(frame, lastReceived_, size, box.left(), box.width(), s.borderColour);
    if (height > 0) {
        boxes_[BoxId::LastRx].rect.setTop(kFrameHeight - height);
        boxes_[BoxId::LastRx].rect.setHeight(height);
    }
}

const QImage& Overlays::placeholder() {
    const bool german = settings_.language == kGerman;
    if (placeholder_.isNull() || placeholderText_ != texts_[Text::NoPicture] || placeholderGerman_ != german) {
        bool fitted = true;
        placeholder_ = placeholderPicture(texts_[Text::NoPicture], german, fitted);
        placeholderText_ = texts_[Text::NoPicture];
        placeholderGerman_ = german;
        // Said once per run: the same text would fail again on every cycle.
        if (!fitted && !fitFailureReported_) {
            fitFailureReported_ = true;
            messages_.tell(QStringLiteral("Unable to find suitable font size for text"));
        }
    }
    return placeholder_;
}

void Overlays::drawScrollingText(QImage& frame, int txtOn) {
    if (txtOn < 1 || (txtOn >= 2 && !minuteFlag_)) {
        return;
    }
    const QString text = scrollTextToShow(settings_);
    if (text.isEmpty()) {
        return;
    }
    const QFont font = overlayFont(settings_.textFont);
    const QFontMetricsF metrics(font);
    const TextWidth width = [this, &font](const QString& t) { return measuredWidth(t, font); };
    const double now = clock_.steadySeconds();
    const ScrollPlacement placement = txtOn == 1 ? continuous_.step(text, width, now)
                                                 : perMinute_.step(text, width, now, secondCounter_, minuteFlag_);
    const int top = boxes_[BoxId::ScrollText].rect.top();
    QPainter painter(&frame);
    painter.setFont(font);
    painter.setPen(toQColor(settings_.textColour));
    scrollingText_.draw(painter, QPointF(placement.x, top + metrics.ascent()), placement.shown, font);
    boxes_[BoxId::ScrollText].rect.setHeight(qRound(metrics.height()));
}

double Overlays::measuredWidth(const QString& text, const QFont& font) {
    for (const MeasuredText& known : measured_) {
        if (known.text == text && known.font == font) {
            return known.width;
        }
    }
    MeasuredText& slot = measured_[nextMeasured_++ % measured_.size()];
    slot = {text, font, QFontMetricsF(font).horizontalAdvance(text)};
    return slot.width;
}

void Overlays::drawFixedText(QImage& frame) {
    const Settings& s = settings_;
    const std::optional<QRect> drawn = oculet::drawFixedText(frame, boxes_[BoxId::FixedText].rect.topLeft(), fixedTextToShow(s),
                                                             s.textFont, s.textColour, s.textBkgColour,
                                                             s.textsTransparent(), &fixedText_);
    if (drawn) {
        boxes_[BoxId::FixedText].rect.setSize(drawn->size());
    }
}

void Overlays::drawClock(QImage& frame) {
    const Settings& s = settings_;
    const ClockFace face{s.utcClockOn(), s.localClockOn(), clockTimeText(clock_.utcNow().toUTC()),
                         clockTimeText(clock_.localNow())};
    if (!face.utcOn && !face.localOn) {
        return;
    }
    boxes_[BoxId::Clock].rect.setSize(oculet::drawClock(frame, boxes_[BoxId::Clock].rect.topLeft(), face, s.clockFont, s.clockColour, &clockLines_));
}

void Overlays::clockTick() {
    if (!settings_.clockShown()) {
        return;
    }
    if (++secondCounter_ >= 60) {
        secondCounter_ = 0;
        minuteFlag_ = true;
    }
}

} // namespace oculet
