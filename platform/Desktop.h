#pragma once

// The desktop as Oculet sees it: the top-level windows of the other programs (to find the radio
// program by its title and follow its position) and the pixels on the screen (to copy the
// capture rectangle and the boxes). The rest of the program uses only this interface; the real
// backend talks to the X server, the test double is a scripted desktop.

#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace oculet {

using WindowId = std::uint32_t; // 0 = none

struct TopLevelWindow {
    WindowId id = 0;
    QString title;
    QRect rect;
    // False while the window is minimised or unmapped: there is nothing of it to copy then.
    bool shown = true;
};

class Desktop {
public:
    virtual ~Desktop() = default;
    // Bounding rectangle of all monitors.
    virtual QRect virtualScreen() = 0;
    // Stacking order, topmost first; hidden and minimised windows included.
    virtual std::vector<TopLevelWindow> topLevelWindows() = 0;
    // std::nullopt when the window no longer exists; an empty text when it has no title.
    virtual std::optional<QString> windowTitle(WindowId) = 0;
    // Outer frame (decorations included) in root coordinates; std::nullopt when the window is gone.
    virtual std::optional<QRect> windowRect(WindowId) = 0;
    // Title and outer frame together, as the two calls above give them (a backend may ask for
    // both at once), and whether the window is shown; std::nullopt when the window is gone.
    virtual std::optional<TopLevelWindow> window(WindowId);
    // Format_RGB32, screenRect.size(); parts off the screen are black. A rectangle wider or
    // taller than the whole screen may come back squeezed to the screen's size on that axis
    // (callers only ever stretch the copy). An empty or invalid rectangle gives a null image,
    // and so does a desktop that can no longer be read (the display went away): a caller can
    // tell "nothing copied" from a black screen.
    virtual QImage grab(const QRect& screenRect) = 0;
    // grab(screenRect) stretched onto dstRect of dst (see stretchInto), without keeping the copy
    // where a backend can read the pixels in place. False, leaving dst alone, when nothing could
    // be copied.
    virtual bool grabOnto(const QRect& screenRect, QImage& dst, const QRect& dstRect);
    // The screen spots the next grabOnto calls will ask for, so a backend can copy them all in
    // one exchange with the display. Each copy made here serves one later call for exactly its
    // rectangle; any other grab drops them. Nothing here is required: without it (or where a
    // backend does nothing with it) every grab copies for itself.
    virtual void prefetch(const std::vector<QRect>& screenRects) { (void)screenRects; }

    // Whether windowContentOnto can read a window's own pixels (the display keeps windows'
    // content apart from the screen); false means every copy comes from the screen.
    virtual bool readsWindowContent() { return false; }
    // screenRect, lying within the outer frame of `window` (as windowRect gives it), copied from
    // that window's own content and stretched onto dstRect of dst: windows above it and its
    // parts beyond the screen's edges are its own pixels there, not the screen's. False, leaving
    // dst alone, when the content cannot be read (no such support, the window gone or hidden).
    virtual bool windowContentOnto(WindowId window, const QRect& screenRect, QImage& dst, const QRect& dstRect) {
        (void)window, (void)screenRect, (void)dst, (void)dstRect;
        return false;
    }
    // Whether nothing can have changed, since the previous call, in the content of `window`
    // (0: none) nor on the screen within `screenSpots`. A caller asks once per frame with what
    // it is about to copy; the first question about a window, and a backend that cannot tell,
    // answer false (copy again).
    virtual bool unchangedSinceLastAsked(WindowId window, const std::vector<QRect>& screenSpots) {
        (void)window, (void)screenSpots;
        return false;
    }

    // The first shown top-level window (topmost first) that the process `pid` made, known by the
    // process id its toolkit records on it; another program's window is never taken. 0 when the
    // process shows none (yet).
    virtual WindowId findWindowOfProcess(qint64 pid) = 0;
    // Moves and sizes a window so that its outer frame covers `rect` (root coordinates) and
    // raises it above the others.
    virtual void placeWindowOnTop(WindowId, const QRect& rect) = 0;
    // Asks the window to close, as a window manager's close button does; the program that owns
    // it decides.
    virtual void askToClose(WindowId) = 0;
};

// nullptr and a readable reason in *error (when error is not null) when no X display can be
// opened, e.g. DISPLAY unset or the X server gone.
std::unique_ptr<Desktop> createX11Desktop(QString* error);

// Titles longer than this are cut before the fragment is looked for, as the window search has
// always done.
inline constexpr int kTitleSearchLength = 127;

// The window search: the first window (topmost first) whose title contains the fragment,
// case-sensitively; titles longer than 127 characters are cut to 127 first. 0 when none. An
// empty fragment finds nothing: it would otherwise pick whatever window happens to be on top.
WindowId findWindowByTitle(Desktop&, const QString& fragment);

// Whether a title holds the fragment, case-sensitively; an empty fragment never matches. No cut
// here: the per-frame check of the remembered window reads its whole title.
bool titleMatches(const QString& title, const QString& fragment);

} // namespace oculet
