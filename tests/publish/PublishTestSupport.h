#pragma once

#include "platform/MessageBoxes.h"

#include <QFile>
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

inline QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace oculet::test
