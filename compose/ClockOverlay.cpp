#include "compose/ClockOverlay.h"

#include "compose/OverlayFont.h"

#include <QFontMetrics>
#include <QPainter>

namespace oculet {

QString clockTimeText(const QDateTime& time) { return time.toString(QStringLiteral("HH:mm:ss")); }

QSize drawClock(QImage& frame, QPoint topLeft, const ClockFace& face, const FontSetting& fontSetting,
                Colour colour, ClockLines* lines) {
    const QFont font = overlayFont(fontSetting);
    const QFontMetrics metrics(font);
    const int lineHeight = metrics.height();
    QPainter painter(&frame);
    painter.setFont(font);
    painter.setPen(toQColor(colour));
    const auto line = [&](CachedText* cached, int top, const QString& text) {
        const QPoint baseline(topLeft.x(), top + metrics.ascent());
        if (cached != nullptr) {
            cached->draw(painter, baseline, text, font);
        } else {
            painter.drawText(baseline, text);
        }
    };
    const QString utc = face.utcTime + QStringLiteral("z");
    int count = 1;
    if (face.utcOn && face.localOn) {
        line(lines != nullptr ? &lines->first : nullptr, topLeft.y(), utc);
        line(lines != nullptr ? &lines->second : nullptr, topLeft.y() + lineHeight, face.localTime);
        count = 2;
    } else if (face.utcOn) {
        line(lines != nullptr ? &lines->first : nullptr, topLeft.y(), utc);
    } else if (face.localOn) {
        line(lines != nullptr ? &lines->first : nullptr, topLeft.y(), face.localTime);
    }
    return {metrics.horizontalAdvance(face.utcTime), count * lineHeight};
}

} // namespace oculet
