#pragma once

// The main window: a 320 × 262 client area with the menu bar on top and the frame below it.
// It only shows: the frame picture, the overlay-box labels at the places the box model holds,
// the menu labels and the message panel. What happens on a click or on closing is decided by the
// application (Application), which the window tells through its signals.

#include "compose/OverlayBoxes.h"

#include <QImage>
#include <QLabel>
#include <QWidget>

namespace oculet {

class MessagePanel;

// `picImg`: shows the composed frame; the overlay labels and panels lie on it.
class FrameView : public QWidget {
    Q_OBJECT
public:
    explicit FrameView(QWidget* parent);
    void setFrame(const QImage& frame);
    const QImage& frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage frame_;
};

// A label on the menu bar that reports clicks.
class MenuLabel : public QLabel {
    Q_OBJECT
public:
    MenuLabel(const QString& name, const QString& caption, QWidget* parent);
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow();

    FrameView* picImg() const { return picImg_; }
    QWidget* picMenuBar() const { return picMenuBar_; }
    MenuLabel* lblProg() const { return lblProg_; }
    MenuLabel* lblOpt() const { return lblOpt_; }
    MenuLabel* lblFtp() const { return lblFtp_; }
    MessagePanel* picMsg() const { return picMsg_; }

    // Places and shows or hides the overlay labels as the box model says.
    void showBoxes(const OverlayBoxes& boxes);
    // The program label: black on transparent while the source program is found, white on red
    // while it is missing.
    void showSourceMissing(bool missing);

    // Lets the next close go through (after the shutdown has run).
    void allowClose() { closeAllowed_ = true; }

signals:
    // The user (or the window manager, or the session) asks the window to close.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* makeBoxLabel(const char* name, const QString& caption);

    QWidget* picMenuBar_;
    MenuLabel* lblProg_;
    MenuLabel* lblOpt_;
    MenuLabel* lblFtp_;
    FrameView* picImg_;
    QLabel* lblClock_;
    QLabel* lblTxt_;
    QLabel* lblFixedTxt_;
    QLabel* lblSM_;
    QLabel* lblLastRx_;
    QLabel* lblAux1_;
    QLabel* lblAux2_;
    MessagePanel* picMsg_;
    bool closeAllowed_ = false;
};

} // namespace oculet
