#pragma once

// A scripted desktop for tests: windows with ids, titles, rectangles and a stacking order that a
// test changes at will, and a screen picture the test paints, from which grab() copies; pixel
// (0, 0) of that picture is the virtual screen's top-left corner.

#include "platform/Desktop.h"

#include <QColor>

#include <map>
#include <vector>

namespace oculet::test {

class FakeDesktop final : public Desktop {
public:
    // A black screen covering the given virtual screen (which may start left of or above 0, 0
    // like a second monitor placed there).
    explicit FakeDesktop(const QRect& virtualScreen = QRect(0, 0, 1920, 1080));

    // Paints a rectangle given in screen coordinates.
    void fill(const QRect& screenRect, const QColor& colour);

    // Adds a window on top of all others (or at the bottom) and returns its id (never 0).
    WindowId addWindow(const QString& title, const QRect& rect, bool onTop = true);
    void removeWindow(WindowId id);
    void moveWindow(WindowId id, const QRect& rect);
    void retitleWindow(WindowId id, const QString& title);
    // The process that made a window (0: none recorded).
    void setWindowProcess(WindowId id, qint64 pid) { pids_[id] = pid; }
    // Makes grab() answer with a null image, as a desktop that can no longer be read does.
    void setBroken(bool broken) { broken_ = broken; }
    // A window minimised (false) or restored.
    void showWindow(WindowId id, bool shown);
    // Gives a window content of its own, `colour` all over (none that can be read if it is
    // invalid), read by windowContentOnto while `readsContent` is on; without it a window's
    // content is its place on the screen picture.
    void setWindowContent(WindowId id, const QColor& colour) {
        contents_[id] = colour;
        contentChanged_ = true;
    }
    void setReadsContent(bool reads) { readsContent_ = reads; }

    // What the code under test asked for.
    int listCount() const { return listCount_; }
    const std::vector<QRect>& grabs() const { return grabs_; }
    // The rectangles read from windows' content.
    const std::vector<QRect>& contentReads() const { return contentReads_; }
    void clearRecord();

    QRect virtualScreen() override { return virtualScreen_; }
    std::vector<TopLevelWindow> topLevelWindows() override;
    std::optional<QString> windowTitle(WindowId id) override;
    std::optional<QRect> windowRect(WindowId id) override;
    std::optional<TopLevelWindow> window(WindowId id) override;
    QImage grab(const QRect& screenRect) override;
    bool readsWindowContent() override { return readsContent_; }
    bool windowContentOnto(WindowId id, const QRect& screenRect, QImage& dst, const QRect& dstRect) override;
    // Tells changes apart as a server does: painted screen rectangles and new window content.
    bool unchangedSinceLastAsked(WindowId window, const std::vector<QRect>& screenSpots) override;
    WindowId findWindowOfProcess(qint64 pid) override;
    void placeWindowOnTop(WindowId id, const QRect& rect) override;
    // The fake obeys at once: the window is gone.
    void askToClose(WindowId id) override { removeWindow(id); }

private:
    std::vector<TopLevelWindow>::iterator find(WindowId id);

    QRect virtualScreen_;
    QImage screen_;
    std::vector<TopLevelWindow> windows_; // topmost first
    WindowId nextId_ = 0x100;
    bool broken_ = false;
    int listCount_ = 0;
    std::vector<QRect> grabs_;
    std::vector<QRect> contentReads_;
    std::map<WindowId, QColor> contents_;
    bool readsContent_ = false;
    bool contentChanged_ = true;
    WindowId watched_ = 0;
    std::vector<QRect> painted_;
    std::map<WindowId, qint64> pids_;
};

} // namespace oculet::test
