// The newest received picture, whatever bytes the radio program (or anyone) left in its folder:
// decoded by the same reader the frame cycle uses and drawn as the thumbnail. Frames are held
// small, at least one of them is there when the reading succeeds, and none is empty.

#include "compose/LastReceivedOverlay.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace oculet;

namespace {
QTemporaryDir* folder = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(*argc, *argv);
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Both names the program reads: EasyPal's bitmap and the other programs' JPEGs. The reader
    // goes by the name before the contents, so both are tried, chosen by the length.
    const QString path = folder->filePath(size % 2 == 0 ? QStringLiteral("LastRX.bmp") : QStringLiteral("rx.jpg"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size)) {
            std::abort();
        }
    }
    QtPictureDecoder decoder;
    if (!decoder.load(path)) {
        return 0;
    }
    if (decoder.frameCount() < 1 || decoder.frameCount() > 500 || decoder.pictureSize().isEmpty()) {
        std::abort();
    }
    for (int i = 0; i < decoder.frameCount(); ++i) {
        const QImage frame = decoder.frame(i);
        if (frame.isNull() || frame.width() > 1600 || frame.height() > 1600) {
            std::abort();
        }
    }
    QImage frame(320, 240, QImage::Format_RGB32);
    frame.fill(Qt::black);
    ThumbnailPainter thumbnail;
    const int height = thumbnail.draw(frame, decoder.frame(0), decoder.pictureSize(), 10, 120, 0xFFFFFF);
    if (height < 1 || height > 240) {
        std::abort();
    }
    return 0;
}
