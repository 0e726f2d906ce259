#include "compose/FrameCycle.h"

#include "settings/Units.h"
#include "compose/CopiedBoxes.h"
#include "compose/FrameOverlays.h"
#include "compose/FramePublisher.h"
#include "platform/AtomicFile.h"
#include "platform/Desktop.h"
#include "platform/MessageBoxes.h"
#include "platform/Stretch.h"
#include "source/SourceWindow.h"

#include <QBuffer>
#include <QPainter>

#include <memory>

namespace oculet {
namespace {

constexpr int kStripTop = 231;
constexpr int kStripHeight = 9;

// One overlay that fails (a picture too large to decode, a font that cannot be drawn) costs only
// itself: the frame is still finished, shown and written.
template <class Draw> void drawGuarded(Draw&& draw) {
    try {
        draw();
    } catch (...) {
    }
}

} // namespace

FrameCycle::FrameCycle(Settings& settings, OverlayBoxes& boxes, EditState& edit, Desktop& desktop,
                       SourceWindow& source, MessageBoxes& messages, FrameCycleView& view, FrameFiles files)
    : settings_(settings), boxes_(boxes), edit_(edit), desktop_(desktop), source_(source),
      messages_(messages), view_(view), files_(std::move(files)),
      pic1_(kFrameWidth, kFrameHeight, QImage::Format_RGB32),
      pic3_(kFrameWidth, kFrameHeight, QImage::Format_RGB32) {
    pic1_.fill(Qt::black);
    pic3_.fill(Qt::black);
}

void FrameCycle::capture(bool alsoCleanCopy) {
    const QImage grabbed = desktop_.grab(source_.captureRect(settings_));
    if (grabbed.isNull()) {
        // Nothing could be read: the previous picture stays rather than a black frame.
        return;
    }
    stretchInto(pic1_, pic1_.rect(), grabbed);
    if (alsoCleanCopy) {
        pic3_ = pic1_.copy();
    }
}

void FrameCycle::drawCopiedBox(const QRect& source, const QRect& place) {
    const QImage grabbed = desktop_.grab(source);
    if (!grabbed.isNull()) {
        stretchInto(pic1_, place, grabbed);
    }
    QPainter painter(&pic1_);
    painter.setPen(toQColor(settings_.borderColour));
    painter.setBrush(Qt::NoBrush);
    // An outline from one pixel outside the box's top-left to one pixel beyond its bottom-right.
    painter.drawRect(QRect(place.left() - 1, place.top() - 1, place.width() + 2, place.height() + 2));
}

void FrameCycle::drawCopiedBoxes() {
    for (const CopiedBox& box : kCopiedBoxes) {
        if (!edit_.isDragged(box.id) && box.isOn(settings_)) {
            drawCopiedBox(box.source(settings_), box.place(settings_));
        }
    }
}

void FrameCycle::drawProgressStrip() {
    if (settings_.program != EasyPal || settings_.epProgress != 1) {
        return;
    }
    // The strip runs along the bottom of the frame and ends 3 pixels left of the
    // last-received box, so moving that box shortens it.
    const int width = roundHalfEven(boxes_[BoxId::LastRx].rect.left()) - 3;
    if (width <= 0) {
        return;
    }
    const QImage grabbed = desktop_.grab(source_.progressStripRect(settings_));
    if (!grabbed.isNull()) {
        stretchInto(pic1_, QRect(0, kStripTop, width, kStripHeight), grabbed);
    }
}

void FrameCycle::stampName() {
    QPainter painter(&pic1_);
    QFont font(QStringLiteral("Small Fonts"));
    font.setPixelSize(7); // 5 points on a 96-dpi screen
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(288, 230, kFrameWidth - 288, kFrameHeight - 230), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("Oculet"));
}

QByteArray FrameCycle::bitmapBytes(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP")) {
        return {};
    }
    return bytes;
}

void FrameCycle::writeOffPictureAsFrame(const QImage& offPicture) {
    const QByteArray bytes = offPicture.isNull() ? QByteArray() : bitmapBytes(offPicture);
    if (!bytes.isEmpty()) {
        replaceFile(files_.dataFolder + u'/' + camBitmapName(), bytes);
    }
}

void FrameCycle::writeCamBitmap() {
    const QByteArray bytes = bitmapBytes(pic1_);
    if (bytes.isEmpty()) {
        return;
    }
    // A webcam program reads this file four times a second: it must never see half a frame.
    replaceFile(files_.dataFolder + u'/' + camBitmapName(), bytes);
    // The copy beside the executable is for webcam programs that look there; the program
    // folder is often read-only, which must not cost the rest of the cycle anything.
    if (!files_.programFolder.isEmpty() && files_.programFolder != files_.dataFolder) {
        replaceFile(files_.programFolder + u'/' + camBitmapName(), bytes);
    }
}

void FrameCycle::run(std::function<void()> finished) {
    Settings& s = settings_;
    try {
        source_.check(s);
        capture(true);
        if (overlays_ != nullptr && s.current(s.lastRx) && !edit_.isDragged(BoxId::LastRx)) {
            drawGuarded([&] { overlays_->drawLastReceived(pic1_); });
        }
        drawCopiedBoxes();
        drawProgressStrip();
        if (overlays_ != nullptr && s.current(s.txtOn) >= 1) {
            drawGuarded([&] { overlays_->drawScrollingText(pic1_, s.current(s.txtOn)); });
        }
        if (overlays_ != nullptr && s.current(s.fTxtOn) == 1) {
            drawGuarded([&] { overlays_->drawFixedText(pic1_); });
        }
        if (overlays_ != nullptr && (s.current(s.clockOnZ) == 1 || s.current(s.clockOnL) == 1)) {
            drawGuarded([&] { overlays_->drawClock(pic1_); });
        }
        stampName();
        view_.showFrame(pic1_);
        view_.showBoxes(boxes_);
        view_.showSourceMissing(source_.missing());

        if (source_.missing() && !warningDismissed_) {
            if (messages_.askYesNo(QStringLiteral("EasyPal not running!"))) {
                warningDismissed_ = true;
            } else {
                view_.requestShutdown();
                return;
            }
        }
        writeCamBitmap();
        if (!edit_.draggedBox) {
            view_.hideDragPreview();
        }
        if (publisher_ != nullptr && !edit_.layoutEditing && publisher_->canPublish()) {
            publisher_->publishFrame(pic1_);
        }
    } catch (...) {
        // A failure anywhere in the cycle skips the rest of it; the next cycle starts as usual.
    }
    finished();
}

void FrameCycle::eraseBox(const QRect& place) {
    QPainter painter(&pic1_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(place.topLeft(), pic3_, place);
    painter.end();
    view_.showFrame(pic1_);
}

void FrameCycle::startupRedraw() {
    Settings& s = settings_;
    try {
        source_.searchForRedraw(s);
        capture(false);
        if (overlays_ != nullptr && s.current(s.lastRx)) {
            drawGuarded([&] { overlays_->drawLastReceived(pic1_); });
        }
        drawCopiedBoxes();
        drawProgressStrip();
        if (overlays_ != nullptr && (s.current(s.clockOnZ) == 1 || s.current(s.clockOnL) == 1)) {
            drawGuarded([&] { overlays_->drawClock(pic1_); });
        }
        if (overlays_ != nullptr && s.current(s.fTxtOn) == 1) {
            drawGuarded([&] { overlays_->drawFixedText(pic1_); });
        }
    } catch (...) {
    }
    view_.showFrame(pic1_);
    view_.showBoxes(boxes_);
}

} // namespace oculet
