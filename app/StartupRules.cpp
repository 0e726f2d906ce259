#include "app/StartupRules.h"

#include "platform/Paths.h"

#include <QFile>
#include <QFileInfo>

namespace oculet {

void moveOffPictureIntoDataFolder(const QString& programFolder, const QString& dataFolder) {
    const QString name = u'/' + Paths::offPictureName();
    const QString beside = programFolder + name;
    const QString target = dataFolder + name;
    if (!QFileInfo::exists(beside) || QFileInfo(beside).absoluteFilePath() == QFileInfo(target).absoluteFilePath()) {
        return;
    }
    const bool removable = QFileInfo(programFolder).isWritable();
    if (!removable && QFileInfo::exists(target)) {
        return;
    }
    const QString temp = target + QStringLiteral(".new");
    QFile::remove(temp);
    if (!QFile::copy(beside, temp)) {
        return;
    }
    QFile::remove(target);
    if (QFile::rename(temp, target) && removable) {
        QFile::remove(beside);
    }
}

} // namespace oculet
