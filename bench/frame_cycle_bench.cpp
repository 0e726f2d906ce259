// What one frame cycle costs on the real X11 desktop at the default layout with the signal meter
// and both AUX boxes on, following a stand-in EasyPal window; the same with every overlay and the
// JPEG as well; and the first one's parts: the capture's screen copy, the stretch onto the frame,
// the three copied boxes and the Cam_1.bmp write (data folder plus the copy beside the
// executable). overlays_bench measures the text and picture overlays on their own.
// Run under an X display (e.g. Xvfb :99 -screen 0 1920x1080x24 & DISPLAY=:99); without DISPLAY
// only the stretch and the bitmap write are measured.
#include "bench/BenchApplication.h"
#include "compose/CopiedBoxes.h"
#include "compose/FrameCycle.h"
#include "compose/FramePublisher.h"
#include "compose/Overlays.h"
#include "settings/InterfaceTexts.h"
#include "publish/ImageCompare.h"
#include "publish/JpegWriter.h"
#include "platform/AtomicFile.h"
#include "platform/Messages.h"
#include "platform/Stretch.h"
#include "platform/X11Desktop.h"
#include "source/SourcePrograms.h"
#include "source/SourceWindow.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <array>
#include <vector>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace oculet {
namespace {

class NullView final : public FrameCycleView {
public:
    void showFrame(const QImage&) override {}
    void showBoxes(const OverlayBoxes&) override {}
    void showSourceMissing(bool) override {}
    void hideDragPreview() override {}
    void requestShutdown() override {}
};

// Without an EasyPal window the first cycle warns once; Yes keeps the cycles going.
class AnswerYes final : public Messages {
public:
    void show(Kind, const QString&, const QString&, std::function<void(bool)> answered) override {
        if (answered) {
            answered(true);
        }
    }
    void closeAll() override {}
};

Settings defaultLayoutWithBoxes() {
    Settings s;
    for (PerProgram<CopiedRegion>& region : s.copiedRegions) {
        for (CopiedRegion& program : region) {
            program.on = true;
        }
    }
    return s;
}

std::unique_ptr<X11Desktop> openDesktop(benchmark::State& state) {
    QString error;
    auto desktop = X11Desktop::open(&error);
    if (!desktop) {
        state.SkipWithError(error.toStdString().c_str());
    }
    return desktop;
}

QImage noiseImage(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, 0xff000000u | random.bounded(0x1000000u));
        }
    }
    return image;
}

class WallClock final : public Clock {
public:
    QDateTime utcNow() const override { return QDateTime::currentDateTimeUtc(); }
    QDateTime localNow() const override { return QDateTime::currentDateTime(); }
    double steadySeconds() const override { return now += 0.25; } // one frame's step
    mutable double now = 0;
};

// A stand-in for the radio program: a plain window with EasyPal's title, on a connection of its
// own, for the cycle to follow as it follows the real one.
class StandInWindow {
public:
    StandInWindow(const QRect& rect, const char* title) : c_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(c_) != 0) {
            return;
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        const xcb_window_t window = xcb_generate_id(c_);
        const std::uint32_t background = 0x406080;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window, screen->root, std::int16_t(rect.x()), std::int16_t(rect.y()),
                          std::uint16_t(rect.width()), std::uint16_t(rect.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_BACK_PIXEL, &background);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            std::uint32_t(std::strlen(title)), title);
        xcb_map_window(c_, window);
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); // mapped before we go on
    }
    ~StandInWindow() { xcb_disconnect(c_); }
    StandInWindow(const StandInWindow&) = delete;
    StandInWindow& operator=(const StandInWindow&) = delete;

private:
    xcb_connection_t* c_;
};

// What the FTP publisher does on the cycle's thread: compare with the frame last sent, write
// temp.jpg. The upload itself runs on its own thread and is measured by publish_bench.
class JpegOnlyPublisher final : public FramePublisher {
public:
    explicit JpegOnlyPublisher(QString folder) : folder_(std::move(folder)) {}
    bool canPublish() const override { return true; }
    void publishFrame(const QImage& frame) override {
        if (!imagesEqual(frame, sent_)) {
            saveFrameAsJpeg(frame, folder_);
            sent_ = frame;
        }
    }

private:
    QString folder_;
    QImage sent_;
};

