#include "compose/FixedTextOverlay.h"

#include "compose/OverlayFont.h"
#include "compose/TextFile.h"

#include <QFontMetrics>
#include <QPainter>

namespace oculet {

QString fixedTextToShow(const Settings& settings) {
    if (settings.ckFile2 == 0) {
        const int index = settings.fixedIndex;
        return index >= 0 && index < static_cast<int>(settings.fixedTexts.size()) ? settings.fixedTexts[index]
                                                                                  : QString();
    }
    const std::optional<QString> field = readFirstField(settings.file2);
    return field ? QStringLiteral(" ") + *field + QStringLiteral(" ") : QString();
}

std::optional<QRect> drawFixedText(QImage& frame, QPoint topLeft, const QString& text, const FontSetting& fontSetting,
                                   Colour textColour, Colour backgroundColour, bool transparent) {
    if (text.isEmpty()) {
        return std::nullopt;
    }
    const QFont font = overlayFont(fontSetting);
    const QFontMetrics metrics(font);
    const QRect box(topLeft, QSize(metrics.horizontalAdvance(text), metrics.height()));
    QPainter painter(&frame);
    if (!transparent) {
        painter.fillRect(box, toQColor(backgroundColour));
    }
    painter.setFont(font);
    painter.setPen(toQColor(textColour));
    painter.drawText(QPoint(box.left(), box.top() + metrics.ascent()), text);
    return box;
}

} // namespace oculet
