// One pointer move while the s-meter box is dragged: the layout rules' step and the live preview
// drawn from the box's 200 × 150 screen source, stretched to the 125 × 50 box. Under an X display
// the source is read from the screen; without one from a stand-in desktop, so only the scaling
// and the rules are measured.
#include "bench/BenchApplication.h"
#include "platform/X11Desktop.h"
#include "ui/BoxHandles.h"
#include "ui/BoxLayoutEditor.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace oculet {
namespace {

class StandInDesktop final : public Desktop {
public:
    QRect virtualScreen() override { return {0, 0, 1920, 1080}; }
    std::vector<TopLevelWindow> topLevelWindows() override { return {}; }
    std::optional<QString> windowTitle(WindowId) override { return std::nullopt; }
    std::optional<QRect> windowRect(WindowId) override { return std::nullopt; }
    QImage grab(const QRect& rect) override {
        QImage image(rect.size(), QImage::Format_RGB32);
        image.fill(QColor(20, 120, 40));
        return image;
    }
    WindowId findWindowOfProcess(qint64) override { return 0; }
    void placeWindowOnTop(WindowId, const QRect&) override {}
    void askToClose(WindowId) override {}
};

void BM_DragPointerMoveWithPreview(benchmark::State& state) {
    ensureApplication();
    std::unique_ptr<Desktop> desktop;
    if (std::getenv("DISPLAY") != nullptr) {
        desktop = createX11Desktop(nullptr);
    }
    state.SetLabel(desktop ? "X11 screen" : "stand-in screen");
    if (!desktop) {
        desktop = std::make_unique<StandInDesktop>();
    }
    Settings settings;
    OverlayBoxes boxes;
    EditState edit;
    boxes[BoxId::SM].rect = QRect(40, 75, 125, 50);
    BoxLayoutEditor editor(settings, boxes, edit);
    BoxPreviewPainter painter(settings, *desktop, [] { return QImage(); });
    editor.press(BoxId::SM, kLeftButton, {10, 10});
    int step = 0;
    for (auto _ : state) {
        // Back and forth, so the box never settles against a clamp.
        const double dx = (step++ % 2 == 0) ? 3 : -3;
        const BoxStep moved = editor.move(BoxId::SM, kLeftButton, {10 + dx, 10});
        QImage preview = painter.paint(BoxId::SM, moved.handle.size().toSize());
        benchmark::DoNotOptimize(preview.constBits());
    }
}
BENCHMARK(BM_DragPointerMoveWithPreview)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace oculet
