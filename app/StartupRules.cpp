#include "app/StartupRules.h"

#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <QFileInfo>

namespace oculet {

void clampWindowPosition(Settings& s, const VirtualScreen& vs) {
    if (s.meLeft < 0 || s.meLeft > vs.width * kTwipsPerPixel) {
        s.meLeft = 0;
    }
    if (s.meTop < 0 || s.meTop > vs.height * kTwipsPerPixel) {
        s.meTop = 0;
    }
}

void clampSignalMeterSource(Settings& s, const VirtualScreen& vs) {
    int& left = s.current(s.smLeft);
    int& top = s.current(s.smTop);
    if (left < 0 || left > vs.width) {
        left = 0;
    }
    if (top < 0 || top > vs.height) {
        top = 0;
    }
}

void moveOffPictureIntoDataFolder(const QString& programFolder, const QString& dataFolder) {
    const QString name = QStringLiteral("/CamOff.jpg");
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

} // namespace oculet
