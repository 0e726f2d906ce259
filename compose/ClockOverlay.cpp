#include "compose/ClockOverlay.h"

#include "compose/OverlayFont.h"

#include <QFontMetrics>
#include <QPainter>

namespace oculet {

QString clockTimeText(const QDateTime& time) { return time.toString(QStringLiteral("HH:mm:ss")); }

QSize drawClock(QImage& frame, QPoint topLeft, const ClockFace& face, const FontSetting& fontSetting,
                Colour colour) {
    const QFont font = overlayFont(fontSetting);
    const QFontMetrics metrics(font);
    const int lineHeight = metrics.height();
    QPainter painter(&frame);
    painter.setFont(font);
    painter.setPen(toQColor(colour));
    const QString utc = face.utcTime + QStringLiteral("z");
    int lines = 1;
    if (face.utcOn && face.localOn) {
        painter.drawText(QPoint(topLeft.x(), topLeft.y() + metrics.ascent()), utc);
        painter.drawText(QPoint(topLeft.x(), topLeft.y() + lineHeight + metrics.ascent()), face.localTime);
        lines = 2;
    } else if (face.utcOn) {
        painter.drawText(QPoint(topLeft.x(), topLeft.y() + metrics.ascent()), utc);
    } else if (face.localOn) {
        painter.drawText(QPoint(topLeft.x(), topLeft.y() + metrics.ascent()), face.localTime);
    }
    return {metrics.horizontalAdvance(face.utcTime), lines * lineHeight};
}

} // namespace oculet
