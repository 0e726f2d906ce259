#include "platform/MessageBoxes.h"

#include <QMessageBox>

namespace oculet {
namespace {
const QString kTitle = QStringLiteral("Oculet");
}

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
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace oculet
