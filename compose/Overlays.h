#pragma once

// The frame's overlays as the frame cycle uses them: clock, fixed text, scrolling text and the
// last received picture, each drawn at its box and resizing the box to what it drew.

#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "compose/CachedText.h"
#include "compose/ClockOverlay.h"
#include "compose/FrameOverlays.h"
#include "compose/LastReceivedOverlay.h"
#include "compose/OverlayBoxes.h"
#include "compose/ScrollingText.h"
#include "platform/Clock.h"
#include "platform/FolderWatch.h"
#include "platform/Messages.h"

#include <QFont>
#include <QImage>
#include <QString>

#include <array>

#include <memory>

namespace oculet {

class Overlays final : public FrameOverlays {
public:
    Overlays(const Settings& settings, OverlayBoxes& boxes, const Clock& clock, Messages& messages,
             const InterfaceTexts& texts, QString easyPalFolder);
    // With another picture decoder (tests).
    Overlays(const Settings& settings, OverlayBoxes& boxes, const Clock& clock, Messages& messages,
             const InterfaceTexts& texts, QString easyPalFolder, std::unique_ptr<PictureDecoder> decoder);

    void drawLastReceived(QImage& frame) override;
    // 1 continuous; 2 or more: the per-minute pass, only while the minute flag is up.
    void drawScrollingText(QImage& frame, int txtOn) override;
    void drawFixedText(QImage& frame) override;
    void drawClock(QImage& frame) override;

    // Once a second while a clock is shown: counts seconds and raises the minute flag every 60.
    // With both clocks off it does nothing, so per-minute scrolling text never runs then.
    void clockTick();
    // The picture shown in the last received box on the latest cycle (or the placeholder).
    const QImage& lastReceivedPicture() const { return lastReceived_; }

    // The text or its font changed: the continuous text starts again beyond the right edge.
    void restartScrolling() { continuous_ = ContinuousScroll{}; }
    // The per-minute text runs on the next cycle (at start-up, and when its options close).
    void raiseMinuteFlag() {
        minuteFlag_ = true;
        secondCounter_ = 0;
    }
    // Another folder was chosen: the picture is looked for afresh on the next cycle.
    void forgetLastReceived() { picture_.forget(); }

    bool minuteFlag() const { return minuteFlag_; }
    int secondCounter() const { return secondCounter_; }

private:
    const QImage& placeholder();
    double measuredWidth(const QString& text, const QFont& font);

    const Settings& settings_;
    OverlayBoxes& boxes_;
    const Clock& clock_;
    Messages& messages_;
    const InterfaceTexts& texts_;
    QString easyPalFolder_;

    struct LastReceivedSource {
        int program = -1;
        bool userFolderChosen = false;
        QString userFolder;
        QString programFolder;
        bool operator==(const LastReceivedSource&) const = default;
    };
    FolderWatch receivedFolder_;
    LastReceivedSource lastReceivedSource_;
    QString lastReceivedPath_;
    LastReceivedPicture picture_;
    ThumbnailPainter thumbnail_;
    QImage lastReceived_;
    QImage placeholder_;
    QString placeholderText_;
    bool placeholderGerman_ = false;
    bool fitFailureReported_ = false;

    // The scrolling text is measured alone and doubled on every frame but seldom changes.
    struct MeasuredText {
        QString text;
        QFont font;
        double width = 0;
    };
    std::array<MeasuredText, 2> measured_;
    CachedText scrollingText_;
    CachedText fixedText_;
    ClockLines clockLines_;
    std::size_t nextMeasured_ = 0;
    ContinuousScroll continuous_;
    MinuteScroll perMinute_;
    int secondCounter_ = 0;
    bool minuteFlag_ = false;
};

} // namespace oculet
