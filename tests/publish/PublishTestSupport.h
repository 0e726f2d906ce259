#pragma once

#include "platform/Messages.h"

#include <QStringList>

#include <utility>
#include <vector>

namespace oculet::test {

// Records the message boxes instead of showing them; questions wait in `pending` for an answer.
class RecordingMessageBoxes final : public Messages {
public:
    void show(Kind, const QString&, const QString& text, std::function<void(bool)> answered) override {
        shown << text;
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
