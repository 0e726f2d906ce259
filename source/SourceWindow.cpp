#include "source/SourceWindow.h"

#include "source/SourcePrograms.h"

namespace oculet {
namespace {

WindowEdges edgesOf(const QRect& rect) {
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

} // namespace

void SourceWindow::setFragment(const QString& fragment) {
    fragment_ = fragment;
    handle_ = screenMode() ? 0 : findWindowByTitle(desktop_, fragment_);
}

bool SourceWindow::screenMode() const { return isScreenMode(fragment_); }

WindowEdges SourceWindow::edgesFromStoredCapture(const Settings& s) {
    WindowEdges e;
    e.left = s.current(s.captureLeft) - s.current(s.captureOffX);
    e.top = s.current(s.captureTop) - s.current(s.captureOffY);
    // Without a window there is no real right and bottom edge; the capture's own edges keep the
    // progress strip's source next to the captured picture.
    e.right = s.current(s.captureLeft) + s.current(s.captureWidth);
    e.bottom = s.current(s.captureTop) + s.current(s.captureHeight);
    return e;
}

void SourceWindow::check(const Settings& settings) {
    if (screenMode()) {
        // The screen region needs no window: nothing is searched and nothing is missing.
        edges_ = edgesFromStoredCapture(settings);
        missing_ = false;
        return;
    }
    if (handle_ != 0) {
        const std::optional<TopLevelWindow> window = desktop_.window(handle_);
        if (window && titleMatches(window->title, fragment_)) {
            edges_ = edgesOf(window->rect);
            missing_ = false;
            return;
        }
    }
    handle_ = findWindowByTitle(desktop_, fragment_);
    edges_ = edgesFromStoredCapture(settings);
    missing_ = true;
}

void SourceWindow::searchForRedraw(const Settings& settings) {
    edges_ = edgesFromStoredCapture(settings);
    handle_ = screenMode() ? 0 : findWindowByTitle(desktop_, fragment_);
    if (handle_ != 0) {
        if (const std::optional<QRect> rect = desktop_.windowRect(handle_)) {
            edges_ = edgesOf(*rect);
        }
    }
}

QRect SourceWindow::captureRect(const Settings& s) const {
    if (screenMode()) {
        return {s.current(s.captureLeft), s.current(s.captureTop), s.current(s.captureWidth),
                s.current(s.captureHeight)};
    }
    return {edges_.left + s.current(s.captureOffX), edges_.top + s.current(s.captureOffY),
            s.current(s.captureWidth), s.current(s.captureHeight)};
}

QRect SourceWindow::progressStripRect(const Settings& s) const {
    return {edges_.left + s.barX, edges_.bottom - s.barY, s.barWt, s.barHt};
}

} // namespace oculet
