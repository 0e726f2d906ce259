// Publishing speed: JPEG encoding of one frame, and a composed frame's way to the published
// file on a loopback FTP, FTPS or SFTP server.
#include "bench/BenchApplication.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "platform/Messages.h"
#include "platform/TurboJpeg.h"
#include "publish/FtpPublisher.h"
#include "publish/JpegWriter.h"
#include "tests/support/FtpServer.h"
#include "tests/support/SshServer.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>
#include <optional>

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
    const QImage frame = benchFrame(1);
    oculet::TurboJpegEncoder encoder;
    std::vector<std::uint8_t> jpeg;
    for (auto _ : state) {
        encoder.encodeRgb32TopDown(frame.constBits(), frame.width(), frame.height(), int(frame.bytesPerLine()),
                                   oculet::kPublishedJpegQuality, jpeg);
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

class SilentMessages final : public oculet::Messages {
public:
    void show(Kind, const QString&, const QString&, std::function<void(bool)>) override {}
    void closeAll() override {}
};

// Sleeps in the event loop until the condition holds. processEvents with a time limit ignores
// WaitForMoreEvents and would spin; the untimed call blocks until something arrives, and a slow
// timer makes sure something does.
void waitFor(const std::function<bool()>& condition) {
    QTimer wake;
    wake.start(50);
    while (!condition()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// A composed frame's way to the published file on a loopback server, by scheme (0 FTP, 1 FTPS,
// 2 SFTP): encode, upload as temp.jpg, put it under the published name. The login is timed once,
// as the "connect_ms" counter. The servers are the tests' own, in a private HOME.
void BM_FrameToPublishedOnLoopback(benchmark::State& state) {
    static const bool privateRoot = oculet::test::TestEnvironment::createPrivateRoot();
    oculet::ensureApplication();
    const auto scheme = static_cast<oculet::FtpScheme>(state.range(0));
    oculet::test::FtpServer ftp(scheme == oculet::FtpScheme::Ftps ? oculet::test::FtpServer::Kind::Ftps
                                                                   : oculet::test::FtpServer::Kind::Ftp);
    std::optional<oculet::test::SshServer> sshd;
    oculet::Settings settings;
    settings.ftpOn = true;
    settings.ftpDir = QStringLiteral("/");
    if (scheme == oculet::FtpScheme::Sftp) {
        sshd.emplace();
        std::tie(settings.ftpAddress, settings.ftpUsername, settings.ftpPassword, settings.ftpDir) =
            std::tuple(sshd->address(), oculet::test::SshServer::user(), QString(), sshd->folder());
    } else {
        std::tie(settings.ftpAddress, settings.ftpUsername, settings.ftpPassword) =
            std::tuple(ftp.address(), oculet::test::FtpServer::user(), oculet::test::FtpServer::password());
        qputenv("SSL_CERT_FILE", oculet::test::FtpServer::testCertificateAuthority().toUtf8());
    }
    if (!privateRoot || !(sshd ? sshd->start() : ftp.start())) {
        state.SkipWithError("the loopback server did not start");
        return;
    }
    settings.ftpAddress = sshd ? sshd->address() : ftp.address();
    oculet::InterfaceTexts texts;
    SilentMessages messages;
    oculet::FtpPublisherOptions options;
    QTemporaryDir data;
    options.dataFolder = data.path();
    oculet::FtpPublisher publisher(settings, texts, messages, nullptr, options);
    QElapsedTimer connecting;
    connecting.start();
    publisher.acceptHostKey(sshd ? sshd->hostKeyFingerprint() : QString()); // connects
    waitFor([&] { return !publisher.isConnecting(); });
    state.counters["connect_ms"] = static_cast<double>(connecting.nsecsElapsed()) / 1e6;
    if (!publisher.isConnected()) {
        state.SkipWithError(qPrintable(publisher.status().toolTip()));
        return;
    }
    const QImage frames[2] = {benchFrame(3), benchFrame(4)};
    int i = 0;
    int published = 0;
    QObject::connect(&publisher, &oculet::FtpPublisher::framePublished, [&] { ++published; });
    // The mean hides what matters here: the typical frame and the stalls. Each frame is timed.
    std::vector<double> times_ms;
    for (auto _ : state) {
        const int before = published;
        QElapsedTimer frame;
        frame.start();
        publisher.publishFrame(frames[i++ % 2]);
        waitFor([&] { return published > before || !publisher.isConnected(); });
        times_ms.push_back(static_cast<double>(frame.nsecsElapsed()) / 1e6);
    }
    std::sort(times_ms.begin(), times_ms.end());
    state.counters["published"] = published;
    state.counters["median_ms"] = times_ms[times_ms.size() / 2];
    state.counters["max_ms"] = times_ms.back();
    state.counters["over_500ms"] = static_cast<double>(
        std::count_if(times_ms.begin(), times_ms.end(), [](double ms) { return ms > 500; }));
    qunsetenv("SSL_CERT_FILE");
}
BENCHMARK(BM_FrameToPublishedOnLoopback)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(100);

} // namespace
