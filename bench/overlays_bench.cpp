// What the overlays add to each frame: the clock, the fixed text, the continuous scrolling text
// and the last received picture (the newest of 50 JPEGs in its folder), all on together, and
// each on its own.
#include "bench/BenchApplication.h"
#include "compose/Overlays.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace oculet {
namespace {

class SteppingClock final : public Clock {
public:
    QDateTime utcNow() const override { return QDateTime::currentDateTimeUtc(); }
    QDateTime localNow() const override { return QDateTime::currentDateTime(); }
    double steadySeconds() const override { return now += 0.25; }
    mutable double now = 0;
};

class SilentMessages final : public Messages {
public:
    void show(Kind, const QString&, const QString&, std::function<void(bool)>) override {}
    void closeAll() override {}
};

struct Scene {
    QTemporaryDir folder;
    Settings settings;
    OverlayBoxes boxes;
    SteppingClock clock;
    SilentMessages messages;
    InterfaceTexts texts;
    std::unique_ptr<Overlays> overlays;
    QImage capture{kFrameWidth, kFrameHeight, QImage::Format_RGB32};

    Scene() {
        ensureApplication();
        QImage picture(640, 480, QImage::Format_RGB32);
        for (int i = 0; i < 50; ++i) {
            picture.fill(QColor(i * 5, 100, 200 - i * 4));
            picture.save(folder.filePath(QStringLiteral("rx%1.jpg").arg(i)), "JPG");
        }
        settings.program = MMSSTV;
        settings.epDir[MMSSTV] = folder.path() + u'/';
        settings.fTxtOn[MMSSTV] = 1;
        settings.transparent[MMSSTV] = 0;
        settings.scrollTexts[0] = QStringLiteral("CQ CQ de station, pictures every few minutes on 14.233 MHz ");
        boxes = placeBoxesAtStartup(settings);
        overlays = std::make_unique<Overlays>(settings, boxes, clock, messages, texts, folder.path());
        capture.fill(QColor(30, 60, 90));
    }
};

enum Parts : int { kClock = 1, kFixed = 2, kScroll = 4, kLastRx = 8, kAll = 15 };

void BM_Overlays(benchmark::State& state) {
    Scene scene;
    const int parts = static_cast<int>(state.range(0));
    QImage frame;
    for (auto _ : state) {
        frame = scene.capture;
        frame.detach();
        if (parts & kLastRx) {
            scene.overlays->drawLastReceived(frame);
        }
        if (parts & kScroll) {
            scene.overlays->drawScrollingText(frame, 1);
        }
        if (parts & kFixed) {
            scene.overlays->drawFixedText(frame);
        }
        if (parts & kClock) {
            scene.overlays->drawClock(frame);
        }
        benchmark::DoNotOptimize(frame.constBits());
    }
}
// 0 is the frame copy alone, the baseline the others add to.
BENCHMARK(BM_Overlays)->ArgName("parts")->Arg(0)->Arg(kClock)->Arg(kFixed)->Arg(kScroll)->Arg(kLastRx)->Arg(kAll)
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace oculet
