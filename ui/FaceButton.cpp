#include "ui/FaceButton.h"

namespace oculet {

FaceButton::FaceButton(const QString& name, const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setObjectName(name);
    QPalette pal = palette();
    pal.setColor(QPalette::Button, face());
    setPalette(pal);
    setAutoFillBackground(true);
}

QSize FaceButton::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text()) + 14, QPushButton::sizeHint().height()};
}

} // namespace oculet
