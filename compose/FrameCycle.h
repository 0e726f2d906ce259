#pragma once

// The frame cycle: copies the capture rectangle onto the 320 × 240 frame, lays the boxes and
// overlays over it in a fixed order, stamps the name, shows the frame, writes Cam_1.bmp and hands
// the frame to the publish step. Runs on the GUI thread from the frame timer; the timer is re-armed
// only when `finished` is called, so two cycles never overlap.

#include "settings/Settings.h"
#include "compose/CachedText.h"
#include "compose/OverlayBoxes.h"
#include "platform/AtomicFile.h"

#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace oculet {

struct CopiedBox;

class Desktop;
class FrameOverlays;
class FramePublisher;
class Messages;
class SourceWindow;

// What the cycle shows on the main window.
class FrameCycleView {
public:
    virtual ~FrameCycleView() = default;
    virtual void showFrame(const QImage& frame) = 0;
    virtual void showBoxes(const OverlayBoxes& boxes) = 0;
    virtual void showSourceMissing(bool missing) = 0;
    // Hides the rubber-band preview of a dragged box once no box is dragged.
    virtual void hideDragPreview() = 0;
    // The user answered No to the missing-source warning: the program ends normally.
    virtual void requestShutdown() = 0;
};

struct FrameFiles {
    QString dataFolder;    // Cam_1.bmp that matters
    QString programFolder; // the copy beside the executable, best effort
};

class FrameCycle {
public:
    FrameCycle(const Settings& settings, OverlayBoxes& boxes, const EditState& edit, Desktop& desktop,
               SourceWindow& source, Messages& messages, FrameCycleView& view, FrameFiles files);

    void setOverlays(FrameOverlays* overlays) { overlays_ = overlays; }
    void setPublisher(FramePublisher* publisher) { publisher_ = publisher; }

    // One cycle. `finished` is called once when the cycle is over, also after a failure part
    // way; it is not called when the user chose to end the program from the missing-source
    // warning.
    void run(std::function<void()> finished);

    // The one-off composition at start-up: capture, boxes, progress strip, clock and fixed text;
    // nothing is written, published or warned about.
    void startupRedraw();

    // A pressed box leaves the shown frame at once: its rectangle is put back from the clean
    // capture and the frame shown again, without waiting for the next cycle.
    void eraseBox(const QRect& place);

    const QImage& pic1() const { return pic1_; }
    const QImage& pic3() const { return pic3_; }

    // At shutdown: the webcam program that reads Cam_1.bmp shows the off picture once Oculet
    // is gone.
    void writeOffPictureAsFrame(const QImage& offPicture);

    static QString camBitmapName() { return QStringLiteral("Cam_1.bmp"); }
    // The picture as the bytes of a 24-bit Cam_1.bmp.
    static QByteArray bitmapBytes(const QImage& picture);
    // The same into `bytes`, whose memory is reused when it is already the right size.
    static void packBitmap(const QImage& picture, QByteArray& bytes);

private:
    void capture(bool alsoCleanCopy);
    // A screen rectangle onto dstRect of dst: from the source window's own content where it lies
    // within that window (and the desktop can read it), otherwise from the screen.
    bool copyOnto(const QRect& screenRect, QImage& dst, const QRect& dstRect);
    // A box or the strip onto its place on the frame: copied afresh, or while nothing under it
    // changed, the pixels it left there last time.
    void copyPiece(const QRect& screenRect, const QRect& place);
    // A copied box is drawn when it is on and not being dragged.
    bool drawsBox(const CopiedBox& box) const;
    void drawCopiedBoxes();
    void drawCopiedBox(const QRect& source, const QRect& place);
    int progressStripWidth() const;
    void drawProgressStrip();
    void stampName();
    void writeCamBitmap();

    const Settings& settings_;
    OverlayBoxes& boxes_;
    const EditState& edit_;
    Desktop& desktop_;
    SourceWindow& source_;
    Messages& messages_;
    FrameCycleView& view_;
    FrameFiles files_;
    FrameOverlays* overlays_ = nullptr;
    FramePublisher* publisher_ = nullptr;

    QImage pic1_;
    QImage pic3_;
    // The buffer the next frame is drawn into while the last one is still shown or published.
    QImage spare_;
    // Cam_1.bmp's bytes, kept from frame to frame: fresh memory for every frame would cost a page
    // fault for every 4 KiB of it.
    QByteArray camBitmap_;
    // Cam_1.bmp in the data folder and, for webcam programs that look there, beside the executable.
    std::vector<std::unique_ptr<FrequentFile>> camBitmapFiles_;
    // The program's name in the frame's bottom-right corner, the same on every frame.
    QFont nameFont_;
    CachedText nameStamp_;
    // What was copied last time, to be reused while nothing there changed: where from (and
    // whether from the window's content), the clean capture in pic3_, each box's pixels.
    struct CopiedPiece {
        QRect source, place;
        QImage pixels;
    };
    std::vector<QRect> lastSpots_;
    std::vector<bool> lastFromContent_;
    bool cleanCaptureKept_ = false;
    bool reuse_ = false;
    std::vector<CopiedPiece> pieces_;
    std::vector<CopiedPiece> lastPieces_;
    bool warningDismissed_ = false;
    bool warningOpen_ = false; // the missing-source question is on the screen, unanswered
};

} // namespace oculet
