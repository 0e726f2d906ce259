#pragma once

#include <QString>

#include <functional>

namespace oculet {

// What the program says to the user in a message box. Nothing here waits for the user: the box
// is shown and the caller goes straight on, so the frame cycle keeps its pace and a signal can
// still end the program while a box is up. What an answer decides is done in `answered` when
// the answer comes; a box closed by closeAll() is never answered.
class Messages {
public:
    enum class Kind {
        Information,      // OK only
        Warning,          // OK only, exclamation icon
        Question,         // Yes/No, question icon, Yes the default
        RequiredQuestion, // Yes/No, exclamation icon; Escape and the close button do nothing
    };

    virtual ~Messages() = default;

    // Shows one box. `answered` (questions only) gets true for Yes, at most once.
    virtual void show(Kind kind, const QString& title, const QString& text,
                      std::function<void(bool)> answered = {}) = 0;
    // Closes every box still open, unanswered.
    virtual void closeAll() = 0;

    static QString defaultTitle() { return QStringLiteral("Oculet"); }

    void tell(const QString& text) { show(Kind::Information, defaultTitle(), text); }
    void tell(const QString& title, const QString& text) { show(Kind::Information, title, text); }
    void warn(const QString& text) { show(Kind::Warning, defaultTitle(), text); }
    void warn(const QString& title, const QString& text) { show(Kind::Warning, title, text); }
    // A question whose No ends something for good: it must be answered on purpose.
    void ask(const QString& text, std::function<void(bool)> answered) {
        show(Kind::RequiredQuestion, defaultTitle(), text, std::move(answered));
    }
    void askQuestion(const QString& text, std::function<void(bool)> answered) {
        show(Kind::Question, defaultTitle(), text, std::move(answered));
    }
};

} // namespace oculet
