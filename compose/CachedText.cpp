#include "compose/CachedText.h"

#include <QFontMetricsF>
#include <QTransform>

namespace oculet {

void CachedText::draw(QPainter& painter, QPointF baseline, const QString& text, const QFont& font) {
    if (font.underline() || font.strikeOut()) {
        painter.drawText(baseline, text);
        return;
    }
    if (!valid_ || text != text_ || font != font_) {
        prepared_.setText(text);
        prepared_.setTextFormat(Qt::PlainText);
        prepared_.prepare(QTransform(), font);
        text_ = text;
        font_ = font;
        ascent_ = QFontMetricsF(font).ascent();
        valid_ = true;
    }
    // A prepared line is placed by its top-left corner.
    painter.drawStaticText(QPointF(baseline.x(), baseline.y() - ascent_), prepared_);
}

} // namespace oculet
