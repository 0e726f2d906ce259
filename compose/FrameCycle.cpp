#include "compose/FrameCycle.h"

#include "settings/Units.h"
#include "compose/CopiedBoxes.h"
#include "compose/FrameOverlays.h"
#include "compose/FramePublisher.h"
#include "platform/AtomicFile.h"
#include "platform/Desktop.h"
#include "platform/Messages.h"
#include "platform/PixelRows.h"
#include "source/SourceWindow.h"

#include <QBuffer>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

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

FrameCycle::FrameCycle(const Settings& settings, OverlayBoxes& boxes, const EditState& edit, Desktop& desktop,
                       SourceWindow& source, Messages& messages, FrameCycleView& view, FrameFiles files)
    : settings_(settings), boxes_(boxes), edit_(edit), desktop_(desktop), source_(source),
      messages_(messages), view_(view), files_(std::move(files)),
      pic1_(kFrameWidth, kFrameHeight, QImage::Format_RGB32),
      pic3_(kFrameWidth, kFrameHeight, QImage::Format_RGB32), nameFont_(QStringLiteral("Small Fonts")) {
    nameFont_.setPixelSize(7); // 5 points on a 96-dpi screen
    pic1_.fill(Qt::black);
    pic3_.fill(Qt::black);
    camBitmapFiles_.push_back(std::make_unique<FrequentFile>(files_.dataFolder + u'/' + camBitmapName()));
    // The program folder is often read-only, which must not cost the rest of the cycle anything.
    if (!files_.programFolder.isEmpty() && files_.programFolder != files_.dataFolder) {
        camBitmapFiles_.push_back(std::make_unique<FrequentFile>(files_.programFolder + u'/' + camBitmapName()));
    }
}

void FrameCycle::capture(bool alsoCleanCopy) {
    // The stretch covers every pixel, so a frame the view or the publisher still holds is not
    // copied: the cycle draws into its spare buffer instead, once nothing holds that any more.
    const bool swapped = !pic1_.isDetached();
    if (swapped) {
        if (!spare_.isDetached() || spare_.size() != pic1_.size() || spare_.format() != pic1_.format()) {
            spare_ = QImage(pic1_.size(), pic1_.format());
        }
        std::swap(pic1_, spare_);
    }
    // What of the capture, the copied boxes and the strip comes from the screen is copied
    // together, though drawn one by one.
    const QRect captureRect = source_.captureRect(settings_);
    std::vector<QRect> spots, screenSpots;
    std::vector<bool> fromContent;
    const bool readsContent = desktop_.readsWindowContent();
    const auto add = [&](const QRect& spot) {
        spots.push_back(spot);
        fromContent.push_back(readsContent && source_.fromContent(spot));
        if (!fromContent.back()) {
            screenSpots.push_back(spot);
        }
    };
    add(captureRect);
    for (const CopiedBox& box : kCopiedBoxes) {
        if (drawsBox(box)) {
            add(box.source(settings_));
        }
    }
    if (progressStripWidth() > 0) {
        add(source_.progressStripRect(settings_));
    }
    // Asked every frame, so that "unchanged" always means since the frame before.
    const bool anyFromContent = std::find(fromContent.begin(), fromContent.end(), true) != fromContent.end();
    const bool unchanged = desktop_.unchangedSinceLastAsked(anyFromContent ? source_.handle() : 0, screenSpots);
    reuse_ = alsoCleanCopy && unchanged && cleanCaptureKept_ && spots == lastSpots_ && fromContent == lastFromContent_;
    lastSpots_ = spots;
    lastFromContent_ = fromContent;
    lastPieces_.swap(pieces_);
    pieces_.clear();
    if (reuse_) {
        // The same picture as last time: the clean capture is it, stretched already.
        std::memcpy(pic1_.bits(), pic3_.constBits(), std::size_t(pic1_.sizeInBytes()));
        return;
    }
    cleanCaptureKept_ = false;
    desktop_.prefetch(screenSpots);
    if (!copyOnto(captureRect, pic1_, pic1_.rect())) {
        // Nothing could be read: the previous picture stays rather than a black frame.
        if (swapped) {
            std::swap(pic1_, spare_);
        }
        return;
    }
    if (alsoCleanCopy) {
        // Into the clean copy's own buffer: no allocation per frame.
        if (pic3_.size() == pic1_.size() && pic3_.format() == pic1_.format()) {
            std::memcpy(pic3_.bits(), pic1_.constBits(), std::size_t(pic1_.sizeInBytes()));
        } else {
            pic3_ = pic1_.copy();
        }
        cleanCaptureKept_ = true;
    }
}

