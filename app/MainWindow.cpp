#include "app/MainWindow.h"

#include "ui/MenuBar.h"
#include "ui/MessagePanel.h"
#include "ui/StatusMark.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

namespace oculet {
namespace {

struct BoxLabelLook {
    const char* name;
    const char* caption;
};

// Indexed by BoxId.
constexpr std::array<BoxLabelLook, kBoxCount> kBoxLabels = {{{"lblClock", ""},
                                                         {"lblFixedTxt", ""},
                                                         {"lblTxt", ""},
                                                         {"lblLastRx", "RX"},
                                                         {"lblSM", "SM"},
                                                         {"lblAux1", "AUX1"},
                                                         {"lblAux2", "AUX2"}}};

} // namespace

FrameView::FrameView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picImg"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    frame_ = QImage(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    frame_.fill(Qt::black);
}

void FrameView::setFrame(const QImage& frame) {
    frame_ = frame;
    update();
}

void FrameView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, frame_);
}

BoxLabel::BoxLabel(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption) {
    setAttribute(Qt::WA_TranslucentBackground);
    caption_.setTextFormat(Qt::PlainText);
}

void BoxLabel::paintEvent(QPaintEvent*) {
    if (caption_.text().isEmpty()) {
        return;
    }
    QPainter painter(this);
    painter.setPen(QColor(255, 255, 255, 160));
    painter.drawStaticText(0, 0, caption_);
}

MainWindow::MainWindow() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Oculet"));
    setFixedSize(320, 262);
    // A window of fixed size has nothing to gain from maximising: no such button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    menuBar_ = new MenuBar(this);
    lblProg_ = menuBar_->program();
    connect(menuBar_, &MenuBar::programClicked, this, &MainWindow::sourceMenuRequested);
    connect(menuBar_, &MenuBar::camClicked, this, &MainWindow::publishingPanelRequested);

    picImg_ = new FrameView(this);
    picImg_->setGeometry(1, 22, kFrameWidth, kFrameHeight);

    for (BoxId id : kAllBoxes) {
        const BoxLabelLook& look = kBoxLabels[static_cast<std::size_t>(id)];
        auto* label = new BoxLabel(QString::fromLatin1(look.caption), picImg_);
        label->setObjectName(QString::fromLatin1(look.name));
        label->hide();
        boxLabels_[static_cast<std::size_t>(id)] = label;
    }

    // Pointing at the bare picture or at a box closes the menus; the scrolling text's box, a
    // strip across the whole frame, does not.
    QList<QWidget*> handles;
    for (BoxId id : kAllBoxes) {
        if (id != BoxId::ScrollText) {
            handles << boxLabels_[static_cast<std::size_t>(id)];
        }
    }
    menuBar_->setPicture(picImg_, handles);

    picMsg_ = new MessagePanel(picImg_);
    showSourceMissing(false);
}

void MainWindow::showFrame(const QImage& frame) { picImg_->setFrame(frame); }

void MainWindow::showBoxes(const OverlayBoxes& boxes) {
    for (BoxId id : kAllBoxes) {
        BoxLabel* label = boxLabels_[static_cast<std::size_t>(id)];
        if (label->geometry() != boxes[id].rect) {
            label->setGeometry(boxes[id].rect);
        }
        label->setVisible(boxes[id].visible);
    }
}

void MainWindow::showSourceMissing(bool missing) {
    // Told four times a second: a palette set anew repaints the menu bar every time.
    if (sourceMissingShown_ == missing) {
        return;
    }
    sourceMissingShown_ = missing;
    lblProg_->setAutoFillBackground(missing);
    QPalette pal = lblProg_->palette();
    pal.setColor(QPalette::WindowText, missing ? Qt::white : Qt::black);
    pal.setColor(QPalette::Window, missing ? QColor(0xC0, 0, 0) : QColor(Qt::transparent));
    lblProg_->setPalette(pal);
}

void MainWindow::setBoxToolTip(BoxId id, const QString& tip) { boxLabels_[static_cast<std::size_t>(id)]->setToolTip(tip); }

QWidget* MainWindow::frameArea() const { return picImg_; }

void MainWindow::showFrameArea() { picImg_->show(); }

QString MainWindow::programCaption() const { return lblProg_->text(); }

void MainWindow::setProgramCaption(const QString& caption) {
    lblProg_->setText(caption);
    menuBar_->fitCaptions();
}

QPoint MainWindow::menuPosition() const { return mapToGlobal(QPoint(0, 22)); }

void MainWindow::showMessage(const QString& text) { picMsg_->showMessage(text, QPoint(15, 150)); }

void MainWindow::hideMessage() { picMsg_->hide(); }

void MainWindow::showPublishingStatus(const LinkStatus& status) { menuBar_->status()->showStatus(status); }

void MainWindow::showLiveViewers(const QString& line) { menuBar_->status()->showViewers(line); }

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeAllowed_) {
        event->accept();
        return;
    }
    // The application runs the shutdown and closes the window itself when it is done.
    event->ignore();
    emit closeRequested();
}

BoxHandleParts MainWindow::boxHandleParts() const {
    BoxHandleParts parts;
    for (BoxId id : kAllBoxes) {
        parts.labels[static_cast<std::size_t>(id)] = boxLabel(id);
    }
    parts.frameArea = frameArea();
    return parts;
}

} // namespace oculet
