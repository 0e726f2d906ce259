#pragma once

// The main window: a 320 × 262 client area with the menu bar on top and the frame below it.
// It only shows: the frame picture, the overlay-box labels at the places the box model holds,
// the menu labels and the message panel. It is the frame cycle's view; what happens on a click
// or on closing is decided by the application, which the window tells through its signals.

#include "compose/FrameCycle.h"
#include "compose/OverlayBoxes.h"
#include "publish/LinkStatus.h"
#include "ui/BoxHandles.h"

#include <QImage>
#include <QLabel>
#include <QStaticText>
#include <QWidget>

#include <array>
#include <optional>

namespace oculet {

class MenuBar;
class MenuLabel;
class MessagePanel;

// `picImg`: shows the composed frame; the overlay labels and panels lie on it.
class FrameView : public QWidget {
    Q_OBJECT
public:
    explicit FrameView(QWidget* parent);
    void setFrame(const QImage& frame);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage frame_;
};

// The handle of an overlay box on the frame: its caption ("RX", "AUX1", or none) in translucent
// white. It is repainted with the frame four times a second, so the caption is laid out once.
class BoxLabel : public QWidget {
    Q_OBJECT
public:
    BoxLabel(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStaticText caption_;
};

class MainWindow : public QWidget, public FrameCycleView {
    Q_OBJECT
public:
    MainWindow();

    // FrameCycleView
    void showFrame(const QImage& frame) override;
    // Places and shows or hides the overlay labels as the box model says.
    void showBoxes(const OverlayBoxes& boxes) override;
    // The program label: black on transparent while the source program is found, white on red
    // while it is missing.
    void showSourceMissing(bool missing) override;
    void hideDragPreview() override {
        if (dragPreview_ != nullptr) {
            dragPreview_->hide();
        }
    }
    void requestShutdown() override { emit closeRequested(); }

    // The handle of a box on the frame, and the preview shown over a held box.
    QWidget* boxLabel(BoxId id) const { return boxLabels_[static_cast<std::size_t>(id)]; }
    // The box labels and the frame area, for the handles that move and size the boxes.
    BoxHandleParts boxHandleParts() const;
    void setDragPreview(QWidget* preview) { dragPreview_ = preview; }
    MenuBar* menuBar() const { return menuBar_; }
    // The tool tip of an overlay box's label.
    void setBoxToolTip(BoxId id, const QString& tip);

    // The frame area, on which panels lie.
    QWidget* frameArea() const;
    void showFrameArea();
    // The source program's name on the menu bar; the window search takes its title from it.
    QString programCaption() const;
    void setProgramCaption(const QString& caption);
    // Where the popup menus open: under the menu bar, in screen coordinates.
    QPoint menuPosition() const;
    // The message panel over the frame (connecting, closing).
    void showMessage(const QString& text);
    void hideMessage();
    // The publishing state at the right end of the menu bar, the last error in its tool tip; in
    // the language the menu bar's status mark was given.
    void showPublishingStatus(const LinkStatus& status);
    // A line for the status mark's tool tip about the live view's viewers; empty: none.
    void showLiveViewers(const QString& line);

    // Lets the next close go through (after the shutdown has run).
    void allowClose() { closeAllowed_ = true; }

signals:
    // The user (or the window manager, or the session) asks the window to close.
    void closeRequested();
    void sourceMenuRequested();
    void publishingPanelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MenuBar* menuBar_;
    MenuLabel* lblProg_;
    FrameView* picImg_;
    std::array<BoxLabel*, kBoxCount> boxLabels_{};
    MessagePanel* picMsg_;
    QWidget* dragPreview_ = nullptr;
    std::optional<bool> sourceMissingShown_;
    bool closeAllowed_ = false;
};

} // namespace oculet
