#pragma once

// The small conversions every layer shares: stored colours, the frame size, twips and rounding
// as the stored values were always converted.

#include <QColor>

#include <cmath>
#include <cstdint>

namespace oculet {

// Colours are kept as the stored 32-bit value laid out 0x00BBGGRR (red in the low byte).
using Colour = std::uint32_t;

inline QColor toQColor(Colour value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

inline Colour toColour(const QColor& colour) {
    return static_cast<Colour>(colour.red()) | static_cast<Colour>(colour.green()) << 8 |
           static_cast<Colour>(colour.blue()) << 16;
}

// The frame every picture is composed on, in pixels.
inline constexpr int kFrameWidth = 320;
inline constexpr int kFrameHeight = 240;

// Window positions are stored in twips; the screen has 15 to a pixel.
inline constexpr double kTwipsPerPixel = 15.0;

// Nearest whole number with halves to the even one, as stored fractional values are converted.
inline int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value)); // the default rounding mode is to-even
}

} // namespace oculet
