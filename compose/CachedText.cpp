#include "compose/CachedText.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QTransform>

namespace oculet {

void CachedText::prepare(const QString& text, const QFont& font) {
    if (valid_ && text == text_ && font == font_) {
        return;
    }
    prepared_.setText(text);
    prepared_.setTextFormat(Qt::PlainText);
    prepared_.prepare(QTransform(), font);
    text_ = text;
    font_ = font;
    ascent_ = QFontMetricsF(font).ascent();
    advance_ = QFontMetrics(font).horizontalAdvance(text);
    valid_ = true;
}

int CachedText::advance(const QString& text, const QFont& font) {
    prepare(text, font);
    return advance_;
}

void CachedText::draw(QPainter& painter, QPointF baseline, const QString& text, const QFont& font) {
    if (font.underline() || font.strikeOut()) {
        painter.drawText(baseline, text);
        return;
    }
    prepare(text, font);
    // A prepared line is placed by its top-left corner.
    painter.drawStaticText(QPointF(baseline.x(), baseline.y() - ascent_), prepared_);
}

void CachedText::drawFromTop(QPainter& painter, QPointF topLeft, const QString& text, const QFont& font) {
    prepare(text, font);
    if (font.underline() || font.strikeOut()) {
        painter.drawText(QPointF(topLeft.x(), topLeft.y() + ascent_), text);
        return;
    }
    painter.drawStaticText(topLeft, prepared_);
}

} // namespace oculet
