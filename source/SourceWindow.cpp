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
            if (!window->shown) {
                // Minimised: warned about as a missing window, and taken up again as soon as
                // it is restored.
                edges_ = edgesFromStoredCapture(settings);
                missing_ = true;
                return;
            }
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

QRect SourceWindow::captureRect(const Settings& s) const { return captureOnScreen(s, edges_, screenMode()); }

bool SourceWindow::fromContent(const QRect& screenRect) const {
    if (screenMode() || missing_ || handle_ == 0 || screenRect.isEmpty()) {
        return false;
    }
    const QRect window(edges_.left, edges_.top, edges_.right - edges_.left, edges_.bottom - edges_.top);
    return window.contains(screenRect);
}

QRect SourceWindow::progressStripRect(const Settings& s) const {
    return regionOnScreen(s, RegionTarget::ProgressStrip, edges_);
}

} // namespace oculet
