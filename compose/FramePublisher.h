#pragma once

#include <QImage>

namespace oculet {

// The publish step as the frame cycle sees it. Publishing runs off the GUI thread and never
// holds the cycle: Cam_1.bmp keeps coming four times a second whatever the server does.
class FramePublisher {
public:
    virtual ~FramePublisher() = default;

    // FTP publishing is on and a connection is open.
    virtual bool canPublish() const = 0;
    // Hands the composed frame over and returns at once. A frame that arrives while the last one
    // is still on its way, or that equals the published one, is not sent.
    virtual void publishFrame(const QImage& frame) = 0;
    // A frame composed while publishing is held (a panel or editor is open): shown where that
    // cannot disturb anything, never published.
    virtual void showHeldFrame(const QImage& frame) { (void)frame; }
};

} // namespace oculet
