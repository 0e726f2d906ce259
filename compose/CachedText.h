#pragma once

#include <QFont>
#include <QPainter>
#include <QStaticText>
#include <QString>

namespace oculet {

// One line of plain text drawn at a baseline exactly as QPainter::drawText draws it, but shaped
// only when the text or the font changes rather than on every frame: the scrolling text, the
// clock and the fixed text are redrawn four times a second and mostly stay the same. Underlined
// and struck-out text is drawn as before, as a prepared line places those strokes differently.
class CachedText {
public:
    // The painter's font must be `font`.
    void draw(QPainter& painter, QPointF baseline, const QString& text, const QFont& font);
    // The same with the line's top-left corner given, as QPainter::drawText(rect, Qt::AlignTop) places it.
    void drawFromTop(QPainter& painter, QPointF topLeft, const QString& text, const QFont& font);
    // QFontMetrics::horizontalAdvance(text), measured once per text and font.
    int advance(const QString& text, const QFont& font);

private:
    void follow(const QString& text, const QFont& font);
    void prepare(const QString& text, const QFont& font);

    QString text_;
    QFont font_;
    QStaticText line_;
    qreal ascent_ = 0;
    bool prepared_ = false;
    int advance_ = 0;
    bool measured_ = false;
};

} // namespace oculet
