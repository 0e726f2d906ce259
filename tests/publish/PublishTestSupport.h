#pragma once

#include "platform/MessageBoxes.h"

#include <QStringList>

namespace oculet::test {

// Records the message boxes instead of showing them.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    void inform(const QString& text) override { shown << text; }
    void warn(const QString& text) override { shown << text; }
    bool askYesNo(const QString& text) override {
        shown << text;
        return true;
    }
    QStringList shown;
};

} // namespace oculet::test
