#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace oculet {
namespace {

QString fromEnvironment(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    // The XDG rules ignore relative paths.
    return value.isEmpty() || QDir::isRelativePath(value) ? fallback : value;
}

// The folder exists (made now if missing), is a real folder, not a link, belongs to this user
// and only this user may enter it.
bool isPrivateFolder(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat st {};
    return ::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

QString configRoot() { return fromEnvironment("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config")); }

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

QString Paths::frameProgram() {
    const QString name = QStringLiteral("oculet-frame");
    const QStringList candidates = {programFolder() + u'/' + name,
#ifdef OCULET_FRAME_FOLDER_FROM_PROGRAM
                                    QDir::cleanPath(programFolder() + QStringLiteral("/" OCULET_FRAME_FOLDER_FROM_PROGRAM "/") + name)
#endif
    };
    for (const QString& candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) {
            return candidate;
        }
    }
    return candidates.front();
}

QString Paths::settingsFile() { return configRoot() + QStringLiteral("/Oculet/Oculet.ini"); }

QString Paths::autostartFolder() { return configRoot() + QStringLiteral("/autostart"); }

QString Paths::runtimeFolder() {
    const QString session = fromEnvironment("XDG_RUNTIME_DIR", QString());
    if (!session.isEmpty()) {
        return session;
    }
    const QString shared = QDir::tempPath() + QStringLiteral("/oculet-%1").arg(::getuid());
    if (isPrivateFolder(shared)) {
        return shared;
    }
    const QString cache = fromEnvironment("XDG_CACHE_HOME", QDir::homePath() + QStringLiteral("/.cache"));
    QDir().mkpath(cache);
    const QString own = cache + QStringLiteral("/oculet-runtime");
    isPrivateFolder(own);
    return own;
}

QString Paths::hostFolder(const QString& stored) {
    return hostFolder(stored, fromEnvironment("WINEPREFIX", QDir::homePath() + QStringLiteral("/.wine")), dataFolder());
}

QString Paths::hostFolder(const QString& stored, const QString& winePrefix, const QString& fallback) {
    static const QRegularExpression drivePath(QStringLiteral("^([A-Za-z]):([\\\\/].*)?$"));
    const QRegularExpressionMatch match = drivePath.match(stored);
    if (!match.hasMatch()) {
        return stored;
    }
    // Wine keeps drive C: as drive_c in the prefix, and so on for the other letters.
    QString rest = match.captured(2);
    rest.replace(u'\\', u'/');
    const QString folder =
        QDir::cleanPath(winePrefix + QStringLiteral("/drive_") + match.captured(1).toLower() + u'/' + rest);
    return (QFileInfo(folder).isDir() ? folder : fallback) + u'/';
}

} // namespace oculet
