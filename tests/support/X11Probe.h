#pragma once

// Looks at the test display the way a person at the screen would, and acts on it: which windows
// a process shows and where, the window manager's close request. Works through
// xdotool, as a user's own scripts would. Test-only; the program itself reaches X11 through
// platform/.

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace oculet::test {

using WindowId = quint32;

// Calls `done` about every 20 ms (letting this process's own Qt events run in between) until it
// returns true or `timeout_ms` has passed. Returns the last answer of `done`.
bool pollUntil(int timeout_ms, const std::function<bool()>& done);

// Runs xdotool; its standard output, or nothing when it failed or found nothing.
std::optional<QString> xdotool(const QStringList& args);

struct ShownWindow {
    WindowId id = 0;
    QRect geometry; // client area in root coordinates
};

// The mapped windows an xdotool search finds, e.g. {"--name", "^Title$"}.
QList<ShownWindow> shownWindows(const QStringList& search);
// The mapped windows of a process (by the _NET_WM_PID its toolkit sets).
inline QList<ShownWindow> shownWindows(qint64 pid) {
    return shownWindows({QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"), QString()});
}

// Asks the window to close the way a window manager's close button does: the WM_DELETE_WINDOW
// client message of the ICCCM (xdotool has no command for it).
bool requestClose(WindowId id);

} // namespace oculet::test
