#pragma once

// Makes the seven box labels on the frame take the mouse: one event filter serves them all and
// hands press, move and release to the layout rules (ui/BoxLayoutEditor.h). It also owns the two
// things shown only during a drag: the selection outline and, over a pressed image box, the live
// preview of what the box will show (a stretched copy of its screen source, or of the last
// received picture).

#include "compose/OverlayBoxes.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "ui/BoxLayoutEditor.h"

#include <QImage>
#include <QObject>
#include <QWidget>

#include <array>
#include <functional>

namespace oculet {

class Desktop;

// `picinv`: the preview laid over a pressed image box.
class BoxPreview : public QWidget {
    Q_OBJECT
public:
    explicit BoxPreview(QWidget* parent);
    void setPicture(QImage picture);
    const QImage& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

// Draws the preview picture of an image box: the box's screen source for the copied boxes, the
// last received picture for its box, stretched to the box's size.
class BoxPreviewPainter {
public:
    BoxPreviewPainter(const Settings& settings, Desktop& desktop, std::function<QImage()> lastReceived);
    QImage paint(BoxId box, QSize size) const;

private:
    const Settings& settings_;
    Desktop& desktop_;
    std::function<QImage()> lastReceived_;
};

struct BoxHandleParts {
    std::array<QWidget*, kBoxCount> labels{}; // indexed by BoxId
    QWidget* frameArea = nullptr;             // the labels' parent, showing the frame
    // Takes a pressed image box out of the shown frame at once.
    std::function<void(const QRect&)> eraseFromFrame;
};

class BoxHandles : public QObject {
    Q_OBJECT
public:
    BoxHandles(BoxLayoutEditor& editor, const BoxPreviewPainter& preview, BoxHandleParts parts,
               const InterfaceTexts& texts);

    // Hides the preview once no box is held (the frame cycle calls it).
    void hidePreview();
    QWidget* outline() const { return outline_; }
    BoxPreview* preview() const { return preview_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show(BoxId box, const BoxStep& step);
    void raiseHandle(QWidget* label);

    BoxLayoutEditor& editor_;
    const BoxPreviewPainter& painter_;
    BoxHandleParts parts_;
    QWidget* outline_;
    BoxPreview* preview_;
};

} // namespace oculet
