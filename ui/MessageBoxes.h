#pragma once

#include "platform/Messages.h"

#include <QList>
#include <QPointer>

class QMessageBox;
class QWidget;

namespace oculet {

// The message boxes on the screen: QMessageBoxes that never block, each deleted once closed.
// A box that says what is already being said is not shown a second time; the one standing is
// raised instead.
class QtMessageBoxes final : public Messages {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    ~QtMessageBoxes() override;
    QtMessageBoxes(const QtMessageBoxes&) = delete;
    QtMessageBoxes& operator=(const QtMessageBoxes&) = delete;

    void setParent(QWidget* parent) { parent_ = parent; }
    void show(Kind kind, const QString& title, const QString& text, std::function<void(bool)> answered = {}) override;
    void closeAll() override;

private:
    QWidget* parent_;
    QList<QPointer<QMessageBox>> open_;
};

} // namespace oculet
