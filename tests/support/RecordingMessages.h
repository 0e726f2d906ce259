#pragma once

#include "platform/Messages.h"

#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace oculet::test {

// Records the message boxes instead of showing them, each as its text, or "title|text" when it
// has a title of its own; questions wait in `pending` until `answerAll`.
class RecordingMessages final : public Messages {
public:
    void show(Kind, const QString& title, const QString& text, std::function<void(bool)> answered) override {
        shown << (title == defaultTitle() ? text : title + u'|' + text);
        if (answered) {
            pending.push_back(std::move(answered));
        }
    }
    void closeAll() override { pending.clear(); }
    void answerAll(bool yes) {
        for (auto& answer : std::exchange(pending, {})) {
            answer(yes);
        }
    }
    QStringList shown;
    std::vector<std::function<void(bool)>> pending;
};

} // namespace oculet::test
