#include "compose/LastReceivedOverlay.h"

#include "settings/Units.h"
#include "compose/OverlayBoxes.h"
#include "compose/OverlayFont.h"
#include "compose/TextFit.h"
#include "platform/NewestFile.h"
#include "platform/RegularFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <optional>

namespace oculet {
namespace {

const QString kLastRxName = QStringLiteral("LastRX.bmp");

// Beyond these a file is not a received picture but damage or mischief. A JPEG is decoded
// straight to a fraction of its size; every other format is decoded whole before it can be made
// smaller, so a larger one would cost its full size in memory, frame after frame.
constexpr int kMaxSide = 20000;
constexpr qint64 kMaxPixels = 30'000'000;
constexpr qint64 kMaxWholePixels = 4096LL * 4096;
// An animation stops being read once this many pixels have been decoded: a few frames of a huge
// one, hundreds of a picture-sized one.
constexpr qint64 kDecodedPixelBudget = 32'000'000;
constexpr std::size_t kMaxFrames = 500;
constexpr qint64 kMaxHeldBytes = 32LL * 1024 * 1024;

// Qt's bitmap reader leaves the pixels a file does not give (a file still being written, a
// run-length picture that ends early) as they were in the image it fills, and Qt looks a colour
// up without checking the index against the colour table. So the image is blank before it is
// read, and afterwards every index has a colour (black) before it is drawn or scaled.
QImage blankPicture(const QImageReader& reader) {
    // A reader that decodes to another size, or an animation's onto its own canvas, fills an
    // image of its own.
    if (reader.scaledSize().isValid() || reader.supportsAnimation()) {
        return {};
    }
    QImage blank(reader.size(), reader.imageFormat());
    if (!blank.isNull()) {
        blank.fill(blank.format() == QImage::Format_Indexed8 ? 255 : 0); // black, unless the table says otherwise
    }
    return blank;
}

QImage inTrueColour(QImage image) {
    const QImage::Format format = image.format();
    if (format != QImage::Format_Indexed8 && format != QImage::Format_Mono && format != QImage::Format_MonoLSB) {
        return image;
    }
    QList<QRgb> table = image.colorTable();
    const qsizetype indices = format == QImage::Format_Indexed8 ? 256 : 2;
    if (table.size() < indices) {
        table.resize(indices, qRgb(0, 0, 0));
        image.setColorTable(table);
    }
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

QString inFolder(const QString& folder, const QString& name) {
    if (folder.isEmpty() || name.isEmpty() || !QDir::isAbsolutePath(folder)) {
        return {};
    }
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// Frames are held no larger than the thumbnail can be, which is at most the frame. The thumbnail
// takes its shape from the picture's own size, so each side is reduced on its own.
QSize heldSize(QSize size) { return size.boundedTo(QSize(kFrameWidth, kFrameHeight)); }

// The size a GIF declares for its canvas. Qt reports the first image's size instead, but decodes
// every frame onto the whole canvas.
QSize gifCanvas(QIODevice& device) {
    const QByteArray head = device.peek(10);
    if (head.size() < 10 || !head.startsWith("GIF8")) {
        return {};
    }
    const auto word = [&](int at) { return static_cast<uchar>(head[at]) | static_cast<uchar>(head[at + 1]) << 8; };
    return {word(6), word(8)};
}

} // namespace

QString newestJpg(const QString& folder) { return newestFileEndingIn(folder, QLatin1StringView("jpg")); }

QString lastReceivedFolder(int program, bool userFolderChosen, const QString& userFolder,
                           const QString& programFolder) {
    return program == EasyPal && userFolderChosen ? userFolder : programFolder;
}

QString lastReceivedFile(int program, bool userFolderChosen, const QString& userFolder,
                         const QString& programFolder) {
    if (program == EasyPal) {
        return inFolder(userFolderChosen ? userFolder : programFolder, kLastRxName);
    }
    if (!QDir::isAbsolutePath(programFolder)) {
        return {};
    }
    return inFolder(programFolder, newestJpg(programFolder));
}

int thumbnailHeight(QSize picture, int width) {
    if (picture.width() <= 0 || picture.height() <= 0 || width <= 0) {
        return 0;
    }
    const double factor = static_cast<double>(picture.width()) / width;
    return std::clamp(roundHalfEven(picture.height() / factor), 1, kFrameHeight);
}

int ThumbnailPainter::draw(QImage& frame, const QImage& picture, QSize pictureSize, int left, int width,
                           Colour border) {
    const int height = thumbnailHeight(pictureSize.isValid() ? pictureSize : picture.size(), width);
    if (height == 0 || picture.isNull()) {
        return 0;
    }
    const QSize target(width, height);
    if (picture.cacheKey() != sourceKey_ || scaled_.size() != target) {
        scaled_ = picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        sourceKey_ = picture.cacheKey();
    }
    QPainter painter(&frame);
    painter.drawImage(QPoint(left, kFrameHeight - height), scaled_);
    painter.setPen(QPen(toQColor(border), 0));
    painter.setBrush(Qt::NoBrush);
    // The outline runs from one pixel left of the picture to two beyond its right edge and down
    // below the frame's bottom, so only three sides show.
    painter.drawRect(QRect(QPoint(left - 1, kFrameHeight - 1 - height), QSize(width + 3, height + 1)));
    return height;
}

std::optional<ReceivedPicture> decodeReceivedPicture(QIODevice& device) {
    const QSize canvas = gifCanvas(device);
    QImageReader reader(&device);
    // Nothing is decoded before the size is known: the size decides what the decoding costs.
    const QSize size = reader.size().expandedTo(canvas);
    const qint64 pixels = static_cast<qint64>(size.width()) * size.height();
    const bool decodedSmaller = reader.format() == "jpeg";
    if (size.isEmpty() || size.width() > kMaxSide || size.height() > kMaxSide ||
        pixels > (decodedSmaller ? kMaxPixels : kMaxWholePixels)) {
        return std::nullopt;
    }
    const QSize held = heldSize(size);
    // Only a reader that decodes straight to the smaller size is asked to; any other would scale
    // the picture itself before its colours are made safe.
    if (held != size && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        reader.setScaledSize(held);
    }
    ReceivedPicture picture{{}, size};
    qint64 heldBytes = 0;
    qint64 decodedPixels = 0;
    while (picture.frames.size() < kMaxFrames && heldBytes < kMaxHeldBytes &&
           (picture.frames.empty() || decodedPixels + pixels <= kDecodedPixelBudget)) {
        QImage image = blankPicture(reader);
        if (!reader.read(&image) || image.isNull()) {
            break;
        }
        image = inTrueColour(std::move(image));
        decodedPixels += pixels;
        if (image.size() != held) {
            image = image.scaled(held, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        heldBytes += image.sizeInBytes();
        picture.frames.push_back(std::move(image));
        if (!reader.supportsAnimation()) {
            break;
        }
    }
    if (picture.frames.empty()) {
        return std::nullopt;
    }
    return picture;
}

std::optional<ReceivedPicture> decodeReceivedPicture(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decodeReceivedPicture(buffer);
}

bool QtPictureDecoder::load(const QString& path) {
    QFile file;
    std::optional<ReceivedPicture> picture;
    if (openRegularFile(file, path)) {
        picture = decodeReceivedPicture(file);
    }
    frames_ = picture ? std::move(picture->frames) : std::vector<QImage>();
    size_ = picture ? picture->size : QSize();
    return picture.has_value();
}

QImage QtPictureDecoder::frame(int index) const {
    return index >= 0 && index < frameCount() ? frames_[static_cast<std::size_t>(index)] : QImage();
}

LastReceivedPicture::LastReceivedPicture(std::unique_ptr<PictureDecoder> decoder) : decoder_(std::move(decoder)) {}

bool LastReceivedPicture::refresh(const QString& path, bool mayHaveChanged) {
    if (mayHaveChanged || lookedAt_ != path) {
        lookedAt_ = path;
        const QFileInfo info(path);
        present_ = !path.isEmpty() && info.isFile();
        // A file that could not be read is tried again only once it changes, so a damaged
        // picture costs one attempt rather than one per cycle.
        const FileStamp stamp{path, present_ ? info.lastModified() : QDateTime(), present_ ? info.size() : -1};
        if (present_ && stamp != tried_) {
            tried_ = stamp;
            loaded_ = decoder_->load(path);
            frameIndex_ = 0;
        }
    }
    if (!present_ || !loaded_) {
        return false;
    }
    const int frames = decoder_->frameCount();
    frameIndex_ = frames > 1 ? (frameIndex_ + 1) % frames : 0;
    return true;
}

QImage LastReceivedPicture::currentFrame() const { return decoder_->frame(frameIndex_); }

QImage placeholderPicture(const QString& text, bool german, bool& fitted) {
    QImage picture(120, 90, QImage::Format_RGB32);
    picture.fill(QColor(80, 80, 80));
    fitted = true;
    if (text.isEmpty()) {
        return picture;
    }
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(pixelSizeForPoints(8));
    // The main window marks the box with an "RX" tag in its top-left corner; the text is fitted
    // into the room below it so the two never overlap.
    QImage below = picture.copy(0, kTagRoom, picture.width(), picture.height() - kTagRoom);
    {
        PainterTextSurface surface(below, font, QColor(220, 220, 220));
        int shadow = 8; // down and right
        fitted = fitText(surface, text, AlignCentred, german ? -6 : -9, shadow, Qt::black);
    }
    QPainter(&picture).drawImage(0, kTagRoom, below);
    return picture;
}

} // namespace oculet
