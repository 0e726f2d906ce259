#pragma once

// The thumbnail of the picture the station received last, along the bottom edge of the frame.
// EasyPal keeps its last picture as "LastRX.bmp"; the other programs save every received
// picture as a JPEG in a folder, and the newest one is shown. Animated pictures play one frame
// per frame cycle.

#include "settings/Settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QIODevice;

namespace oculet {

// The name (without folder) of the newest file in `folder` whose name ends in "jpg" in any case
// ("a.JPG" counts, "b.jpeg" does not). Of equal times the first one the directory lists wins.
// Empty when there is none or the folder cannot be read.
QString newestJpg(const QString& folder);

// The file that holds the last received picture: for EasyPal, "LastRX.bmp" in the per-user
// folder (user folder chosen) or in the program folder; for the other programs the newest JPEG
// in the program folder. A folder that is not an absolute path here (a stored Windows path such
// as "c:\EasyPal") names no file, and an empty result means there is no picture.
QString lastReceivedFile(int program, bool userFolderChosen, const QString& userFolder,
                         const QString& programFolder);
// The folder that file is looked for in.
QString lastReceivedFolder(int program, bool userFolderChosen, const QString& userFolder,
                           const QString& programFolder);

// Height of a thumbnail `width` wide that keeps the picture's aspect ratio, at least 1 and at
// most the frame's height.
int thumbnailHeight(QSize picture, int width);

// Draws a picture `width` wide with its bottom on the frame's bottom edge and a border around
// it. The scaled picture is kept, so an unchanged picture is not scaled again on every cycle.
class ThumbnailPainter {
public:
    // `pictureSize` is the picture's own size (it sets the aspect ratio); returns the thumbnail
    // height, or 0 when there is nothing to draw.
    int draw(QImage& frame, const QImage& picture, QSize pictureSize, int left, int width, Colour border);

private:
    qint64 sourceKey_ = 0;
    QImage scaled_;
};

// A received picture as the thumbnail needs it: its frames (more than one when animated), each
// held no larger than the frame, and the picture's own size, which gives the thumbnail its shape.
struct ReceivedPicture {
    std::vector<QImage> frames;
    QSize size;
};

// Reads a received picture from any bytes, whatever they hold. A picture with absurd dimensions
// is refused before anything is decoded, a large one is decoded straight to a reduced size where
// the format allows, and only the first frames of an animation of huge frames are read, so no
// file can exhaust memory or hold up the frame cycle for long. A truncated file gives what could
// be read of it; nothing when not even one frame could.
std::optional<ReceivedPicture> decodeReceivedPicture(QIODevice& device);
std::optional<ReceivedPicture> decodeReceivedPicture(const QByteArray& bytes);

// Reads pictures, animated or not.
class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;
    // True when at least one frame could be read; the previous picture is dropped either way.
    virtual bool load(const QString& path) = 0;
    virtual int frameCount() const = 0;
    virtual QImage frame(int index) const = 0;
    // The picture's own size (frames of a very large picture may be held smaller).
    virtual QSize pictureSize() const = 0;
};

// Qt's image readers, by way of decodeReceivedPicture().
class QtPictureDecoder final : public PictureDecoder {
public:
    bool load(const QString& path) override;
    int frameCount() const override { return static_cast<int>(frames_.size()); }
    QImage frame(int index) const override;
    QSize pictureSize() const override { return size_; }

private:
    std::vector<QImage> frames_;
    QSize size_;
};

// Which picture to show on each cycle: loads a file only when it is another file or it changed
// since the last attempt, and steps through an animation one frame per call.
class LastReceivedPicture {
public:
    explicit LastReceivedPicture(std::unique_ptr<PictureDecoder> decoder);

    // Brings the picture at `path` up to date and advances the animation by one frame. False
    // when there is nothing to show (no file, or a file that could not be read). With
    // `mayHaveChanged` false (nothing in its folder changed) the file is not looked at again.
    bool refresh(const QString& path, bool mayHaveChanged = true);
    QImage currentFrame() const;
    QSize pictureSize() const { return decoder_->pictureSize(); }
    int frameIndex() const { return frameIndex_; }
    // The next refresh loads the file even when it has not changed.
    void forget() {
        tried_ = FileStamp{};
        lookedAt_.reset();
    }

private:
    struct FileStamp {
        QString path;
        QDateTime modified;
        qint64 size = -1;
        bool operator==(const FileStamp&) const = default;
    };

    std::unique_ptr<PictureDecoder> decoder_;
    FileStamp tried_;
    std::optional<QString> lookedAt_; // the path last looked at
    bool present_ = false;            // whether a file was there then
    bool loaded_ = false;
    int frameIndex_ = 0;
};

// The grey 120 × 90 stand-in shown when there is no picture, with the no-picture text fitted
// into it below the top `kTagRoom` rows, where the box's tag is shown on the main window.
// `fitted` is false when the text could not be fitted at any size.
inline constexpr int kTagRoom = 16;
QImage placeholderPicture(const QString& text, bool german, bool& fitted);

} // namespace oculet
