#include "publish/JpegWriter.h"

#include "platform/AtomicFile.h"
#include "platform/TurboJpeg.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <memory>


namespace oculet {
namespace {

[[noreturn]] void saveFailed(int code) {
    throw JpegError(QStringLiteral("Failed to save to JPG %1").arg(code), code);
}

// A file overwritten frame after frame keeps the mode and times of the first one, so a program
// watching the folder sees the same file it was given.
constexpr AtomicWriteOptions kJpegFileOptions{.mode = 0644, .keepModeAndTimes = true};

void initialiseOrThrow(JpegEncoder& encoder) {
    if (const int rc = encoder.initialise(); rc != 0) {
        throw JpegError(QStringLiteral("Failed to initialise the IJL library: %1").arg(rc), rc);
    }
}

} // namespace

JpegError::JpegError(QString message, int code)
    : std::runtime_error(message.toStdString()), message_(std::move(message)), code_(code) {}

QString JpegError::source() const {
    QString name = QCoreApplication::instance() != nullptr
                       ? QFileInfo(QCoreApplication::applicationFilePath()).fileName()
                       : QString();
    if (name.isEmpty()) {
        name = QStringLiteral("oculet");
    }
    return name + QStringLiteral(".mIntelJPEGLibrary");
}

QByteArray encodeFrameJpeg(const QImage& frame) {
    // One encoder per thread, kept from frame to frame.
    thread_local TurboJpegEncoder encoder;
    return encodeFrameJpegWith(frame, encoder);
}

QByteArray encodeFrameJpegWith(const QImage& frame, JpegEncoder& encoder) {
    // The encoder reads the frame's 32-bit rows as they are: the same file as from a flipped
    // 24-bit copy, without making one.
    initialiseOrThrow(encoder);
    const QImage pixels = frame.format() == QImage::Format_RGB32 ? frame : frame.convertToFormat(QImage::Format_RGB32);
    std::vector<std::uint8_t> jpeg;
    if (const int rc = encoder.encodeRgb32TopDown(pixels.constBits(), pixels.width(), pixels.height(),
                                                  int(pixels.bytesPerLine()), kPublishedJpegQuality, jpeg);
        rc != 0) {
        saveFailed(rc);
    }
    return QByteArray(reinterpret_cast<const char*>(jpeg.data()), static_cast<qsizetype>(jpeg.size()));
}

void writeTempJpeg(const QByteArray& jpeg, const QString& dataFolder) {
    // Written four times a second: a spare file is kept beside it rather than one made each time.
    const QString path = dataFolder + u'/' + tempJpegName();
    thread_local std::unique_ptr<FrequentFile> tempJpeg;
    if (!tempJpeg || tempJpeg->path() != path) {
        tempJpeg = std::make_unique<FrequentFile>(path, kJpegFileOptions);
    }
    if (const int rc = tempJpeg->replace(jpeg); rc != 0) {
        saveFailed(rc);
    }
}

QByteArray saveFrameAsJpeg(const QImage& frame, const QString& dataFolder) {
    QByteArray bytes = encodeFrameJpeg(frame);
    writeTempJpeg(bytes, dataFolder);
    return bytes;
}

QByteArray saveFrameAsJpegWith(const QImage& frame, const QString& dataFolder, JpegEncoder& encoder) {
    QByteArray bytes = encodeFrameJpegWith(frame, encoder);
    writeTempJpeg(bytes, dataFolder);
    return bytes;
}

} // namespace oculet
