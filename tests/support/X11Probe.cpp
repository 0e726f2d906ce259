#include "tests/support/X11Probe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace oculet::test {

bool pollUntil(int timeout_ms, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (done()) {
            return true;
        }
        if (clock.elapsed() >= timeout_ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(20);
    }
}

std::optional<QString> xdotool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QList<ShownWindow> shownWindows(const QStringList& search) {
    // One xdotool run: every window found is described by the chained command, as shell lines.
    // A name (the empty one matches any window) ends the search terms; without one the chain
    // would be taken for it.
    const auto out = xdotool(QStringList{"search", "--all", "--onlyvisible"} + search +
                             QStringList{"getwindowgeometry", "--shell", "%@"});
    QList<ShownWindow> windows;
    for (const QString& line : out.value_or(QString()).split(u'\n', Qt::SkipEmptyParts)) {
        const QString name = line.section(u'=', 0, 0);
        const int value = line.section(u'=', 1).toInt();
        if (name == QLatin1String("WINDOW")) {
            windows.append(ShownWindow{WindowId(value), {}});
        } else if (windows.isEmpty()) {
            continue;
        } else if (name == QLatin1String("X")) {
            windows.back().geometry.moveLeft(value);
        } else if (name == QLatin1String("Y")) {
            windows.back().geometry.moveTop(value);
        } else if (name == QLatin1String("WIDTH")) {
            windows.back().geometry.setWidth(value);
        } else if (name == QLatin1String("HEIGHT")) {
            windows.back().geometry.setHeight(value);
        }
    }
    return windows;
}

bool requestClose(WindowId id) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply != nullptr ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, id, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    const bool sent = xcb_flush(c) > 0 && event.type != XCB_ATOM_NONE;
    // The server drops what it has not yet carried out of a connection that closes: a round trip
    // first, or the request is now and then lost.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    return sent;
}

} // namespace oculet::test
