#pragma once

// How the overlays turn stored font and colour settings into what QPainter draws with.

#include "settings/Settings.h"

#include <QColor>
#include <QFont>

namespace oculet {

// Font sizes are stored in points as on a 96-dpi screen; the frame is drawn in pixels, so the
// size becomes a pixel size and the result does not depend on the display's resolution.
int pixelSizeForPoints(int points);

QFont overlayFont(const FontSetting& setting);

} // namespace oculet
