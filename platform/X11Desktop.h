#pragma once

// The desktop of an X11 session, read over its own XCB connection (separate from the one the
// Qt windows use, so a slow capture never queues behind the program's own drawing).

#include "platform/Desktop.h"

#include <memory>

namespace oculet {

class X11Desktop final : public Desktop {
public:
    struct Options {
        // Copy pixels through a shared-memory segment when the server offers MIT-SHM. Off
        // forces the plain GetImage path (a remote display, or tests of that path).
        bool useSharedMemory = true;
        // Read the source window's own content where the server offers Composite. Off forces
        // copies from the screen, as on a server without it.
        bool useWindowContent = true;
    };

    // nullptr and a reason in *error when no display can be opened.
    static std::unique_ptr<X11Desktop> open(QString* error, Options options);
    static std::unique_ptr<X11Desktop> open(QString* error) { return open(error, Options{}); }
    ~X11Desktop() override;

    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    QRect virtualScreen() override;
    std::vector<TopLevelWindow> topLevelWindows() override;
    std::optional<QString> windowTitle(WindowId) override;
    std::optional<QRect> windowRect(WindowId) override;
    std::optional<TopLevelWindow> window(WindowId) override;
    QImage grab(const QRect& screenRect) override;
    bool grabOnto(const QRect& screenRect, QImage& dst, const QRect& dstRect) override;
    void prefetch(const std::vector<QRect>& screenRects) override;
    bool readsWindowContent() override;
    bool windowContentOnto(WindowId window, const QRect& screenRect, QImage& dst, const QRect& dstRect) override;
    bool unchangedSinceLastAsked(WindowId window, const std::vector<QRect>& screenSpots) override;
    WindowId findWindowOfProcess(qint64 pid) override;
    void placeWindowOnTop(WindowId, const QRect& rect) override;
    void askToClose(WindowId) override;

    // Whether grabs currently go through MIT-SHM (false after the server refused a segment).
    bool usesSharedMemory() const;

    struct State;

private:
    explicit X11Desktop(std::unique_ptr<State> state);
    std::unique_ptr<State> d_;
};

} // namespace oculet
