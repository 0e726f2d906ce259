#include "platform/Stretch.h"
#include "tests/platform/PixelCheck.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace oculet {
namespace {

using test::allPixels;
using test::Fills;
using test::painted;

constexpr QRgb kBlack = qRgb(0, 0, 0), kWhite = qRgb(255, 255, 255), kRed = qRgb(255, 0, 0),
               kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255), kFlat = qRgb(17, 200, 99),
               kGrey = qRgb(8, 8, 8);

Fills quadrants(int w, int h) {
    return {{{0, 0, w, h}, kRed}, {{w, 0, w, h}, kGreen}, {{0, h, w, h}, kBlue}, {{w, h, w, h}, kWhite}};
}

TEST(Stretch, EachFramePixelIsTheAverageOfTheSourceAreaItCovers) {
    struct Case { const char* name; QImage from; QSize to; Fills expected; int tolerance; };
    const Case cases[] = {
        {"a pair averages", painted({2, 1}, {{{1, 0, 1, 1}, kWhite}}), {1, 1}, {{{0, 0, 1, 1}, qRgb(128, 128, 128)}}, 1},
        // The middle source pixel is shared half and half: (0 + 45) / 1.5 and (45 + 240) / 1.5.
        {"three onto two", painted({3, 1}, {{{1, 0, 1, 1}, qRgb(90, 90, 90)}, {{2, 0, 1, 1}, qRgb(240, 240, 240)}}), {2, 1},
         {{{0, 0, 1, 1}, qRgb(30, 30, 30)}, {{1, 0, 1, 1}, qRgb(190, 190, 190)}}, 1},
        // A flat colour comes out exactly as it went in, whatever the source format.
        {"flat RGB888", painted({4, 4}, {}, kFlat, QImage::Format_RGB888), {8, 8}, {{{0, 0, 8, 8}, kFlat}}, 0},
    };
    for (const Case& c : cases) {
        const QImage out = stretched(c.from, c.to);
        ASSERT_EQ(out.size(), c.to) << c.name;
        EXPECT_EQ(out.format(), QImage::Format_RGB32) << c.name;
        for (const auto& [rect, rgb] : c.expected) {
            EXPECT_TRUE(allPixels(out, rect, rgb, c.tolerance)) << c.name;
        }
    }
    EXPECT_TRUE(stretched(QImage(), {4, 4}).isNull());
}

// Noise in every channel, so a weight or a lane mixed up anywhere shows.
QImage noise(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(12345);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, 0xff000000u | random.bounded(0x1000000u));
        }
    }
    return image;
}

// The exact area average of `area` (source coordinates; beyond the image is black), per channel.
QRgb exactAverage(const QImage& src, const QRectF& area) {
    double sum[3] = {};
    for (int y = int(std::floor(area.top())); y < int(std::ceil(area.bottom())); ++y) {
        const double wy = std::min(area.bottom(), y + 1.0) - std::max(area.top(), double(y));
        for (int x = int(std::floor(area.left())); x < int(std::ceil(area.right())) && y >= 0 && y < src.height(); ++x) {
            const double w = wy * (std::min(area.right(), x + 1.0) - std::max(area.left(), double(x)));
            const QRgb p = (x >= 0 && x < src.width()) ? src.pixel(x, y) : 0;
            sum[0] += w * qRed(p), sum[1] += w * qGreen(p), sum[2] += w * qBlue(p);
        }
    }
    const double a = area.width() * area.height();
    return qRgb(int(std::lround(sum[0] / a)), int(std::lround(sum[1] / a)), int(std::lround(sum[2] / a)));
}

std::uint64_t fnv1a(const QImage& image) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char byte : QByteArrayView(image.constBits(), image.sizeInBytes())) {
        h = (h ^ std::uint8_t(byte)) * 1099511628211ull;
    }
    return h;
}

