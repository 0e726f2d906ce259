#include "platform/MessageBoxes.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

namespace oculet {
namespace {
const QString kTitle = QStringLiteral("Oculet");

// Qt lets Escape and the close button answer a Yes/No box with No; a question whose No ends the
// program must be answered on purpose.
class AnswerRequired final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void QtMessageBoxes::inform(const QString& text) {
    QMessageBox::information(parent_, kTitle, text, QMessageBox::Ok);
}

void QtMessageBoxes::warn(const QString& text) {
    QMessageBox::warning(parent_, kTitle, text, QMessageBox::Ok);
}

void QtMessageBoxes::notify(const QString& text) { notifyTitled(kTitle, text); }

void QtMessageBoxes::notifyTitled(const QString& title, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool QtMessageBoxes::askQuestion(const QString& text) {
    QMessageBox box(QMessageBox::Question, kTitle, text, QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool QtMessageBoxes::askYesNo(const QString& text) {
    QMessageBox box(QMessageBox::Warning, kTitle, text, QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    AnswerRequired filter;
    box.installEventFilter(&filter);
    // Without a click the box only returns when the program is ending under it (a signal).
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Yes);
}

void QtMessageBoxes::informTitled(const QString& title, const QString& text) {
    QMessageBox::information(parent_, title, text, QMessageBox::Ok);
}

} // namespace oculet
