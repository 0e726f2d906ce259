#pragma once

// Draws a text into a box at the largest whole font size at which the word-wrapped text fits,
// left, centred, right or justified, with an optional drop shadow. The routine knows nothing of
// what the box is for; it works on the small drawing-surface interface below.

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QString>

namespace oculet {

// What text fitting needs of a place to draw on. Units are the surface's own.
class TextSurface {
public:
    virtual ~TextSurface() = default;
    virtual double innerWidth() const = 0;
    virtual double innerHeight() const = 0;
    virtual void setFontSize(int points) = 0;
    virtual int fontSize() const = 0;
    virtual double textWidth(const QString& text) const = 0;
    virtual double textHeight(const QString& text) const = 0;
    virtual QPointF position() const = 0;
    virtual void setPosition(QPointF position) = 0;
    virtual QColor drawingColour() const = 0;
    virtual void setDrawingColour(const QColor& colour) = 0;
    // Draws the text with its top left at the current position, then moves the position to the
    // start of the next line (x = 0, one text height lower).
    virtual void print(const QString& text) = 0;
};

enum TextAlignment : int { AlignLeft = 0, AlignCentred = 1, AlignRight = 2, AlignJustified = 3 };

// Shadow positions are 3 × row + column on a 3 × 3 grid around the text; the centre means none.
inline constexpr int kNoShadow = 4;

// Fits and draws `text` (CR, LF or CR LF break lines) with its first line at `top`. Returns
// false when no size from 6 points down to 1 lets the text fit, when the surface has no room,
// or when a measurement fails; nothing more is drawn then. `shadowPosition` is 4 on return.
// The surface keeps the final font size and its drawing colour.
bool fitText(TextSurface& surface, const QString& text, int alignment, int top, int& shadowPosition,
             const QColor& shadowColour);

// A TextSurface on a QImage: sizes are points at 96 dpi, drawn as pixel sizes.
class PainterTextSurface final : public TextSurface {
public:
    PainterTextSurface(QImage& image, const QFont& font, const QColor& colour);

    double innerWidth() const override { return width_; }
    double innerHeight() const override { return height_; }
    void setFontSize(int points) override;
    int fontSize() const override { return points_; }
    double textWidth(const QString& text) const override;
    double textHeight(const QString& text) const override;
    QPointF position() const override { return position_; }
    void setPosition(QPointF position) override { position_ = position; }
    QColor drawingColour() const override { return colour_; }
    void setDrawingColour(const QColor& colour) override { colour_ = colour; }
    void print(const QString& text) override;

private:
    void applyFont();

    QPainter painter_;
    QFont font_;
    QFontMetricsF metrics_;
    int points_ = 0;
    double width_;
    double height_;
    QPointF position_;
    QColor colour_;
};

} // namespace oculet
