#include "tests/support/FakeDesktop.h"

#include <QPainter>

#include <algorithm>

namespace oculet::test {

FakeDesktop::FakeDesktop(const QRect& virtualScreen)
    : virtualScreen_(virtualScreen), screen_(virtualScreen.size(), QImage::Format_RGB32) {
    screen_.fill(Qt::black);
}

void FakeDesktop::fill(const QRect& screenRect, const QColor& colour) {
    QPainter painter(&screen_);
    painter.fillRect(screenRect.translated(-virtualScreen_.topLeft()), colour);
    painted_.push_back(screenRect);
}

bool FakeDesktop::unchangedSinceLastAsked(WindowId window, const std::vector<QRect>& screenSpots) {
    const std::optional<QRect> windowPlace = windowRect(window);
    // A window that is not there cannot be watched: nothing is known to be unchanged.
    bool changed = window != watched_ || (window != 0 && (contentChanged_ || !windowPlace));
    for (const QRect& painted : painted_) {
        changed = changed || (windowPlace && windowPlace->intersects(painted));
        changed = changed || std::any_of(screenSpots.begin(), screenSpots.end(),
                                         [&](const QRect& spot) { return spot.intersects(painted); });
    }
    watched_ = window;
    contentChanged_ = false;
    painted_.clear();
    return !changed;
}

WindowId FakeDesktop::addWindow(const QString& title, const QRect& rect, bool onTop) {
    const TopLevelWindow window{nextId_++, title, rect};
    if (onTop) {
        windows_.insert(windows_.begin(), window);
    } else {
        windows_.push_back(window);
    }
    return window.id;
}

std::vector<TopLevelWindow>::iterator FakeDesktop::find(WindowId id) {
    return std::find_if(windows_.begin(), windows_.end(), [id](const TopLevelWindow& w) { return w.id == id; });
}

void FakeDesktop::removeWindow(WindowId id) {
    if (auto it = find(id); it != windows_.end()) {
        windows_.erase(it);
    }
}

void FakeDesktop::moveWindow(WindowId id, const QRect& rect) {
    if (auto it = find(id); it != windows_.end()) {
        it->rect = rect;
    }
}

void FakeDesktop::retitleWindow(WindowId id, const QString& title) {
    if (auto it = find(id); it != windows_.end()) {
        it->title = title;
    }
}

void FakeDesktop::showWindow(WindowId id, bool shown) {
    if (auto it = find(id); it != windows_.end()) {
        it->shown = shown;
    }
}

void FakeDesktop::clearRecord() {
    listCount_ = 0;
    grabs_.clear();
    contentReads_.clear();
}

bool FakeDesktop::windowContentOnto(WindowId id, const QRect& screenRect, QImage& dst, const QRect& dstRect) {
    const auto it = find(id);
    const auto content = contents_.find(id);
    if (!readsContent_ || it == windows_.end() || !it->shown || !it->rect.contains(screenRect) ||
        (content != contents_.end() && !content->second.isValid())) {
        return false;
    }
    contentReads_.push_back(screenRect);
    QPainter painter(&dst);
    if (content != contents_.end()) {
        painter.fillRect(dstRect, content->second);
    } else {
        painter.drawImage(dstRect, grab(screenRect));
        grabs_.pop_back();
    }
    return true;
}

std::vector<TopLevelWindow> FakeDesktop::topLevelWindows() {
    ++listCount_;
    return windows_;
}

std::optional<QString> FakeDesktop::windowTitle(WindowId id) {
    if (auto it = find(id); it != windows_.end()) {
        return it->title;
    }
    return std::nullopt;
}

std::optional<QRect> FakeDesktop::windowRect(WindowId id) {
    if (auto it = find(id); it != windows_.end()) {
        return it->rect;
    }
    return std::nullopt;
}

std::optional<TopLevelWindow> FakeDesktop::window(WindowId id) {
    if (auto it = find(id); it != windows_.end()) {
        return *it;
    }
    return std::nullopt;
}

QImage FakeDesktop::grab(const QRect& screenRect) {
    grabs_.push_back(screenRect);
    if (broken_ || !screenRect.isValid() || screenRect.isEmpty()) {
        return {};
    }
    QImage image(screenRect.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    const QRect visible = screenRect & virtualScreen_;
    if (!visible.isEmpty()) {
        QPainter painter(&image);
        painter.drawImage(visible.topLeft() - screenRect.topLeft(), screen_,
                          visible.translated(-virtualScreen_.topLeft()));
    }
    return image;
}

WindowId FakeDesktop::findWindowOfProcess(qint64 pid) {
    for (const TopLevelWindow& w : windows_) {
        if (auto it = pids_.find(w.id); it != pids_.end() && it->second == pid && pid > 0) {
            return w.id;
        }
    }
    return 0;
}

void FakeDesktop::placeWindowOnTop(WindowId id, const QRect& rect) {
    if (auto it = find(id); it != windows_.end()) {
        TopLevelWindow moved = *it;
        moved.rect = rect;
        windows_.erase(it);
        windows_.insert(windows_.begin(), moved);
    }
}

} // namespace oculet::test
