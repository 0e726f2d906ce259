// The two steps of every frame's main capture: copying 400 × 300 screen pixels and scaling
// them onto the 320 × 240 frame. Run under an X display (e.g. Xvfb :99 & DISPLAY=:99); without
// DISPLAY only the scaling is measured.
#include "platform/Stretch.h"
#include "platform/X11Desktop.h"

#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void grabBench(benchmark::State& state, bool sharedMemory) {
    QString error;
    auto desktop = oculet::X11Desktop::open(&error, oculet::X11Desktop::Options{sharedMemory});
    if (!desktop) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    const QRect rect(100, 80, 400, 300);
    for (auto _ : state) {
        QImage image = desktop->grab(rect);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(desktop->usesSharedMemory() ? "MIT-SHM" : "GetImage");
}

void BM_Grab400x300(benchmark::State& state) { grabBench(state, true); }
void BM_Grab400x300Plain(benchmark::State& state) { grabBench(state, false); }

void BM_Stretch400x300To320x240(benchmark::State& state) {
    QImage source(400, 300, QImage::Format_RGB32);
    QRandomGenerator random(1);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            source.setPixel(x, y, 0xff000000u | random.bounded(0x1000000u));
        }
    }
    QImage frame(320, 240, QImage::Format_RGB32);
    for (auto _ : state) {
        oculet::stretchInto(frame, frame.rect(), source);
        benchmark::DoNotOptimize(frame.constBits());
    }
}

// Grabs need a display; without one they are left out rather than reported as failures.
const bool grabsRegistered = [] {
    if (std::getenv("DISPLAY") == nullptr) {
        return false;
    }
    benchmark::RegisterBenchmark("BM_Grab400x300", BM_Grab400x300)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_Grab400x300Plain", BM_Grab400x300Plain)->Unit(benchmark::kMicrosecond);
    return true;
}();

} // namespace

BENCHMARK(BM_Stretch400x300To320x240)->Unit(benchmark::kMicrosecond);
