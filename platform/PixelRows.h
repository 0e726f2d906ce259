#pragma once

#include <QRgb>

namespace oculet {

// One row of 32-bit pixels as 24-bit blue, green, red bytes, the row layout of a 24-bit bitmap.
// Writes exactly 3 × width bytes.
void packBgr24Row(uchar* out, const QRgb* in, int width);

} // namespace oculet
