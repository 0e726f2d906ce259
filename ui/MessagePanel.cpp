#include "ui/MessagePanel.h"

#include <QLabel>

namespace oculet {

MessagePanel::MessagePanel(QWidget* parent) : QFrame(parent), lblMsg_(new QLabel(this)) {
    setObjectName(QStringLiteral("picMsg"));
    lblMsg_->setObjectName(QStringLiteral("lblMsg"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 225));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    resize(290, 40);
    lblMsg_->setAlignment(Qt::AlignCenter);
    lblMsg_->setGeometry(0, 10, width(), height() - 20);
    QFont f = lblMsg_->font();
    f.setBold(true);
    lblMsg_->setFont(f);
    hide();
}

void MessagePanel::showMessage(const QString& text, QPoint topLeft) {
    lblMsg_->setText(text);
    move(topLeft);
    show();
    raise();
    repaint();
}

QString MessagePanel::text() const { return lblMsg_->text(); }

} // namespace oculet
