#pragma once

#include <QPushButton>

namespace oculet {

// The buttons of the option panels, the publishing panel and the region editor: a plain push
// button on the light blue face all of them share, so they read as one family over the frame.
class FaceButton : public QPushButton {
    Q_OBJECT
public:
    FaceButton(const QString& name, const QString& caption, QWidget* parent);

    static QColor face() { return QColor(162, 195, 255); }

    // As wide as the caption needs: the style's usual minimum of 80 pixels would push four
    // buttons in a row off a 320-pixel panel.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
};

} // namespace oculet
