#pragma once

#include <QImage>

#include <functional>

namespace oculet {

// The publish step as the frame cycle sees it. Publishing runs off the GUI thread; the cycle
// re-arms its timer only from `done`, so the next cycle never starts before this one's
// publish step has finished.
class FramePublisher {
public:
    virtual ~FramePublisher() = default;

    // FTP publishing is on and a connection is open.
    virtual bool canPublish() const = 0;
    // Publishes the composed frame (or skips it when unchanged) and calls `done` on the GUI
    // thread exactly once when the step is over, whatever its outcome.
    virtual void publishFrame(const QImage& frame, std::function<void()> done) = 0;
};

} // namespace oculet
