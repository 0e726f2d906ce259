#include "platform/FolderWatch.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/inotify.h>
#include <unistd.h>

namespace oculet {

FolderWatch::~FolderWatch() { stop(); }

void FolderWatch::stop() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void FolderWatch::start(const QString& folder) {
    stop();
    folder_ = folder;
    looks_ = 0;
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    constexpr std::uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                      IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    if (fd_ >= 0 && (folder.isEmpty() || ::inotify_add_watch(fd_, QFile::encodeName(folder).constData(), kEvents) < 0)) {
        stop();
    }
}

bool FolderWatch::changed(const QString& folder) {
    if (folder != folder_ || fd_ < 0) {
        start(folder);
        return true;
    }
    bool any = false;
    bool watchEnded = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                watchEnded = true;
            }
            break;
        }
        any = true;
        for (ssize_t at = 0; at < n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            // The folder was deleted or moved away, or events were lost: watch it afresh.
            watchEnded = watchEnded || (event.mask & (IN_IGNORED | IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF)) != 0;
            at += ssize_t(sizeof(inotify_event) + event.len);
        }
    }
    if (watchEnded) {
        start(folder); // the folder as it is now, if there is one
        return true;
    }
    if (any || ++looks_ >= kLooksBetweenRescans) {
        looks_ = 0;
        return true;
    }
    return false;
}

} // namespace oculet
