#include "compose/TextFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace oculet {
namespace {

// Every character is 10 units wide and a line is as high as the font size, whatever the size,
// so where lines break depends only on the box width and the size only on the box height. The
// box has a margin of 4 on each side.
class FixedMetricSurface final : public TextSurface {
public:
    struct Printed {
        QString text;
        QPointF at;
        QColor colour;
        bool operator==(const Printed&) const = default;
    };
    std::vector<Printed> printed;
    int smallestRequested = 1000;

    FixedMetricSurface(double width, double height) : width_(width), height_(height) {}
    double innerWidth() const override { return width_; }
    double innerHeight() const override { return height_; }
    void setFontSize(int points) override { smallestRequested = std::min(smallestRequested, size_ = points); }
    int fontSize() const override { return size_; }
    double textWidth(const QString& text) const override { return 10.0 * text.size(); }
    double textHeight(const QString&) const override { return size_; }
    QPointF position() const override { return position_; }
    void setPosition(QPointF position) override { position_ = position; }
    QColor drawingColour() const override { return colour_; }
    void setDrawingColour(const QColor& colour) override { colour_ = colour; }
    void print(const QString& text) override {
        printed.push_back({text, position_, colour_});
        position_ = QPointF(0, position_.y() + size_);
    }
    std::vector<QString> lines() const {
        std::vector<QString> out;
        for (const Printed& p : printed) {
            out.push_back(p.text);
        }
        return out;
    }

private:
    double width_, height_;
    int size_ = 8;
    QPointF position_;
    QColor colour_ = Qt::black;
};

bool fit(FixedMetricSurface& s, const QString& text, int alignment = AlignLeft, int top = 0) {
    int shadow = kNoShadow;
    return fitText(s, text, alignment, top, shadow, Qt::red);
}

using Lines = std::vector<QString>;

TEST(TextFit, WrapsAtSpacesHyphensAndHardBreaksAndCutsLongWordsAtTheLargestSizeThatFits) {
    // Text, box width and height, lines, and the font size (0: not at stake). 48 wide: three
    // characters a line (30 < 40, 40 is not).
    const std::tuple<QString, double, double, Lines, int> cases[] = {
        {QStringLiteral("abcdefghijkl"), 48, 48, {"abc", "def", "ghi", "jkl"}, 10}, // four lines in 40
        {QStringLiteral("ab-cd"), 48, 208, {"ab-", "cd"}, 0},      // up to the hyphen fits: break after it
        {QStringLiteral("a b-cd"), 48, 208, {"a", "b-c", "d"}, 0}, // it does not: the part moves on with it
        {QStringLiteral("ab cd ef"), 48, 208, {"ab", "cd", "ef"}, 0},
        {QStringLiteral("ab cd"), 48, 208, {"ab", "cd"}, 0}, // overflow at the end keeps the carried word
        // The ten characters (CR and LF measured like any other) are 2.5 box widths; with the two
        // breaks the estimate is 4.5 × size < 100, so 22 is the largest size tried.
        {QStringLiteral("ab\r\ncd\r\nef"), 48, 108, {"ab", "cd", "ef"}, 22},
        // A lone CR or LF breaks too; a final break leaves an empty line that counts in the fit.
        {QStringLiteral("ab\rcd\n"), 1008, 108, {"ab", "cd", ""}, 33},
        {QStringLiteral("a"), 1008, 1008, {"a"}, 72}, // room for more: the largest size there is
    };
    for (const auto& [text, width, height, lines, size] : cases) {
        SCOPED_TRACE(text.toStdString());
        FixedMetricSurface s(width, height);
        ASSERT_TRUE(fit(s, text));
        EXPECT_EQ(s.lines(), lines);
        EXPECT_TRUE(size == 0 || s.fontSize() == size) << s.fontSize();
        for (std::size_t i = 0; i < s.printed.size(); ++i) {
            EXPECT_EQ(s.printed[i].at, QPointF(4, double(s.fontSize()) * double(i))) << i;
        }
    }
}

TEST(TextFit, ShadowIsOffsetByTheSizeAndDrawnUnderTheTextAndAlignmentPlacesEachLine) {
    using P = FixedMetricSurface::Printed;
    // Box height, shadow position and colour, alignment, top, and what is printed. At size 20 the
    // shadow is 2 right and 2 down; at size 6, top left of the grid, one unit up and left. A shadow
    // in the text's own colour is one pass at the offset. Centred text starts 13 below the given
    // top; an unknown alignment draws nothing, yet fits.
    const std::tuple<int, int, QColor, int, int, std::vector<P>> cases[] = {
        {28, 8, Qt::red, AlignLeft, 5, {{"ab", {6, 7}, Qt::red}, {"ab", {4, 5}, Qt::black}}},
        {14, 0, Qt::red, AlignLeft, 5, {{"ab", {3, 4}, Qt::red}, {"ab", {4, 5}, Qt::black}}},
        {28, 8, Qt::black, AlignLeft, 5, {{"ab", {6, 7}, Qt::black}}},
        {208, kNoShadow, Qt::red, AlignCentred, -9, {{"ab", {14, 4}, Qt::black}}},
        {208, kNoShadow, Qt::red, AlignRight, 0, {{"ab", {24, 0}, Qt::black}}},
        {208, kNoShadow, Qt::red, 7, 0, {}},
    };
    for (const auto& [height, position, colour, alignment, top, prints] : cases) {
        FixedMetricSurface s(48, height);
        int shadow = position;
        ASSERT_TRUE(fitText(s, QStringLiteral("ab"), alignment, top, shadow, colour));
        EXPECT_EQ(s.printed, prints) << position << " " << alignment;
        EXPECT_EQ(std::tuple(shadow, s.drawingColour()), std::tuple(kNoShadow, QColor(Qt::black)));
    }
}

TEST(TextFit, JustifiedLinesFillTheWidthButTheLastLineDoesNot) {
    // 100 usable units: "aa bb cc" one character at a time, the 20 free units going to its two
    // spaces; the paragraph's last line printed whole at the left.
    FixedMetricSurface s(108, 48);
    ASSERT_TRUE(fit(s, QStringLiteral("aa bb cc dd ee"), AlignJustified));
    std::vector<std::pair<QString, double>> printed;
    for (const auto& p : s.printed) {
        if (!p.text.isEmpty()) {
            printed.emplace_back(p.text, p.at.x());
        }
    }
    EXPECT_EQ(printed, (std::vector<std::pair<QString, double>>{
                           {"a", 4}, {"a", 14}, {" ", 24}, {"b", 44}, {"b", 54}, {" ", 64}, {"c", 84}, {"c", 94}, {"dd ee", 4}}));
    EXPECT_GT(s.printed.back().at.y(), s.printed.front().at.y());

    // Without spaces the free units go between the characters of a cut word; a line of one
    // character has nothing to spread between and is printed as it is.
    FixedMetricSurface word(48, 208);
    ASSERT_TRUE(fit(word, QStringLiteral("abcd"), AlignJustified));
    ASSERT_GE(word.printed.size(), 3u);
    EXPECT_DOUBLE_EQ(word.printed[1].at.x(), 19);
    EXPECT_DOUBLE_EQ(word.printed[2].at.x(), 34);
    FixedMetricSurface narrow(20, 208);
    ASSERT_TRUE(fit(narrow, QStringLiteral("ab"), AlignJustified));
    EXPECT_EQ(narrow.lines(), (Lines{"a", "b"}));
}

TEST(TextFit, FailsWhenNothingFits) {
    // Forty line feeds (not counted by the estimate) make 41 lines, more than 30 units hold even
    // at size 1: the fit gives up at size 1 and draws nothing. A box with no usable width or
    // height, or one where even size 6 estimates too high, fails at once.
    FixedMetricSurface tall(1008, 38), tiny(8, 100), flat(100, 7), crowded(48, 12);
    EXPECT_FALSE(fit(tall, QStringLiteral("a\n").repeated(40)));
    EXPECT_EQ(tall.smallestRequested, 1);
    EXPECT_FALSE(fit(tiny, QStringLiteral("a")) || fit(flat, QStringLiteral("a")));
    EXPECT_FALSE(fit(crowded, QStringLiteral("abcdefghijklmnopqrstuvwxyz")));
    EXPECT_TRUE(tall.printed.empty() && crowded.printed.empty());
}

} // namespace
} // namespace oculet
