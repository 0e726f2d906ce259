#pragma once

#include "platform/MessageBoxes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QThread>

#include <functional>

namespace oculet::test {

// Lets the GUI thread's events run until `condition` holds or `timeoutMs` passes.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// Records the message boxes instead of showing them.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    void inform(const QString& text) override { shown << text; }
    void warn(const QString& text) override { shown << text; }
    bool askYesNo(const QString& text) override {
        shown << text;
        return true;
    }
    QStringList shown;
};

// A frame with some structure, different for each `seed`.
inline QImage testFrame(int seed) {
    QImage frame(320, 240, QImage::Format_RGB32);
    frame.fill(QColor::fromHsv((seed * 47) % 360, 200, 220));
    QPainter painter(&frame);
    painter.fillRect(20 + seed % 100, 30, 80, 60, Qt::white);
    painter.drawText(10, 200, QStringLiteral("frame %1").arg(seed));
    return frame;
}

} // namespace oculet::test
