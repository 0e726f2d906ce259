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
};

} // namespace oculet
