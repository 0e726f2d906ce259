#include "compose/FixedTextOverlay.h"

#include "compose/OverlayFont.h"
#include "compose/TextFile.h"

#include <QFontMetrics>
#include <QPainter>

namespace oculet {

QString fixedTextToShow(const Settings& settings) {
    return overlayText(settings.textFile2InUse(), settings.file2, settings.fixedTexts, settings.fixedIndex);
}

std::optional<QRect> drawFixedText(QImage& frame, QPoint topLeft, const QString& text, const FontSetting& fontSetting,
                                   Colour textColour, Colour backgroundColour, bool transparent,
                                   CachedText* cached) {
    if (text.isEmpty()) {
        return std::nullopt;
    }
    const QFont font = overlayFont(fontSetting);
    const QFontMetrics metrics(font);
    const int width = cached != nullptr ? cached->advance(text, font) : metrics.horizontalAdvance(text);
    const QRect box(topLeft, QSize(width, metrics.height()));
    QPainter painter(&frame);
    if (!transparent) {
        painter.fillRect(box, toQColor(backgroundColour));
    }
    painter.setFont(font);
    painter.setPen(toQColor(textColour));
    const QPoint baseline(box.left(), box.top() + metrics.ascent());
    if (cached != nullptr) {
        cached->draw(painter, baseline, text, font);
    } else {
        painter.drawText(baseline, text);
    }
    return box;
}

} // namespace oculet
