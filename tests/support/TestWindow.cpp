#include "tests/support/TestWindow.h"

#include <QRegularExpression>

namespace oculet::test {

TestWindow::TestWindow() : m_process(QStringLiteral(OCULET_TEST_WINDOW)) {}

bool TestWindow::start(const QString& title, const QRect& geometry, const QStringList& fill) {
    const QString place = QStringLiteral("%1x%2%3%4%5%6")
                              .arg(geometry.width())
                              .arg(geometry.height())
                              .arg(geometry.x() < 0 ? QString() : QStringLiteral("+"))
                              .arg(geometry.x())
                              .arg(geometry.y() < 0 ? QString() : QStringLiteral("+"))
                              .arg(geometry.y());
    m_id = 0;
    m_commandsSent = 0;
    return m_process.start(
        QStringList{QStringLiteral("--title"), title, QStringLiteral("--geometry"), place} + fill);
}

bool TestWindow::waitReady(int timeout_ms) {
    if (!m_process.waitForOutput("ready ", timeout_ms)) {
        return false;
    }
    // The line may still be arriving.
    static const QRegularExpression ready(QStringLiteral("^ready (\\d+)$"),
                                          QRegularExpression::MultilineOption);
    QRegularExpressionMatch match;
    pollUntil(timeout_ms, [&] {
        match = ready.match(QString::fromUtf8(m_process.standardOutput()));
        return match.hasMatch();
    });
    if (!match.hasMatch()) {
        return false;
    }
    m_id = match.captured(1).toUInt();
    // "ready" is printed by the program's own connection; wait until ours sees it mapped too.
    return pollUntil(timeout_ms, [&] {
        const auto w = describe();
        return w && w->mapped;
    });
}

bool TestWindow::command(const QString& line, int timeout_ms) {
    if (!m_process.writeLine(line.toUtf8())) {
        return false;
    }
    // Every command is answered by one "ok ..." or "error ..." line, in order.
    const qsizetype wanted = ++m_commandsSent;
    QList<QByteArray> replies;
    pollUntil(timeout_ms, [&] {
        replies.clear();
        for (const QByteArray& out : m_process.standardOutput().split('\n')) {
            if (out.startsWith("ok ") || out.startsWith("error ")) {
                replies.append(out);
            }
        }
        return replies.size() >= wanted;
    });
    return replies.size() >= wanted && replies[wanted - 1].startsWith("ok ");
}

bool TestWindow::move(int x, int y, int timeout_ms) {
    if (!command(QStringLiteral("move %1 %2").arg(x).arg(y), timeout_ms)) {
        return false;
    }
    return pollUntil(timeout_ms, [&] {
        const auto w = describe();
        return w && w->geometry.topLeft() == QPoint(x, y);
    });
}

bool TestWindow::retitle(const QString& title, int timeout_ms) {
    if (!command(QStringLiteral("title %1").arg(title), timeout_ms)) {
        return false;
    }
    return pollUntil(timeout_ms, [&] {
        const auto w = describe();
        return w && w->title == title;
    });
}

bool TestWindow::recolour(const QColor& colour, int timeout_ms) {
    return command(QStringLiteral("colour %1").arg(colour.name()), timeout_ms);
}

bool TestWindow::raise(int timeout_ms) {
    return command(QStringLiteral("raise"), timeout_ms);
}

bool TestWindow::quit(int timeout_ms) {
    m_process.writeLine("quit");
    const auto code = m_process.waitForExit(timeout_ms);
    return code && *code == 0;
}

} // namespace oculet::test
