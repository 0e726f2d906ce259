#include "app/InstanceLock.h"

#include <QDir>

namespace oculet {

InstanceLock::InstanceLock(const QString& runtimeFolder) {
    QDir().mkpath(runtimeFolder);
    lock_ = std::make_unique<QLockFile>(runtimeFolder + QStringLiteral("/oculet.lock"));
    // Stale only when its process is gone, never by age: Oculet runs for days.
    lock_->setStaleLockTime(0);
}

bool InstanceLock::tryLock() { return lock_->tryLock(0); }

} // namespace oculet
