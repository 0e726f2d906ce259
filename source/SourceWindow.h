#pragma once

// Finds the radio program's window by a fragment of its title and follows it from frame to
// frame. Oculet never talks to the radio program: the window's title and position are all it
// knows of it.

#include "settings/Settings.h"
#include "platform/Desktop.h"
#include "source/ScreenRegions.h"

#include <QRect>
#include <QString>

namespace oculet {

class SourceWindow {
public:
    explicit SourceWindow(Desktop& desktop) : desktop_(desktop) {}

    // A new fragment: forgets the remembered window and searches for one now.
    void setFragment(const QString& fragment);
    const QString& fragment() const { return fragment_; }
    WindowId handle() const { return handle_; }
    bool screenMode() const;

    // The check at the start of every frame: the remembered window still carries the fragment
    // in its title: its rectangle is taken and the source counts as found. Otherwise a fresh
    // search is made (its result is first used by the next frame) and the rectangle is rebuilt
    // from the stored capture position, so frames go on from where the window last was.
    void check(const Settings& settings);

    // The start-up redraw: search once and take the found window's rectangle, leaving the
    // missing flag alone.
    void searchForRedraw(const Settings& settings);

    bool missing() const { return missing_; }
    // The window's edges as the latest check left them.
    const WindowEdges& edges() const { return edges_; }

    // The screen rectangle copied onto the whole frame: in screen mode the stored absolute
    // rectangle, otherwise the capture offsets from the window's top-left.
    QRect captureRect(const Settings& settings) const;
    // The progress strip's source: measured from the window's bottom-left corner.
    QRect progressStripRect(const Settings& settings) const;

    // Whether a screen rectangle is copied from the found window's own content rather than from
    // the screen: it lies wholly within the window's outer frame. Never in screen mode or while
    // the window is missing.
    bool fromContent(const QRect& screenRect) const;

private:
    Desktop& desktop_;
    QString fragment_;
    WindowId handle_ = 0;
    WindowEdges edges_;
    bool missing_ = false;
};

} // namespace oculet
