#pragma once

#include <QString>

class QWidget;

namespace oculet {

// Message boxes the user must answer. Behind an interface so logic can be tested without a
// modal dialog; the real one is a QMessageBox that waits like any modal box.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // An OK-only box with the program's title.
    virtual void inform(const QString& text) = 0;
    // An OK-only box with an exclamation icon.
    virtual void warn(const QString& text) = 0;
    // A Yes/No box with an exclamation icon; true for Yes. It must be answered: Escape and the
    // window's close button do nothing.
    virtual bool askYesNo(const QString& text) = 0;
    // An OK-only box under a title of its own.
    virtual void informTitled(const QString& title, const QString& text) {
        (void)title;
        inform(text);
    }
    // An OK-only warning that does not wait: frames go on being made while it is shown.
    virtual void notify(const QString& text) { warn(text); }
    // A Yes/No question (question icon) with Yes as the default button; true for Yes.
    virtual bool askQuestion(const QString& text) { return askYesNo(text); }
    // The same under a title of its own.
    virtual void notifyTitled(const QString& title, const QString& text) {
        (void)title;
        notify(text);
    }
};

class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void inform(const QString& text) override;
    void warn(const QString& text) override;
    bool askYesNo(const QString& text) override;
    void informTitled(const QString& title, const QString& text) override;
    void notify(const QString& text) override;
    bool askQuestion(const QString& text) override;
    void notifyTitled(const QString& title, const QString& text) override;

private:
    QWidget* parent_;
};

} // namespace oculet