void FrameCycle::copyPiece(const QRect& screenRect, const QRect& place) {
    const auto same = [&](const CopiedPiece& p) { return p.source == screenRect && p.place == place; };
    if (const auto kept = std::find_if(lastPieces_.begin(), lastPieces_.end(), same);
        reuse_ && kept != lastPieces_.end() && !kept->pixels.isNull()) {
        QPainter painter(&pic1_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(place.topLeft(), kept->pixels);
        pieces_.push_back(*kept);
        return;
    }
    if (copyOnto(screenRect, pic1_, place)) {
        pieces_.push_back({screenRect, place, pic1_.copy(place)});
    }
}

bool FrameCycle::copyOnto(const QRect& screenRect, QImage& dst, const QRect& dstRect) {
    // Inside the source window only its own content will do: the screen there may show a
    // window over it.
    if (desktop_.readsWindowContent() && source_.fromContent(screenRect)) {
        return desktop_.windowContentOnto(source_.handle(), screenRect, dst, dstRect);
    }
    return desktop_.grabOnto(screenRect, dst, dstRect);
}

void FrameCycle::drawCopiedBox(const QRect& source, const QRect& place) {
    copyPiece(source, place);
    QPainter painter(&pic1_);
    painter.setPen(toQColor(settings_.borderColour));
    painter.setBrush(Qt::NoBrush);
    // An outline from one pixel outside the box's top-left to one pixel beyond its bottom-right.
    painter.drawRect(QRect(place.left() - 1, place.top() - 1, place.width() + 2, place.height() + 2));
}

bool FrameCycle::drawsBox(const CopiedBox& box) const { return !edit_.isDragged(box.id) && box.isOn(settings_); }

void FrameCycle::drawCopiedBoxes() {
    for (const CopiedBox& box : kCopiedBoxes) {
        if (drawsBox(box)) {
            drawCopiedBox(box.source(settings_), box.place(settings_));
        }
    }
}

int FrameCycle::progressStripWidth() const {
    if (settings_.program != EasyPal || !settings_.progressStripOn()) {
        return 0;
    }
    // The strip runs along the bottom of the frame and ends 3 pixels left of the
    // last-received box, so moving that box shortens it.
    return std::max(0, roundHalfEven(boxes_[BoxId::LastRx].rect.left()) - 3);
}

void FrameCycle::drawProgressStrip() {
    if (const int width = progressStripWidth(); width > 0) {
        copyPiece(source_.progressStripRect(settings_), QRect(0, kStripTop, width, kStripHeight));
    }
}

void FrameCycle::stampName() {
    QPainter painter(&pic1_);
    painter.setFont(nameFont_);
    painter.setPen(Qt::white);
    painter.setClipRect(QRect(288, 230, kFrameWidth - 288, kFrameHeight - 230));
    nameStamp_.drawFromTop(painter, QPointF(288, 230), QStringLiteral("Oculet"), nameFont_);
}

QByteArray FrameCycle::bitmapBytes(const QImage& picture) {
    QByteArray bytes;
    packBitmap(picture, bytes);
    return bytes;
}

void FrameCycle::packBitmap(const QImage& picture, QByteArray& bytes) {
    if (picture.format() != QImage::Format_RGB32) {
        // Only the off picture comes in other formats, once at shutdown.
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP")) {
            bytes.clear();
        }
        return;
    }
    // A 24-bit bitmap packed straight from the frame's 32-bit pixels, with the header Qt's own
    // writer gives: rows bottom-up in blue, green, red order, each padded to 4 bytes.
    const int width = picture.width();
    const int height = picture.height();
    const int rowBytes = (width * 3 + 3) & ~3;
    constexpr int kHeaderBytes = 54;
    bytes.resize(kHeaderBytes + qsizetype(rowBytes) * height);
    auto* out = reinterpret_cast<uchar*>(bytes.data());
    std::memset(out, 0, kHeaderBytes);
    const auto put = [out](int at, quint32 value, int size) {
        for (int i = 0; i < size; ++i) {
            out[at + i] = uchar(value >> (8 * i));
        }
    };
    out[0] = 'B';
    out[1] = 'M';
    put(2, quint32(bytes.size()), 4);
    put(10, kHeaderBytes, 4);
    put(14, 40, 4); // the size of the info header
    put(18, quint32(width), 4);
    put(22, quint32(height), 4);
    put(26, 1, 2);  // planes
    put(28, 24, 2); // bits per pixel
    put(34, quint32(rowBytes * height), 4);
    put(38, quint32(picture.dotsPerMeterX()), 4);
    put(42, quint32(picture.dotsPerMeterY()), 4);
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        uchar* row = out + kHeaderBytes + qsizetype(height - 1 - y) * rowBytes;
        packBgr24Row(row, in, width);
        std::memset(row + 3 * width, 0, std::size_t(rowBytes - 3 * width));
    }
}

