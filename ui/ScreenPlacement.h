#pragma once

#include <QRect>

namespace oculet {

// `rect` moved the least that puts it wholly on `screen` (the screen's room for windows); one
// larger than the screen keeps its top-left corner on it and is cut to its size.
QRect placeOnScreen(const QRect& rect, const QRect& screen);

// The room for windows on the screen that holds the middle of `rect` (a window of ours), or on
// the primary screen when none does.
QRect screenAreaOf(const QRect& rect);

} // namespace oculet