// One frame cycle on the real screen. With `everything`: the last received picture, scrolling
// and fixed text, the clock, and the JPEG as well; the clock and the scrolling text change every
// frame, so every frame is encoded. Without: capture, the copied boxes, the progress strip and
// Cam_1.bmp in both folders.
void benchCycle(benchmark::State& state, bool everything) {
    ensureApplication();
    auto desktop = openDesktop(state);
    if (!desktop) {
        return;
    }
    const StandInWindow easyPal({100, 100, 800, 600}, "EasyPal - Digital SSTV");
    QTemporaryDir data;
    QTemporaryDir program;
    QTemporaryDir received;
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(QColor(40, 120, 200));
    picture.save(received.filePath(QStringLiteral("rx.jpg")), "JPG");
    Settings settings = defaultLayoutWithBoxes();
    settings.epDir[EasyPal] = received.path() + u'/';
    settings.fTxtOn[EasyPal] = 1;
    settings.transparent[EasyPal] = 0;
    settings.scrollTexts[0] = QStringLiteral("CQ CQ de station, pictures every few minutes on 14.233 MHz ");
    OverlayBoxes boxes = placeBoxesAtStartup(settings);
    EditState edit;
    SourceWindow source(*desktop);
    source.setFragment(titleFragmentFor(settings.program, sourceMenuCaption(settings.program)));
    NullView view;
    AnswerYes messages;
    WallClock clock;
    InterfaceTexts texts;
    Overlays overlays(settings, boxes, clock, messages, texts, received.path());
    JpegOnlyPublisher publisher(data.path());
    FrameCycle cycle(settings, boxes, edit, *desktop, source, messages, view, FrameFiles{data.path(), program.path()});
    if (everything) {
        cycle.setOverlays(&overlays);
        cycle.setPublisher(&publisher);
    }
    cycle.run([] {}); // the warning, when there is one, is not part of a cycle's cost
    for (auto _ : state) {
        cycle.run([] {});
        benchmark::DoNotOptimize(cycle.pic1().constBits());
    }
    // Without the program's window every cycle would also search the window list.
    state.SetLabel(source.missing() ? "no EasyPal window, stored position" : "following the EasyPal window");
}

void BM_FrameCycle(benchmark::State& state) { benchCycle(state, false); }
void BM_WholeCycle(benchmark::State& state) { benchCycle(state, true); }

void BM_CycleCapture(benchmark::State& state) {
    auto desktop = openDesktop(state);
    if (!desktop) {
        return;
    }
    const Settings s = defaultLayoutWithBoxes();
    const QRect rect = regionOnScreen(s, RegionTarget::Capture, {});
    for (auto _ : state) {
        QImage grabbed = desktop->grab(rect);
        benchmark::DoNotOptimize(grabbed.constBits());
    }
    state.SetLabel(desktop->usesSharedMemory() ? "MIT-SHM" : "GetImage");
}

void BM_CycleStretch(benchmark::State& state) {
    const Settings s = defaultLayoutWithBoxes();
    const QImage grabbed = noiseImage({s.current(s.captureWidth), s.current(s.captureHeight)});
    QImage frame(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        stretchInto(frame, frame.rect(), grabbed);
        benchmark::DoNotOptimize(frame.constBits());
    }
}

// The three copied boxes as the cycle draws them: copy, stretch onto the box, outline.
void BM_CycleBoxes(benchmark::State& state) {
    auto desktop = openDesktop(state);
    if (!desktop) {
        return;
    }
    const Settings s = defaultLayoutWithBoxes();
    struct Box {
        QRect source;
        QRect place;
    };
    std::vector<Box> boxes;
    for (const CopiedBox& box : kCopiedBoxes) {
        boxes.push_back({box.source(s), box.place(s)});
    }
    QImage frame(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    frame.fill(Qt::black);
    for (auto _ : state) {
        for (const Box& box : boxes) {
            const QImage grabbed = desktop->grab(box.source);
            stretchInto(frame, box.place, grabbed);
            QPainter painter(&frame);
            painter.setPen(Qt::black);
            painter.drawRect(box.place.adjusted(-1, -1, 1, 1));
        }
        benchmark::DoNotOptimize(frame.constBits());
    }
}

// Encoding the frame as a 24-bit bitmap and replacing Cam_1.bmp in both folders.
void BM_CycleBitmapWrite(benchmark::State& state) {
    QTemporaryDir data;
    QTemporaryDir program;
    const QImage frame = noiseImage({kFrameWidth, kFrameHeight});
    FrequentFile dataFile(data.filePath(FrameCycle::camBitmapName()));
    FrequentFile programFile(program.filePath(FrameCycle::camBitmapName()));
    QByteArray bytes;
    for (auto _ : state) {
        FrameCycle::packBitmap(frame, bytes);
        if (dataFile.replace(bytes) != 0 || programFile.replace(bytes) != 0) {
            state.SkipWithError("Cam_1.bmp could not be written");
            break;
        }
    }
}

// Screen copies need a display; without one they are left out rather than reported as failures.
const bool displayBenchmarksRegistered = [] {
    if (std::getenv("DISPLAY") == nullptr) {
        return false;
    }
    benchmark::RegisterBenchmark("BM_FrameCycle", BM_FrameCycle)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_WholeCycle", BM_WholeCycle)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_CycleCapture", BM_CycleCapture)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_CycleBoxes", BM_CycleBoxes)->Unit(benchmark::kMicrosecond);
    return true;
}();

BENCHMARK(BM_CycleStretch)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CycleBitmapWrite)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace oculet
