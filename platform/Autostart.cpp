#include "platform/Autostart.h"

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace oculet {
namespace {

// An Exec argument in double quotes. Two rules apply one after the other: the quoting rule
// escapes '"', '`', '$' and the backslash with a backslash, then the rule for every string
// value doubles each backslash; a field code's '%' is doubled.
QString quotedExecArgument(const QString& argument) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$') {
            quoted += QStringLiteral("\\\\");
        } else if (c == u'\\') {
            quoted += QStringLiteral("\\\\\\");
        } else if (c == u'%') {
            quoted += u'%';
        }
        quoted += c;
    }
    return quoted + u'"';
}

bool isTrue(const std::optional<QString>& value) { return value && value->trimmed() == QStringLiteral("true"); }
bool isFalse(const std::optional<QString>& value) { return value && value->trimmed() == QStringLiteral("false"); }

} // namespace

Autostart::Autostart(QString folder, QString program) : folder_(std::move(folder)), program_(std::move(program)) {}

Autostart Autostart::forThisProgram() {
    return Autostart(Paths::autostartFolder(), QCoreApplication::applicationFilePath());
}

QString Autostart::entryPath() const { return folder_ + QStringLiteral("/org.oculet.Oculet.desktop"); }

bool Autostart::isOn() const {
    if (!QFileInfo(entryPath()).isFile()) {
        return false;
    }
    const std::optional<IniFile> entry = IniFile::read(entryPath());
    if (!entry) {
        return false;
    }
    const QString group = QStringLiteral("Desktop Entry");
    return !isTrue(entry->value(group, QStringLiteral("Hidden"))) &&
           !isFalse(entry->value(group, QStringLiteral("X-GNOME-Autostart-enabled")));
}

bool Autostart::setOn(bool on, QString* error) const {
    if (!on) {
        QFile entry(entryPath());
        if (!entry.exists() || entry.remove()) {
            return true;
        }
        if (error != nullptr) {
            *error = QStringLiteral("%1 could not be removed: %2").arg(entryPath(), entry.errorString());
        }
        return false;
    }
    if (!QDir().mkpath(folder_)) {
        if (error != nullptr) {
            *error = QStringLiteral("The folder %1 could not be made.").arg(folder_);
        }
        return false;
    }
    return writeFileAtomically(entryPath(), entryText(program_), AtomicWriteOptions{}, error);
}

QByteArray Autostart::entryText(const QString& program) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Oculet\n"
                          "Comment=Turn your SSTV program's received picture into a web-cam picture\n"
                          "Exec=%1\n"
                          "Icon=org.oculet.Oculet\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(quotedExecArgument(program))
        .toUtf8();
}

} // namespace oculet
