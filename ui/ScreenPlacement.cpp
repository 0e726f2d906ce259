#include "ui/ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace oculet {

QRect placeOnScreen(const QRect& rect, const QRect& screen) {
    if (screen.isEmpty()) {
        return rect;
    }
    QRect placed(rect.topLeft(), rect.size().boundedTo(screen.size()));
    placed.moveLeft(std::clamp(placed.left(), screen.left(), screen.right() + 1 - placed.width()));
    placed.moveTop(std::clamp(placed.top(), screen.top(), screen.bottom() + 1 - placed.height()));
    return placed;
}

QRect screenAreaOf(const QRect& rect) {
    QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

} // namespace oculet
