#pragma once

#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

namespace oculet {

// One running copy of Oculet per user: a lock file in the runtime folder, held for the life of
// the process. A lock left by a copy that died is taken over.
//
// Beside the lock the running copy listens on a local socket, so that starting Oculet again
// (choosing it in the desktop's menu) brings the running copy's window to the front instead of
// leaving the user to look for it.
class InstanceLock {
public:
    explicit InstanceLock(const QString& runtimeFolder);
    ~InstanceLock();
    bool tryLock();

    // For the copy that holds the lock: `show` runs whenever a later start asks for the window.
    void listenForShowRequests(std::function<void()> show);
    // For a copy that did not get the lock: asks the running copy to show its window. True once
    // it has said it did; false when it did not answer within `timeoutMs` (still starting up
    // past that, or hung).
    bool askRunningCopyToShow(int timeoutMs = 3000);

private:
    std::unique_ptr<QLockFile> lock_;
    QString socketPath_;
    std::unique_ptr<QLocalServer> server_;
};

} // namespace oculet
