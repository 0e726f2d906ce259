#include "platform/Stretch.h"

#include <QPainter>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cstdlib>

namespace oculet {
namespace {

QImage solid(QSize size, QRgb colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Four flat quadrants: red, green / blue, white.
QImage quadrants(QSize size) {
    QImage image = solid(size, qRgb(0, 0, 0));
    QPainter p(&image);
    const int w = size.width() / 2;
    const int h = size.height() / 2;
    p.fillRect(0, 0, w, h, QColor(255, 0, 0));
    p.fillRect(w, 0, size.width() - w, h, QColor(0, 255, 0));
    p.fillRect(0, h, w, size.height() - h, QColor(0, 0, 255));
    p.fillRect(w, h, size.width() - w, size.height() - h, QColor(255, 255, 255));
    return image;
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Every pixel of rect in image equals colour exactly.
::testing::AssertionResult allPixels(const QImage& image, const QRect& rect, QRgb colour) {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) != (colour & 0xffffff)) {
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << std::hex << image.pixel(x, y) << ", expected "
                       << colour;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(Stretch, CaptureOfFourHundredByThreeHundredFillsTheFrameQuadrantByQuadrant) {
    const QImage frame = stretched(quadrants({400, 300}), {320, 240});
    ASSERT_EQ(frame.size(), QSize(320, 240));
    ASSERT_EQ(frame.format(), QImage::Format_RGB32);
    // 200 source pixels map onto exactly 160 frame pixels, so the seams stay sharp.
    EXPECT_TRUE(allPixels(frame, {0, 0, 160, 120}, qRgb(255, 0, 0)));
    EXPECT_TRUE(allPixels(frame, {160, 0, 160, 120}, qRgb(0, 255, 0)));
    EXPECT_TRUE(allPixels(frame, {0, 120, 160, 120}, qRgb(0, 0, 255)));
    EXPECT_TRUE(allPixels(frame, {160, 120, 160, 120}, qRgb(255, 255, 255)));
}

TEST(Stretch, AveragesTheCoveredSourceArea) {
    QImage pair = solid({2, 1}, qRgb(0, 0, 0));
    pair.setPixel(1, 0, qRgb(255, 255, 255));
    const QImage one = stretched(pair, {1, 1});
    EXPECT_TRUE(near(one.pixel(0, 0), qRgb(128, 128, 128), 1)) << std::hex << one.pixel(0, 0);

    // Three source pixels onto two: the middle one is shared half and half.
    QImage three = solid({3, 1}, qRgb(0, 0, 0));
    three.setPixel(1, 0, qRgb(90, 90, 90));
    three.setPixel(2, 0, qRgb(240, 240, 240));
    const QImage two = stretched(three, {2, 1});
    EXPECT_TRUE(near(two.pixel(0, 0), qRgb(30, 30, 30), 1)) << std::hex << two.pixel(0, 0);   // (0 + 45) / 1.5
    EXPECT_TRUE(near(two.pixel(1, 0), qRgb(190, 190, 190), 1)) << std::hex << two.pixel(1, 0); // (45 + 240) / 1.5

    // A one-pixel line shrunk by 0.8 stays visible as a softer line instead of vanishing.
    QImage lines = solid({400, 300}, qRgb(0, 0, 0));
    for (int y = 0; y < 300; ++y) {
        lines.setPixel(202, y, qRgb(255, 255, 255));
    }
    const QImage small = stretched(lines, {320, 240});
    int brightest = 0;
    for (int x = 0; x < 320; ++x) {
        brightest = std::max(brightest, qRed(small.pixel(x, 100)));
    }
    EXPECT_GE(brightest, 100);
}

TEST(Stretch, WideCaptureIsSqueezedHorizontallyOnly) {
    // Four vertical bands of 160 and a horizontal white line at row 100.
    QImage wide = solid({640, 240}, qRgb(0, 0, 0));
    QPainter p(&wide);
    p.fillRect(0, 0, 160, 240, QColor(255, 0, 0));
    p.fillRect(160, 0, 160, 240, QColor(0, 255, 0));
    p.fillRect(320, 0, 160, 240, QColor(0, 0, 255));
    p.fillRect(0, 100, 640, 1, QColor(255, 255, 255));
    p.end();
    const QImage frame = stretched(wide, {320, 240});
    EXPECT_TRUE(allPixels(frame, {0, 0, 80, 100}, qRgb(255, 0, 0)));
    EXPECT_TRUE(allPixels(frame, {80, 0, 80, 100}, qRgb(0, 255, 0)));
    EXPECT_TRUE(allPixels(frame, {160, 0, 80, 100}, qRgb(0, 0, 255)));
    EXPECT_TRUE(allPixels(frame, {240, 0, 80, 100}, qRgb(0, 0, 0)));
    EXPECT_TRUE(allPixels(frame, {0, 100, 320, 1}, qRgb(255, 255, 255)));
    EXPECT_TRUE(allPixels(frame, {0, 101, 80, 139}, qRgb(255, 0, 0)));
}

TEST(Stretch, FlatColourSurvivesAnyScaleExactly) {
    struct Case {
        QSize from;
        QSize to;
    };
    const Case cases[] = {{{400, 300}, {320, 240}}, {{123, 77}, {320, 240}}, {{1, 1}, {5, 7}},
                          {{1000, 3}, {7, 240}},    {{333, 333}, {320, 240}}, {{2, 2}, {320, 240}}};
    for (const Case& c : cases) {
        const QImage out = stretched(solid(c.from, qRgb(17, 200, 99)), c.to);
        ASSERT_EQ(out.size(), c.to);
        EXPECT_TRUE(allPixels(out, out.rect(), qRgb(17, 200, 99)))
            << c.from.width() << "x" << c.from.height() << " -> " << c.to.width() << "x" << c.to.height();
    }
}

TEST(Stretch, SameSizeIsAnExactCopyAndEnlargingRepeatsPixels) {
    QImage noise(320, 240, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < noise.height(); ++y) {
        for (int x = 0; x < noise.width(); ++x) {
            noise.setPixel(x, y, 0xff000000u | random.bounded(0x1000000u));
        }
    }
    EXPECT_EQ(stretched(noise, noise.size()), noise);

    // Whole-number enlargement: each source pixel becomes a block, no blur.
    QImage pair = solid({2, 1}, qRgb(0, 0, 0));
    pair.setPixel(1, 0, qRgb(255, 255, 255));
    const QImage four = stretched(pair, {4, 1});
    EXPECT_EQ(four.pixel(0, 0) & 0xffffff, 0x000000u);
    EXPECT_EQ(four.pixel(1, 0) & 0xffffff, 0x000000u);
    EXPECT_EQ(four.pixel(2, 0) & 0xffffff, 0xffffffu);
    EXPECT_EQ(four.pixel(3, 0) & 0xffffff, 0xffffffu);
}

TEST(Stretch, WritesOnlyTheVisiblePartOfTheDestinationRectangle) {
    const QImage source = quadrants({100, 100});
    QImage full = solid({200, 200}, qRgb(9, 9, 9));
    ASSERT_TRUE(stretchInto(full, {20, 30, 50, 40}, source));

    // The same target rectangle hanging over the top-left corner of a smaller canvas: the part
    // that lands is the same as in the full drawing, nothing outside the rectangle changes.
    QImage canvas = solid({60, 60}, qRgb(9, 9, 9));
    ASSERT_TRUE(stretchInto(canvas, {-5, -5, 50, 40}, source));
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            const bool inside = x < 45 && y < 35;
            const QRgb expected = inside ? full.pixel(x + 25, y + 35) : qRgb(9, 9, 9);
            ASSERT_EQ(canvas.pixel(x, y), expected) << x << "," << y;
        }
    }

    QImage untouched = solid({10, 10}, qRgb(1, 2, 3));
    EXPECT_FALSE(stretchInto(untouched, {20, 20, 5, 5}, source));
    EXPECT_FALSE(stretchInto(untouched, {0, 0, 0, 5}, source));
    EXPECT_FALSE(stretchInto(untouched, {0, 0, 5, 5}, QImage()));
    EXPECT_TRUE(allPixels(untouched, untouched.rect(), qRgb(1, 2, 3)));
}

TEST(Stretch, SourceRectangleSelectsAndAreaBeyondTheSourceIsBlack) {
    const QImage source = quadrants({100, 100});
    QImage canvas = solid({20, 20}, qRgb(9, 9, 9));
    ASSERT_TRUE(stretchInto(canvas, {0, 0, 10, 10}, source, {50, 50, 50, 50}));
    EXPECT_TRUE(allPixels(canvas, {0, 0, 10, 10}, qRgb(255, 255, 255)));
    EXPECT_TRUE(allPixels(canvas, {10, 0, 10, 20}, qRgb(9, 9, 9)));

    // The right half of this source rectangle lies beyond the image.
    ASSERT_TRUE(stretchInto(canvas, {0, 0, 20, 10}, source, {50, 0, 100, 50}));
    EXPECT_TRUE(allPixels(canvas, {0, 0, 10, 10}, qRgb(0, 255, 0)));
    EXPECT_TRUE(allPixels(canvas, {10, 0, 10, 10}, qRgb(0, 0, 0)));
}

TEST(Stretch, OtherFormatsAreConvertedNotMisread) {
    QImage source(4, 4, QImage::Format_RGB888);
    source.fill(QColor(10, 20, 30));
    QImage canvas(8, 8, QImage::Format_RGB16);
    canvas.fill(Qt::black);
    ASSERT_TRUE(stretchInto(canvas, canvas.rect(), source));
    EXPECT_EQ(canvas.format(), QImage::Format_RGB32);
    EXPECT_TRUE(allPixels(canvas, canvas.rect(), qRgb(10, 20, 30)));
}

} // namespace
} // namespace oculet
