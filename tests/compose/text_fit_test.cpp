#include "compose/TextFit.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace oculet {
namespace {

// Every character is 10 units wide and a line is as high as the font size, whatever the size,
// so where lines break depends only on the box width and the size only on the box height.
class FixedMetricSurface final : public TextSurface {
public:
    struct Printed {
        QString text;
        QPointF at;
        QColor colour;
        int size;
    };

    FixedMetricSurface(double width, double height) : width_(width), height_(height) {}

    double innerWidth() const override { return width_; }
    double innerHeight() const override { return height_; }
    void setFontSize(int points) override {
        size_ = points;
        smallestRequested = std::min(smallestRequested, points);
    }
    int fontSize() const override { return size_; }
    double textWidth(const QString& text) const override { return 10.0 * text.size(); }
    double textHeight(const QString&) const override { return size_; }
    QPointF position() const override { return position_; }
    void setPosition(QPointF position) override { position_ = position; }
    QColor drawingColour() const override { return colour_; }
    void setDrawingColour(const QColor& colour) override { colour_ = colour; }
    void print(const QString& text) override {
        printed.push_back({text, position_, colour_, size_});
        position_ = QPointF(0, position_.y() + size_);
    }

    // The printed strings of one colour, empty ones (line moves) left out.
    std::vector<QString> texts(const QColor& colour) const {
        std::vector<QString> out;
        for (const Printed& p : printed) {
            if (p.colour == colour && !p.text.isEmpty()) {
                out.push_back(p.text);
            }
        }
        return out;
    }

