#pragma once

#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <cstdlib>

namespace oculet::test {

// Whether every pixel of rect (image coordinates) is within `tolerance` of rgb in each channel.
inline ::testing::AssertionResult allPixels(const QImage& image, const QRect& rect, QRgb rgb, int tolerance = 0) {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(rgb)) > tolerance || std::abs(qGreen(p) - qGreen(rgb)) > tolerance ||
                std::abs(qBlue(p) - qBlue(rgb)) > tolerance) {
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << (p & 0xffffff) << ", expected " << (rgb & 0xffffff);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace oculet::test
