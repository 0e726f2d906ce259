#include "compose/LastReceivedOverlay.h"

#include "settings/Units.h"
#include "compose/OverlayBoxes.h"
#include "compose/OverlayFont.h"
#include "compose/TextFit.h"
#include "platform/NewestFile.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <optional>

namespace oculet {
namespace {

const QString kLastRxName = QStringLiteral("LastRX.bmp");

// Beyond these a file is not a received picture but damage or mischief.
constexpr int kMaxSide = 20000;
constexpr qint64 kMaxPixels = 30'000'000;
// Frames are held no larger than this: the thumbnail is at most the frame's width.
constexpr int kHeldSide = 1600;
constexpr int kMaxFrames = 500;
constexpr qint64 kMaxHeldBytes = 96LL * 1024 * 1024;

QString inFolder(const QString& folder, const QString& name) {
    if (folder.isEmpty() || name.isEmpty() || !QDir::isAbsolutePath(folder)) {
        return {};
    }
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QSize heldSize(QSize size) {
    if (size.width() <= kHeldSide && size.height() <= kHeldSide) {
        return size;
    }
    return size.scaled(kHeldSide, kHeldSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
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

bool QtPictureDecoder::load(const QString& path) {
    frames_.clear();
    size_ = QSize();
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid()) {
        if (size.width() > kMaxSide || size.height() > kMaxSide ||
            static_cast<qint64>(size.width()) * size.height() > kMaxPixels) {
            return false;
        }
        // JPEG decodes straight to a smaller size, which is much faster than scaling after.
        if (heldSize(size) != size && reader.supportsOption(QImageIOHandler::ScaledSize)) {
            reader.setScaledSize(heldSize(size));
        }
    }
    qint64 heldBytes = 0;
    for (int i = 0; i < kMaxFrames && heldBytes < kMaxHeldBytes; ++i) {
        QImage image;
        if (!reader.read(&image) || image.isNull()) {
            break;
        }
        if (heldSize(image.size()) != image.size()) {
            image = image.scaled(heldSize(image.size()), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        heldBytes += image.sizeInBytes();
        frames_.push_back(std::move(image));
        if (!reader.supportsAnimation()) {
            break;
        }
    }
    if (frames_.empty()) {
        return false;
    }
    // A damaged header may announce a side of 0 while its frames decode: their size then tells
    // the aspect ratio, or no thumbnail could be drawn.
    size_ = size.isEmpty() ? frames_.front().size() : size;
    return true;
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
    {
        PainterTextSurface surface(picture, font, QColor(220, 220, 220));
        int shadow = 8; // down and right
        fitted = fitText(surface, text, AlignCentred, german ? -6 : -9, shadow, Qt::black);
    }
    return picture;
}

} // namespace oculet
