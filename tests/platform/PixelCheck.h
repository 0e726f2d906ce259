#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace oculet::test {

using Fills = std::vector<std::pair<QRect, QRgb>>;

// A picture of the background colour with the rectangles painted over it in order.
inline QImage painted(QSize size, const Fills& fills, QRgb background = qRgb(0, 0, 0),
                      QImage::Format format = QImage::Format_RGB32) {
    QImage image(size, format);
    image.fill(QColor(background));
    QPainter painter(&image);
    for (const auto& [rect, rgb] : fills) {
        painter.fillRect(rect, QColor(rgb));
    }
    return image;
}

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
