#pragma once

// The clock box: UTC time with a "z", local time, or both on two lines.

#include "settings/Settings.h"
#include "compose/CachedText.h"

#include <QDateTime>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

namespace oculet {

// "hh:mm:ss", 24-hour, as both clocks show it.
QString clockTimeText(const QDateTime& time);

struct ClockFace {
    bool utcOn = false;
    bool localOn = false;
    QString utcTime;   // "hh:mm:ss", without the "z"
    QString localTime; // "hh:mm:ss"
};

// Draws the clock with its top left at `topLeft` (transparent background) and returns the size
// its box takes: as wide as the time text without the "z" (so the "z" may stick out) and one
// text line high, or two when both clocks are on.
// With `lines`, kept from frame to frame, each line is shaped only when it changes.
struct ClockLines {
    CachedText first;
    CachedText second;
    CachedText utcWidth; // the box's width: the UTC time without its "z"
};
QSize drawClock(QImage& frame, QPoint topLeft, const ClockFace& face, const FontSetting& font, Colour colour,
                ClockLines* lines = nullptr);

} // namespace oculet
