// Publishing speed: JPEG encoding of one frame, and a composed frame's way to the published
// file on a loopback FTP server (encode, upload as temp.jpg, rename over the published name).
#include "bench/BenchApplication.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "platform/MessageBoxes.h"
#include "platform/TurboJpeg.h"
#include "publish/DibSection.h"
#include "publish/FtpPublisher.h"
#include "publish/JpegWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

QImage benchFrame(int seed) {
    QImage frame(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y) {
        auto* line = reinterpret_cast<QRgb*>(frame.scanLine(y));
        for (int x = 0; x < 320; ++x) {
            line[x] = qRgb((x + seed) & 0xff, (y * 2) & 0xff, ((x ^ y) + seed * 3) & 0xff);
        }
    }
    return frame;
}

void BM_EncodeFrameInMemory(benchmark::State& state) {
    oculet::DibSection dib;
    dib.createFromPicture(benchFrame(1));
    oculet::TurboJpegEncoder encoder;
    std::vector<std::uint8_t> jpeg;
    for (auto _ : state) {
        encoder.encodeBgrBottomUp(dib.bits(), dib.width(), dib.height(), dib.bytesPerScanLine(),
                                  65, jpeg);
        benchmark::DoNotOptimize(jpeg.data());
    }
    state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
}
BENCHMARK(BM_EncodeFrameInMemory)->Unit(benchmark::kMicrosecond);

void BM_SaveFrameAsJpeg(benchmark::State& state) {
    QTemporaryDir folder;
    const QImage frame = benchFrame(2);
    for (auto _ : state) {
        oculet::saveFrameAsJpeg(frame, folder.path());
    }
}
BENCHMARK(BM_SaveFrameAsJpeg)->Unit(benchmark::kMicrosecond);

class SilentMessages final : public oculet::MessageBoxes {
public:
    void inform(const QString&) override {}
    void warn(const QString&) override {}
    bool askYesNo(const QString&) override { return false; }
};

void waitFor(const std::function<bool()>& condition) {
    while (!condition()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
}

void BM_FrameToPublishedOnLoopback(benchmark::State& state) {
    oculet::ensureApplication();
    QTemporaryDir root;
    QTemporaryDir data;
    const QString script = QFileInfo(QStringLiteral(__FILE__)).absolutePath() +
                           QStringLiteral("/../tests/support/ftp_server.py");
    QProcess server;
    server.start(QStringLiteral("/usr/bin/python3"),
                 {script, QStringLiteral("--root"), root.path(), QStringLiteral("--user"),
                  QStringLiteral("bench"), QStringLiteral("--password"), QStringLiteral("bench")});
    while (server.waitForReadyRead(10000) && !server.canReadLine()) {
    }
    const int port = QString::fromLatin1(server.readLine()).trimmed().toInt();
    if (port <= 0) {
        state.SkipWithError("the loopback FTP server did not start");
        return;
    }

    oculet::Settings settings;
    settings.ftpOn = true;
    settings.ftpAddress = QStringLiteral("127.0.0.1:%1").arg(port);
    settings.ftpUsername = QStringLiteral("bench");
    settings.ftpPassword = QStringLiteral("bench");
    oculet::InterfaceTexts texts;
    SilentMessages messages;
    oculet::FtpPublisherOptions options;
    options.dataFolder = data.path();
    {
        oculet::FtpPublisher publisher(settings, texts, messages, nullptr, options);
        publisher.testFtpConnection();
        waitFor([&] { return !publisher.isConnecting(); });
        if (!publisher.isConnected()) {
            state.SkipWithError("could not log in to the loopback FTP server");
        } else {
            const QImage frames[2] = {benchFrame(3), benchFrame(4)};
            int i = 0;
            int published = 0;
            QObject::connect(&publisher, &oculet::FtpPublisher::framePublished,
                             [&] { ++published; });
            for (auto _ : state) {
                const int before = published;
                publisher.publishFrame(frames[i++ % 2]);
                waitFor([&] { return published > before; });
            }
            state.counters["published"] = published;
        }
    }
    server.terminate();
    server.waitForFinished(3000);
}
BENCHMARK(BM_FrameToPublishedOnLoopback)->Unit(benchmark::kMillisecond)->Iterations(100);

} // namespace
