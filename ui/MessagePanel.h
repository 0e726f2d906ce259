#pragma once

#include <QFrame>

class QLabel;

namespace oculet {

// The message panel laid over the frame while something the user waits for is going on
// (connecting to the server, closing). 290 × 40 frame pixels, the text centred in it.
class MessagePanel : public QFrame {
    Q_OBJECT
public:
    explicit MessagePanel(QWidget* parent);

    // Shows the text at the given place in frame pixels, in front of everything, painted now.
    void showMessage(const QString& text, QPoint topLeft = QPoint(15, 150));
    QString text() const;

private:
    QLabel* lblMsg_;
};

} // namespace oculet
