#include "ui/MessageBoxes.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

namespace oculet {
namespace {

// Qt lets Escape and the close button answer a Yes/No box with No; a question whose No ends the
// program must be answered on purpose.
class AnswerRequired final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && event->spontaneous()) {
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

QMessageBox::Icon iconOf(Messages::Kind kind) {
    switch (kind) {
    case Messages::Kind::Information: return QMessageBox::Information;
    case Messages::Kind::Question: return QMessageBox::Question;
    case Messages::Kind::Warning:
    case Messages::Kind::RequiredQuestion: return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtMessageBoxes::~QtMessageBoxes() { closeAll(); }

void QtMessageBoxes::show(Kind kind, const QString& title, const QString& text, std::function<void(bool)> answered) {
    const bool question = kind == Kind::Question || kind == Kind::RequiredQuestion;
    open_.removeAll(nullptr);
    if (!question) {
        // The same words again (a language file complained about at each opening of the menu)
        // would pile box on box.
        for (QMessageBox* standing : open_) {
            if (standing->windowTitle() == title && standing->text() == text) {
                standing->raise();
                return;
            }
        }
    }
    auto* box = new QMessageBox(iconOf(kind), title, text,
                                question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    if (question) {
        box->setDefaultButton(QMessageBox::Yes);
    }
    if (kind == Kind::RequiredQuestion) {
        box->installEventFilter(new AnswerRequired(box));
    }
    QObject::connect(box, &QMessageBox::finished, box, [box, answered = std::move(answered)] {
        if (answered) {
            answered(box->clickedButton() == box->button(QMessageBox::Yes));
        }
    });
    open_.append(box);
    box->show();
}

void QtMessageBoxes::closeAll() {
    const QList<QPointer<QMessageBox>> open = std::exchange(open_, {});
    for (QMessageBox* box : open) {
        if (box != nullptr) {
            // Unanswered: what an answer would decide is not done.
            QObject::disconnect(box, &QMessageBox::finished, nullptr, nullptr);
            box->hide();
            // Later, not now: closeAll may run inside this very box's answer.
            box->deleteLater();
        }
    }
}

} // namespace oculet
