#include "compose/CachedText.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QTransform>

namespace oculet {

void CachedText::follow(const QString& text, const QFont& font) {
    if (text == text_ && font == font_) {
        return;
    }
    text_ = text;
    font_ = font;
    prepared_ = false;
    measured_ = false;
}

void CachedText::prepare(const QString& text, const QFont& font) {
    follow(text, font);
    if (prepared_) {
        return;
    }
    // Laying out the line is most of the cost, so a text only measured is never laid out, and
    // the other way round.
    line_.setText(text);
    line_.setTextFormat(Qt::PlainText);
    line_.prepare(QTransform(), font);
    ascent_ = QFontMetricsF(font).ascent();
    prepared_ = true;
}

int CachedText::advance(const QString& text, const QFont& font) {
    follow(text, font);
    if (!measured_) {
        advance_ = QFontMetrics(font).horizontalAdvance(text);
        measured_ = true;
    }
    return advance_;
}

void CachedText::draw(QPainter& painter, QPointF baseline, const QString& text, const QFont& font) {
    if (font.underline() || font.strikeOut()) {
        painter.drawText(baseline, text);
        return;
    }
    prepare(text, font);
    // A prepared line is placed by its top-left corner.
    painter.drawStaticText(QPointF(baseline.x(), baseline.y() - ascent_), line_);
}

void CachedText::drawFromTop(QPainter& painter, QPointF topLeft, const QString& text, const QFont& font) {
    prepare(text, font);
    if (font.underline() || font.strikeOut()) {
        painter.drawText(QPointF(topLeft.x(), topLeft.y() + ascent_), text);
        return;
    }
    painter.drawStaticText(topLeft, line_);
}

} // namespace oculet
