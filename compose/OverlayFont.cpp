#include "compose/OverlayFont.h"

#include <algorithm>

namespace oculet {

int pixelSizeForPoints(int points) { return std::max(1, qRound(points * 96.0 / 72.0)); }

QFont overlayFont(const FontSetting& setting) {
    QFont font(setting.name);
    font.setBold(setting.bold);
    font.setItalic(setting.italic);
    font.setUnderline(setting.underline);
    font.setPixelSize(pixelSizeForPoints(setting.size));
    return font;
}

} // namespace oculet