// Against the exact average within one level, and against the pictures this scaling gave before
// it was made faster (their checksums), so a change of rounding cannot slip in unnoticed.
TEST(Stretch, NoisePicturesComeOutAsTheExactAverageWithinOneLevel) {
    struct Case { QSize from; QRect fromRect; QSize canvas; QRect to; std::uint64_t checksum; };
    const Case cases[] = {
        {{400, 300}, {}, {320, 240}, {0, 0, 320, 240}, 3503123139425266668ull},      // down
        {{123, 77}, {}, {320, 240}, {0, 0, 320, 240}, 7650888874918166052ull},       // up
        {{640, 240}, {}, {320, 240}, {0, 0, 320, 240}, 338046039065837368ull},      // squeezed across, kept down
        {{7, 500}, {}, {320, 240}, {0, 0, 320, 240}, 8843851367782372823ull},        // up across, down the other way
        {{1, 1}, {}, {5, 7}, {0, 0, 5, 7}, 17458739016058436953ull},                  // a single pixel
        {{300, 1}, {}, {7, 3}, {0, 0, 7, 3}, 2241952435374041779ull},                // one-pixel edges
        {{1, 50}, {}, {3, 240}, {0, 0, 3, 240}, 1821890017285843118ull},
        {{320, 240}, {}, {1, 1}, {0, 0, 1, 1}, 1556933989946523475ull},
        {{100, 100}, {50, -10, 100, 50}, {60, 60}, {-5, -5, 50, 40}, 14092106096456666336ull}, // beyond both edges
    };
    for (const Case& c : cases) {
        const QImage src = noise(c.from);
        const QRect area = c.fromRect.isEmpty() ? src.rect() : c.fromRect;
        QImage out = painted(c.canvas, {});
        ASSERT_TRUE(stretchInto(out, c.to, src, c.fromRect));
        const double sx = double(area.width()) / c.to.width(), sy = double(area.height()) / c.to.height();
        int worst = 0;
        for (int y = 0; y < c.canvas.height(); ++y) {
            for (int x = 0; x < c.canvas.width(); ++x) {
                const int dx = x - c.to.left(), dy = y - c.to.top();
                const QRgb want = c.to.contains(x, y)
                                      ? exactAverage(src, {area.left() + dx * sx, area.top() + dy * sy, sx, sy})
                                      : 0;
                const QRgb got = out.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(got) - qRed(want)), std::abs(qGreen(got) - qGreen(want)),
                                  std::abs(qBlue(got) - qBlue(want))});
            }
        }
        EXPECT_LE(worst, 1) << c.from.width() << "x" << c.from.height();
        EXPECT_EQ(fnv1a(out), c.checksum) << c.from.width() << "x" << c.from.height();
    }
}

TEST(Stretch, IntoWritesOnlyTheVisiblePartAndReadsBlackBeyondTheSource) {
    const QImage source = painted({100, 100}, quadrants(50, 50));
    QImage full = painted({200, 200}, {}, kGrey), canvas = painted({60, 60}, {}, kGrey);
    ASSERT_TRUE(stretchInto(full, {20, 30, 50, 40}, source));
    ASSERT_TRUE(stretchInto(canvas, {-5, -5, 50, 40}, source)); // over the top-left corner
    EXPECT_EQ(canvas.copy(0, 0, 45, 35), full.copy(25, 35, 45, 35));
    EXPECT_TRUE(allPixels(canvas, {45, 0, 15, 60}, kGrey) && allPixels(canvas, {0, 35, 60, 25}, kGrey));
    const QImage before = canvas;
    EXPECT_FALSE(stretchInto(canvas, {60, 60, 5, 5}, source));
    EXPECT_FALSE(stretchInto(canvas, {0, 0, 0, 5}, source));
    EXPECT_FALSE(stretchInto(canvas, {0, 0, 5, 5}, QImage()));
    EXPECT_EQ(canvas, before);

    // The right half of this source rectangle lies beyond the image; a 16-bit canvas is converted.
    QImage small = painted({20, 20}, {}, kGrey, QImage::Format_RGB16);
    ASSERT_TRUE(stretchInto(small, {0, 0, 20, 10}, source, {50, 0, 100, 50}));
    EXPECT_EQ(small.format(), QImage::Format_RGB32);
    EXPECT_TRUE(allPixels(small, {0, 0, 10, 10}, kGreen));
    EXPECT_TRUE(allPixels(small, {10, 0, 10, 10}, kBlack));
    EXPECT_TRUE(allPixels(small, {0, 10, 20, 10}, kGrey, 8));
}

} // namespace
} // namespace oculet
