#include "app/MainWindow.h"

#include "ui/MessagePanel.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

namespace oculet {

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

MenuLabel::MenuLabel(const QString& name, const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setObjectName(name);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(false);
}

void MenuLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit clicked();
    }
    QLabel::mousePressEvent(event);
}

MainWindow::MainWindow() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Oculet"));
    setFixedSize(320, 262);

    picMenuBar_ = new QWidget(this);
    picMenuBar_->setObjectName(QStringLiteral("picMenuBar"));
    picMenuBar_->setGeometry(0, 0, 320, 20);
    lblProg_ = new MenuLabel(QStringLiteral("lblProg"), QStringLiteral("EasyPal"), picMenuBar_);
    lblProg_->setGeometry(0, 1, 75, 21);
    lblOpt_ = new MenuLabel(QStringLiteral("lblOpt"), QStringLiteral("Options"), picMenuBar_);
    lblOpt_->setGeometry(75, 1, 85, 21);
    lblFtp_ = new MenuLabel(QStringLiteral("lblFtp"), QStringLiteral("Cam mode"), picMenuBar_);
    lblFtp_->setGeometry(160, 1, 100, 21);

    picImg_ = new FrameView(this);
    picImg_->setGeometry(1, 22, kFrameWidth, kFrameHeight);

    lblClock_ = makeBoxLabel("lblClock", {});
    lblTxt_ = makeBoxLabel("lblTxt", {});
    lblFixedTxt_ = makeBoxLabel("lblFixedTxt", {});
    lblSM_ = makeBoxLabel("lblSM", QStringLiteral("SM"));
    lblLastRx_ = makeBoxLabel("lblLastRx", QStringLiteral("RX"));
    lblAux1_ = makeBoxLabel("lblAux1", QStringLiteral("AUX1"));
    lblAux2_ = makeBoxLabel("lblAux2", QStringLiteral("AUX2"));

    picMsg_ = new MessagePanel(picImg_);
    showSourceMissing(false);
}

QLabel* MainWindow::makeBoxLabel(const char* name, const QString& caption) {
    auto* label = new QLabel(caption, picImg_);
    label->setObjectName(QString::fromLatin1(name));
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(255, 255, 255, 160));
    label->setPalette(pal);
    label->hide();
    return label;
}

void MainWindow::showBoxes(const OverlayBoxes& boxes) {
    const std::pair<QLabel*, const OverlayBox*> pairs[] = {
        {lblClock_, &boxes.clock}, {lblTxt_, &boxes.scrollText}, {lblFixedTxt_, &boxes.fixedText},
        {lblSM_, &boxes.sm},       {lblLastRx_, &boxes.lastRx},  {lblAux1_, &boxes.aux1},
        {lblAux2_, &boxes.aux2}};
    for (const auto& [label, box] : pairs) {
        if (label->geometry() != box->rect) {
            label->setGeometry(box->rect);
        }
        label->setVisible(box->visible);
    }
}

void MainWindow::showSourceMissing(bool missing) {
    lblProg_->setAutoFillBackground(missing);
    QPalette pal = lblProg_->palette();
    pal.setColor(QPalette::WindowText, missing ? Qt::white : Qt::black);
    pal.setColor(QPalette::Window, missing ? QColor(0xC0, 0, 0) : QColor(Qt::transparent));
    lblProg_->setPalette(pal);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeAllowed_) {
        event->accept();
        return;
    }
    // The application runs the shutdown and closes the window itself when it is done.
    event->ignore();
    emit closeRequested();
}

} // namespace oculet
