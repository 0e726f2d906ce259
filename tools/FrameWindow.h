#pragma once

// The frame program's one window: a frame in the given colour around a see-through inside (an X
// shape mask, so the desktop under it shows without a compositor), with the title and a close
// button in a small tab in its top-left corner, left out when the frame is too small for it.
// Dragging the tab (or the middle of a thin frame) moves it, dragging an edge or corner sizes it;
// it does this itself, so it works with or without a window manager. It takes any size from
// 1 x 1, stays above other windows, and ends when asked to close or when its window is destroyed.

#include "source/FrameCommand.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

class FrameWindow : public QWidget {
public:
    explicit FrameWindow(const oculet::FrameCommand& command);

    static constexpr int kBorder = 3;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool tabFits() const;
    QRect titleTab() const;
    QRect closeButton() const;

    oculet::FrameCommand command_;
    QColor colour_;
    // What the pressed button drags: the edges it moves (all four for the tab).
    Qt::Edges dragged_;
    QPoint pressedAt_;
    QRect startGeometry_;
};
