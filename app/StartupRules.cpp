#include "app/StartupRules.h"

#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"
#include "platform/Paths.h"
#include "compose/FrameCycle.h"
#include "publish/JpegWriter.h"

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
    if ((!removable && QFileInfo::exists(target)) || plantedByAnotherUser(beside)) {
        return;
    }
    // A FIFO of that name would hold start-up for good: only a plain file is taken.
    const FileRead picture = readRegularFile(beside, kMaxOffPictureSize);
    if (picture.ok() && replaceFile(target, picture.bytes) == 0 && removable) {
        QFile::remove(beside);
    }
}

void removeStaleTemporaries(const QString& settingsFile, const QString& dataFolder, const QString& programFolder) {
    for (const QString& written : {settingsFile, dataFolder + u'/' + FrameCycle::camBitmapName(),
                                   programFolder + u'/' + FrameCycle::camBitmapName(),
                                   dataFolder + u'/' + tempJpegName(), dataFolder + u'/' + Paths::offPictureName()}) {
        removeStaleTemporaries(written);
    }
}

QString screenCopyNote() {
    return QStringLiteral("This X display cannot read a window's own content (no Composite extension): Oculet "
                          "copies the screen where the radio program is, so any window over it shows in the frame.");
}

} // namespace oculet
