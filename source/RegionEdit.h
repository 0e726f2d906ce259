#pragma once

// What the capture-region editor decides: which of the five screen rectangles it sets and where
// each is stored, what the frame program (tools/) is told, where its window is put, and how the
// rectangle read back from it is clamped and stored. The frame window is the one the user moves
// and sizes; every poll reads it back into the live settings, so the next frames already use it.
// The editor's window (ui/) shows the numbers and buttons and drives this through its timers.

#include "platform/Desktop.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "source/SourceWindow.h"

#include <QElapsedTimer>
#include <QRect>
#include <QString>

#include <array>
#include <optional>

namespace oculet {

class FrameProgram;
class Messages;

class RegionEdit {
public:
    RegionEdit(Settings& settings, Desktop& desktop, const SourceWindow& source, Messages& messages,
               const InterfaceTexts& texts, FrameProgram& program);

    // Starts editing a target: the frame program is started and its window put on the stored
    // rectangle. A program that cannot start is reported; the edit then stays open, inert, until
    // end(). Nothing while an edit is open. `programCaption` is the source program's name on the
    // menu bar.
    void begin(RegionTarget target, const QString& programCaption);
    // Asks the frame window to close, ends the frame program and the edit. Nothing when none is
    // open.
    void end();
    RegionTarget target() const { return target_; }

    enum class Poll {
        Idle,  // nothing read: no frame program, or its window is not there yet
        Read,  // the frame window's rectangle is in the settings; placement() is where it is
        Closed // the frame window was closed, or never came: the edit must end
    };
    Poll poll();
    // Where the frame window was at the last poll, before any clamping.
    QRect placement() const { return placement_; }

    // A nudge button (1 X up, 2 X down, 3 Y up, 4 Y down, 5 W up, 6 W down, 7 H up, 8 H down)
    // moves or sizes the frame window by `step` pixels from where it was last put or read.
    void nudge(int code, int step);

    // A target's switch: the progress strip or a copied box shown in the frames. The capture
    // rectangle has none. setSwitch() sets the open edit's.
    static bool hasSwitch(RegionTarget target) { return target != RegionTarget::Capture; }
    bool switchOn(RegionTarget target) const;
    void setSwitch(bool on);

    // A target's editor window title and switch caption.
    QString windowCaption(RegionTarget target, const QString& programCaption) const;
    QString switchCaption(RegionTarget target) const;

    // How long a frame program has to show its window before the edit gives up on it.
    static constexpr int kWindowWait_ms = 3000;

private:
    QRect storedRect() const;
    void placeFrame();
    void askFor(const QRect& rect);
    QRect sizedByUser(const QRect& placement);

    Settings& settings_;
    Desktop& desktop_;
    const SourceWindow& source_;
    Messages& messages_;
    const InterfaceTexts& texts_;
    FrameProgram& program_;

    RegionTarget target_ = RegionTarget::None;
    WindowId frame_ = 0;
    qint64 pid_ = 0;
    bool started_ = false;
    std::array<int, 4> value_{}; // X, Y, W, H
    QRect placement_;
    QSize askedSize_;                 // the size last asked of the frame window
    std::optional<QSize> grantedSize_; // the size it took for that, once read
    QElapsedTimer sinceStart_;
};

} // namespace oculet
