// What the compose tests share: pixel checks.
#pragma once

#include <QImage>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>

namespace oculet::test {

// How many pixels of the area (clipped to the image) pass the test.
inline int countPixels(const QImage& image, const QRect& area, const std::function<bool(QColor)>& test) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += test(QColor(image.pixel(x, y))) ? 1 : 0;
        }
    }
    return n;
}

inline int litPixels(const QImage& image, const QRect& area) {
    return countPixels(image, area, [](QColor c) { return c != QColor(Qt::black); });
}

// Every pixel of the area has the colour.
inline bool areaIs(const QImage& image, const QRect& area, const QColor& colour) {
    return countPixels(image, area, [&colour](QColor c) { return c == colour; }) == area.width() * area.height();
}

} // namespace oculet::test
