#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace oculet {
namespace {

QString fromEnvironment(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    // The XDG rules ignore relative paths.
    return value.isEmpty() || QDir::isRelativePath(value) ? fallback : value;
}

} // namespace

QString Paths::userDataRoot() {
    return fromEnvironment("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
}

QString Paths::dataFolder() { return userDataRoot() + QStringLiteral("/Oculet"); }

QString Paths::easyPalFolder() { return userDataRoot() + QStringLiteral("/EasyPal"); }

QString Paths::programFolder() {
    const QString dir = QCoreApplication::applicationDirPath();
    return dir.isEmpty() ? QDir::currentPath() : dir;
}

QString Paths::settingsFile() {
    return fromEnvironment("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config")) +
           QStringLiteral("/Oculet/Oculet.ini");
}

QString Paths::runtimeFolder() {
    return fromEnvironment("XDG_RUNTIME_DIR",
                           QDir::tempPath() + QStringLiteral("/oculet-%1").arg(::getuid()));
}

} // namespace oculet
