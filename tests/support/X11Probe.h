#pragma once

// Looks at the test display the way a person at the screen would: which top-level windows there
// are, where they are, what they show, and sends them keys and clicks. Test-only; the program
// itself reaches X11 through platform/.

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace oculet::test {

using WindowId = quint32;

// One top-level client window as the X server sees it.
struct ProbedWindow {
    WindowId id = 0;
    QString title;             // _NET_WM_NAME, else WM_NAME
    qint64 pid = 0;            // _NET_WM_PID; 0 when the window does not say
    QRect geometry;            // client area in root coordinates
    QRect frame;               // client plus the window manager's decorations (_NET_FRAME_EXTENTS)
    bool mapped = false;       // viewable: mapped and all its ancestors mapped
    WindowId transientFor = 0; // WM_TRANSIENT_FOR; 0 when absent
};

// Keys a test presses the way a user would.
enum class Key { Return, Escape };

// Calls `done` about every 20 ms (letting this process's own Qt events run in between) until it
// returns true or `timeout_ms` has passed. Returns the last answer of `done`.
bool pollUntil(int timeout_ms, const std::function<bool()>& done);

class X11Probe {
  public:
    // Connects to $DISPLAY (the test program's own Xvfb).
    X11Probe();
    ~X11Probe();
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    bool isConnected() const;

    // A window manager that has just taken the screen may still be starting: a window mapped
    // then can end up unmanaged and never shown. Maps throwaway windows until one is managed.
    bool waitForWindowManagerReady(int timeout_ms = 3000);

    // A fresh look at one window; empty once it has been destroyed.
    std::optional<ProbedWindow> describe(WindowId id);

    // The top-level client windows of a process, topmost first. With a window manager this is
    // its client list (stacking order when it offers one); without, the root's children that
    // carry a title or WM_STATE, looking through window-manager frames.
    QList<ProbedWindow> find(qint64 pid);

    // Waits until the window is destroyed or unmapped.
    bool waitUntilGone(WindowId id, int timeout_ms);

    // Gives the window the keyboard focus (through the window manager when there is one) and
    // raises it; true once the server reports the focus there.
    bool focus(WindowId id, int timeout_ms = 1000);

    // Focuses the window, then presses and releases the key through the XTest extension.
    bool sendKey(WindowId id, Key key);

    // Focuses the window and left-clicks at `local` (window coordinates) through XTest.
    bool click(WindowId id, QPoint local);

    // The screen's pixels in `rootRect`; parts outside the screen come out black.
    QImage grab(const QRect& rootRect);

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace oculet::test
