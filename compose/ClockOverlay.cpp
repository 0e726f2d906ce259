#include "compose/ClockOverlay.h"

#include "compose/OverlayFont.h"

#include <QFontMetrics>
#include <QPainter>

#include <array>

namespace oculet {

QString clockTimeText(const QDateTime& time) {
    // Built by hand: QDateTime::toString reads its format anew on every call, four times a second.
    const QTime t = time.time();
    const auto twoDigits = [](int n) { return std::array{QChar(u'0' + n / 10), QChar(u'0' + n % 10)}; };
    const auto h = twoDigits(t.hour()), m = twoDigits(t.minute()), s = twoDigits(t.second());
    const QChar text[] = {h[0], h[1], u':', m[0], m[1], u':', s[0], s[1]};
    return QString(text, 8);
}

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
    const int width = lines != nullptr ? lines->utcWidth.advance(face.utcTime, font) : metrics.horizontalAdvance(face.utcTime);
    return {width, count * lineHeight};
}

} // namespace oculet
