#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace oculet {

// One running copy of Oculet per user: a lock file in the runtime folder, held for the life of
// the process. A lock left by a copy that died is taken over.
class InstanceLock {
public:
    explicit InstanceLock(const QString& runtimeFolder);
    bool tryLock();

private:
    std::unique_ptr<QLockFile> lock_;
};

} // namespace oculet