    std::vector<Printed> printed;
    int smallestRequested = 1000;

private:
    double width_;
    double height_;
    int size_ = 8;
    QPointF position_;
    QColor colour_ = Qt::black;
};

bool fit(FixedMetricSurface& s, const QString& text, int alignment = AlignLeft, int top = 0, int shadow = kNoShadow,
         const QColor& shadowColour = Qt::red) {
    return fitText(s, text, alignment, top, shadow, shadowColour);
}

using Lines = std::vector<QString>;

// Box 48 wide: 40 usable, so three characters fit on a line (30 < 40, 40 is not).
TEST(TextFit, WrapsAtSpacesHyphensAndCutsLongWords) {
    struct Case {
        const char* name;
        QString text;
        Lines lines;
    };
    const std::vector<Case> cases = {
        // A word wider than the box is cut where it stops fitting, without hyphens.
        {"long word", QStringLiteral("abcdefghijkl"), {"abc", "def", "ghi", "jkl"}},
        // The line up to and including the hyphen fits: the break comes after it.
        {"hyphen fits", QStringLiteral("ab-cd"), {"ab-", "cd"}},
        // It does not: the part before the hyphen moves on with the hyphen.
        {"hyphen does not fit", QStringLiteral("a b-cd"), {"a", "b-c", "d"}},
        {"spaces", QStringLiteral("ab cd ef"), {"ab", "cd", "ef"}},
        // The last character overflowing must not lose the carried word.
        {"overflow at the end", QStringLiteral("ab cd"), {"ab", "cd"}},
    };
    for (const Case& c : cases) {
        FixedMetricSurface s(48, 208);
        ASSERT_TRUE(fit(s, c.text)) << c.name;
        EXPECT_EQ(s.texts(Qt::black), c.lines) << c.name;
        for (const auto& p : s.printed) {
            EXPECT_DOUBLE_EQ(p.at.x(), 4) << c.name;
        }
    }
}

TEST(TextFit, SizeIsTheLargestAtWhichTheLinesFit) {
    // "abcdefghijkl" wraps to four lines; 4 × size must stay within 40 usable units.
    FixedMetricSurface s(48, 48);
    ASSERT_TRUE(fit(s, QStringLiteral("abcdefghijkl")));
    EXPECT_EQ(s.fontSize(), 10);
    ASSERT_EQ(s.printed.size(), 4u);
    EXPECT_DOUBLE_EQ(s.printed[3].at.y(), 30);
}

TEST(TextFit, HardBreaksMakeLinesAndCountInTheEstimate) {
    // Three short lines in a box 40 usable wide and 100 high. The ten characters (this surface
    // measures CR and LF like any other) are 2.5 box widths; with the two breaks the estimate
    // is 4.5 × size < 100, so 22 is the largest size tried. Without counting the breaks it
    // would have been 39, and three lines of 33 would have fitted.
    FixedMetricSurface s(48, 108);
    ASSERT_TRUE(fit(s, QStringLiteral("ab\r\ncd\r\nef")));
    EXPECT_EQ(s.texts(Qt::black), (Lines{"ab", "cd", "ef"}));
    EXPECT_EQ(s.fontSize(), 22);

    // Lone CR or LF break lines too; a text ending with a break leaves one more, empty line,
    // and it counts in the fit (three lines of 33 in 100).
    FixedMetricSurface lone(1008, 108);
    ASSERT_TRUE(fit(lone, QStringLiteral("ab\rcd\n")));
    ASSERT_EQ(lone.printed.size(), 3u);
    EXPECT_EQ(lone.printed[2].text, QString());
    EXPECT_EQ(lone.fontSize(), 33);
}

TEST(TextFit, ShadowIsOffsetByTheSizeAndDrawnUnderTheText) {
    // One line of two characters in 20 usable units high: final size 20.
    FixedMetricSurface s(48, 28);
    int shadow = 8;
    ASSERT_TRUE(fitText(s, QStringLiteral("ab"), AlignLeft, 5, shadow, Qt::red));
    EXPECT_EQ(shadow, kNoShadow);
    EXPECT_EQ(s.fontSize(), 20);
    ASSERT_EQ(s.printed.size(), 2u);
    EXPECT_EQ(s.printed[0].colour, QColor(Qt::red));
    EXPECT_EQ(s.printed[0].at, QPointF(6, 7)); // 2 right, 2 down
    EXPECT_EQ(s.printed[1].colour, QColor(Qt::black));
    EXPECT_EQ(s.printed[1].at, QPointF(4, 5));
    EXPECT_EQ(s.drawingColour(), QColor(Qt::black));

    // Top left of the grid, a small size: one unit up and left.
    FixedMetricSurface small(48, 14);
    shadow = 0;
    ASSERT_TRUE(fitText(small, QStringLiteral("ab"), AlignLeft, 5, shadow, Qt::red));
    EXPECT_EQ(small.fontSize(), 6);
    EXPECT_EQ(small.printed[0].at, QPointF(3, 4));
}

TEST(TextFit, ShadowInTheTextColourIsOnePassAtTheOffset) {
    FixedMetricSurface s(48, 28);
    int shadow = 8;
    ASSERT_TRUE(fitText(s, QStringLiteral("ab"), AlignLeft, 0, shadow, Qt::black));
    ASSERT_EQ(s.printed.size(), 1u);
    EXPECT_EQ(s.printed[0].at, QPointF(6, 2));
    EXPECT_EQ(shadow, kNoShadow);
}

TEST(TextFit, AlignmentPlacesEachLine) {
    FixedMetricSurface centred(48, 208);
    ASSERT_TRUE(fit(centred, QStringLiteral("ab"), AlignCentred, -9));
    ASSERT_EQ(centred.printed.size(), 1u);
    // Centred text starts 13 below the given top: -9 puts it at 4.
    EXPECT_EQ(centred.printed[0].at, QPointF((40 - 20) / 2.0 + 4, 4));

    FixedMetricSurface right(48, 208);
    ASSERT_TRUE(fit(right, QStringLiteral("ab"), AlignRight, 0));
    EXPECT_EQ(right.printed[0].at, QPointF(40 - 20 + 4, 0));

    FixedMetricSurface other(48, 208);
    EXPECT_TRUE(fit(other, QStringLiteral("ab"), 7, 0));
    EXPECT_TRUE(other.printed.empty());
}

TEST(TextFit, JustifiedLinesFillTheWidthButTheLastLineDoesNot) {
    // 100 usable units: nine characters a line.
    FixedMetricSurface s(108, 48);
    ASSERT_TRUE(fit(s, QStringLiteral("aa bb cc dd ee"), AlignJustified));
    std::vector<FixedMetricSurface::Printed> chars;
    for (const auto& p : s.printed) {
        if (!p.text.isEmpty()) {
            chars.push_back(p);
        }
    }
    // "aa bb cc" one character at a time, the 20 free units going to its two spaces.
    ASSERT_EQ(chars.size(), 9u);
    const std::vector<double> xs = {4, 14, 24, 44, 54, 64, 84, 94};
    for (std::size_t i = 0; i < xs.size(); ++i) {
        EXPECT_DOUBLE_EQ(chars[i].at.x(), xs[i]) << i;
    }
    EXPECT_DOUBLE_EQ(chars[7].at.x() + 10, 4 + 100); // ends at the right margin
    // The paragraph's last line is printed whole at the left.
    EXPECT_EQ(chars[8].text, QStringLiteral("dd ee"));
    EXPECT_DOUBLE_EQ(chars[8].at.x(), 4);
    EXPECT_GT(chars[8].at.y(), chars[0].at.y());
}

TEST(TextFit, JustifiedWithoutSpacesSpreadsCharactersAndKeepsSingleCharacters) {
    // 40 usable: "abc" is cut from a longer word, and its 10 free units go between characters.
    FixedMetricSurface s(48, 208);
    ASSERT_TRUE(fit(s, QStringLiteral("abcd"), AlignJustified));
    ASSERT_GE(s.printed.size(), 3u);
    EXPECT_DOUBLE_EQ(s.printed[0].at.x(), 4);
    EXPECT_DOUBLE_EQ(s.printed[1].at.x(), 19);
    EXPECT_DOUBLE_EQ(s.printed[2].at.x(), 34);

    // 12 usable: one character a line; a line of one character has nothing to spread between
    // and is printed as it is instead of failing.
    FixedMetricSurface narrow(20, 208);
    ASSERT_TRUE(fit(narrow, QStringLiteral("ab"), AlignJustified));
    EXPECT_EQ(narrow.texts(Qt::black), (Lines{"a", "b"}));
}

TEST(TextFit, FailsWhenNothingFits) {
    // Forty line feeds (not counted by the estimate) make 41 lines, more than 30 units hold
    // even at size 1: the fit gives up at size 1 and draws nothing.
    QString text;
    for (int i = 0; i < 40; ++i) {
        text += QStringLiteral("a\n");
    }
    FixedMetricSurface tall(1008, 38);
    EXPECT_FALSE(fit(tall, text));
    EXPECT_EQ(tall.smallestRequested, 1);
    EXPECT_TRUE(tall.printed.empty());

    FixedMetricSurface tiny(8, 100); // no usable width
    EXPECT_FALSE(fit(tiny, QStringLiteral("a")));
    FixedMetricSurface flat(100, 7);
    EXPECT_FALSE(fit(flat, QStringLiteral("a")));
    FixedMetricSurface crowded(48, 12); // even size 6 estimates too high
    EXPECT_FALSE(fit(crowded, QStringLiteral("abcdefghijklmnopqrstuvwxyz")));
    EXPECT_TRUE(crowded.printed.empty());
}

TEST(TextFit, PainterSurfaceDrawsTheTextAndItsShadow) {
    QImage image(120, 90, QImage::Format_RGB32);
    image.fill(QColor(80, 80, 80));
    {
        QFont font(QStringLiteral("Arial"));
        font.setBold(true);
        font.setPixelSize(10);
        PainterTextSurface surface(image, font, QColor(220, 220, 220));
        int shadow = 8;
        ASSERT_TRUE(fitText(surface, QStringLiteral("No picture"), AlignCentred, -9, shadow, Qt::black));
        EXPECT_GE(surface.fontSize(), 6);
        EXPECT_EQ(surface.drawingColour(), QColor(220, 220, 220));
    }
    int light = 0;
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int g = qGray(image.pixel(x, y));
            light += g > 200;
            dark += g < 20;
        }
    }
    EXPECT_GT(light, 20);
    EXPECT_GT(dark, 20);
}

} // namespace
} // namespace oculet
