#include "platform/Desktop.h"

#include "platform/Stretch.h"

#include <algorithm>

namespace oculet {

bool titleMatches(const QString& title, const QString& fragment) {
    return !fragment.isEmpty() && title.contains(fragment, Qt::CaseSensitive);
}

std::optional<TopLevelWindow> Desktop::window(WindowId id) {
    std::optional<QString> title = windowTitle(id);
    const std::optional<QRect> rect = title ? windowRect(id) : std::nullopt;
    if (!rect) {
        return std::nullopt;
    }
    return TopLevelWindow{id, std::move(*title), *rect};
}

bool Desktop::grabOnto(const QRect& screenRect, QImage& dst, const QRect& dstRect) {
    const QImage grabbed = grab(screenRect);
    return !grabbed.isNull() && stretchInto(dst, dstRect, grabbed);
}

WindowId findWindowByTitle(Desktop& desktop, const QString& fragment) {
    if (fragment.isEmpty()) {
        return 0;
    }
    for (const TopLevelWindow& window : desktop.topLevelWindows()) {
        if (window.id == 0 || window.title.isEmpty()) {
            continue;
        }
        qsizetype length = std::min<qsizetype>(window.title.size(), kTitleSearchLength);
        // Do not leave half a surrogate pair at the cut.
        if (length < window.title.size() && length > 0 && window.title.at(length - 1).isHighSurrogate()) {
            --length;
        }
        if (titleMatches(window.title.left(length), fragment)) {
            return window.id;
        }
    }
    return 0;
}

} // namespace oculet
