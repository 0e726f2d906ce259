#pragma once

// Why publishing is paused: while the user arranges the layout (a box held, an option panel, the
// publishing panel or the capture-region editor open) frames are still composed and written but
// not published. Each of these pauses for its own reason and resumes only that one, so closing
// one does not resume publishing while another still holds it.

#include <functional>

namespace oculet {

enum class PauseReason : unsigned { BoxHeld = 1, OptionPanel = 2, PublishingPanel = 4, RegionEditor = 8 };

class LayoutPause {
public:
    // `paused` runs when the first reason comes (a frame on its way shows the old layout),
    // `resumed` when the last one goes (the frame timer is armed again).
    void setHooks(std::function<void()> paused, std::function<void()> resumed);

    void pause(PauseReason reason);
    void resume(PauseReason reason);
    bool paused() const { return held_ != 0; }
    bool holds(PauseReason reason) const { return (held_ & static_cast<unsigned>(reason)) != 0; }

private:
    unsigned held_ = 0;
    std::function<void()> paused_;
    std::function<void()> resumed_;
};

} // namespace oculet