void FrameCycle::writeOffPictureAsFrame(const QImage& offPicture) {
    const QByteArray bytes = offPicture.isNull() ? QByteArray() : bitmapBytes(offPicture);
    if (!bytes.isEmpty()) {
        replaceFile(files_.dataFolder + u'/' + camBitmapName(), bytes);
    }
}

void FrameCycle::writeCamBitmap() {
    packBitmap(pic1_, camBitmap_);
    if (camBitmap_.isEmpty()) {
        return;
    }
    // A webcam program reads this file four times a second: it must never see half a frame.
    for (const auto& file : camBitmapFiles_) {
        file->replace(camBitmap_);
    }
}

void FrameCycle::run(std::function<void()> finished) {
    const Settings& s = settings_;
    try {
        source_.check(s);
        capture(true);
        if (overlays_ != nullptr && s.current(s.lastRx) && !edit_.isDragged(BoxId::LastRx)) {
            drawGuarded([&] { overlays_->drawLastReceived(pic1_); });
        }
        drawCopiedBoxes();
        drawProgressStrip();
        if (overlays_ != nullptr && s.scrollTextShown()) {
            drawGuarded([&] { overlays_->drawScrollingText(pic1_, s.current(s.txtOn)); });
        }
        if (overlays_ != nullptr && s.fixedTextShown()) {
            drawGuarded([&] { overlays_->drawFixedText(pic1_); });
        }
        if (overlays_ != nullptr && s.clockShown()) {
            drawGuarded([&] { overlays_->drawClock(pic1_); });
        }
        stampName();
        view_.showFrame(pic1_);
        view_.showBoxes(boxes_);
        view_.showSourceMissing(source_.missing());

        // While the question stands, frames go on from the stored place as after a Yes; the
        // answer comes in its own time.
        if (source_.missing() && !warningDismissed_ && !warningOpen_) {
            warningOpen_ = true;
            messages_.ask(QStringLiteral("EasyPal not running!"), [this](bool yes) {
                warningOpen_ = false;
                if (yes) {
                    warningDismissed_ = true;
                } else {
                    view_.requestShutdown();
                }
            });
        }
        writeCamBitmap();
        if (!edit_.draggedBox) {
            view_.hideDragPreview();
        }
        if (publisher_ != nullptr && !edit_.layout.paused() && publisher_->canPublish()) {
            publisher_->publishFrame(pic1_);
        } else if (publisher_ != nullptr && edit_.layout.paused()) {
            publisher_->showHeldFrame(pic1_);
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
    const Settings& s = settings_;
    try {
        source_.searchForRedraw(s);
        capture(false);
        if (overlays_ != nullptr && s.current(s.lastRx)) {
            drawGuarded([&] { overlays_->drawLastReceived(pic1_); });
        }
        drawCopiedBoxes();
        drawProgressStrip();
        if (overlays_ != nullptr && s.clockShown()) {
            drawGuarded([&] { overlays_->drawClock(pic1_); });
        }
        if (overlays_ != nullptr && s.fixedTextShown()) {
            drawGuarded([&] { overlays_->drawFixedText(pic1_); });
        }
    } catch (...) {
    }
    view_.showFrame(pic1_);
    view_.showBoxes(boxes_);
}

} // namespace oculet
