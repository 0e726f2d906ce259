#include "tools/FrameWindow.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>

namespace {

constexpr int kCorner = 12;   // this close to a corner, both edges are taken
constexpr int kMinimum = 1;   // a progress strip may be a few pixels high
constexpr int kTabHeight = 14 + FrameWindow::kBorder;

} // namespace

FrameWindow::FrameWindow(const oculet::FrameCommand& command)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      command_(command), colour_(oculet::toQColor(command.colour)) {
    setObjectName(QStringLiteral("frmCapture"));
    setWindowTitle(command.title);
    // Started beside the program the user works in: it must not take the keyboard from it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    QFont font;
    font.setPixelSize(11);
    setFont(font);
    setMinimumSize(kMinimum, kMinimum);
    setGeometry(100, 100, 200, 150);
}

bool FrameWindow::tabFits() const {
    const QFontMetrics metrics(font());
    int width = metrics.horizontalAdvance(command_.title) + 8;
    if (!command_.closeCaption.isEmpty()) {
        width += metrics.horizontalAdvance(command_.closeCaption) + 8;
    }
    // A frame too small for its tab shows the frame alone, so the tab never hides what it marks.
    return width <= this->width() && 2 * kTabHeight <= height();
}

QRect FrameWindow::titleTab() const {
    if (!tabFits()) {
        return {};
    }
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(command_.title) + 8 + closeButton().width();
    return QRect(0, 0, width, kTabHeight);
}

QRect FrameWindow::closeButton() const {
    if (command_.closeCaption.isEmpty() || !tabFits()) {
        return {};
    }
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(command_.closeCaption) + 8;
    return QRect(metrics.horizontalAdvance(command_.title) + 8, 0, width, kTabHeight);
}

void FrameWindow::resizeEvent(QResizeEvent*) {
    const QRegion outer(rect());
    const QRegion inner(rect().adjusted(kBorder, kBorder, -kBorder, -kBorder));
    setMask(outer.subtracted(inner).united(titleTab()));
}

void FrameWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colour_);
    // Dark text on a light frame, light on a dark one.
    painter.setPen(colour_.lightness() > 128 ? Qt::black : Qt::white);
    if (!titleTab().isEmpty()) {
        painter.drawText(titleTab().adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, command_.title);
    }
    // Without a window manager there is no other way to close the frame by hand.
    if (!closeButton().isEmpty()) {
        painter.drawRect(closeButton().adjusted(1, 1, -2, -2));
        painter.drawText(closeButton(), Qt::AlignCenter, command_.closeCaption);
    }
}

void FrameWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint at = event->position().toPoint();
    if (closeButton().contains(at)) {
        close();
        return;
    }
    const Qt::Edges all = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
    Qt::Edges edges;
    if (titleTab().contains(at) && at.x() > kCorner && at.y() > kBorder) {
        edges = all;
    } else {
        // In a thin frame the grips shrink so that its middle is left to move it by.
        const int gripX = std::min(kCorner, width() / 3);
        const int gripY = std::min(kCorner, height() / 3);
        edges.setFlag(Qt::LeftEdge, at.x() < gripX);
        edges.setFlag(Qt::RightEdge, at.x() >= width() - gripX);
        edges.setFlag(Qt::TopEdge, at.y() < gripY);
        edges.setFlag(Qt::BottomEdge, at.y() >= height() - gripY);
        if (edges == Qt::Edges()) {
            edges = all;
        }
    }
    dragged_ = edges;
    pressedAt_ = event->globalPosition().toPoint();
    startGeometry_ = geometry();
}

void FrameWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragged_ == Qt::Edges() || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPoint delta = event->globalPosition().toPoint() - pressedAt_;
    QRect g = startGeometry_;
    const bool moving = dragged_ == (Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    if (moving) {
        g.translate(delta);
    } else {
        if (dragged_ & Qt::LeftEdge) {
            g.setLeft(std::min(g.left() + delta.x(), g.right() - kMinimum));
        }
        if (dragged_ & Qt::RightEdge) {
            g.setRight(std::max(g.right() + delta.x(), g.left() + kMinimum));
        }
        if (dragged_ & Qt::TopEdge) {
            g.setTop(std::min(g.top() + delta.y(), g.bottom() - kMinimum));
        }
        if (dragged_ & Qt::BottomEdge) {
            g.setBottom(std::max(g.bottom() + delta.y(), g.top() + kMinimum));
        }
    }
    setGeometry(g);
}

void FrameWindow::mouseReleaseEvent(QMouseEvent*) { dragged_ = Qt::Edges(); }
