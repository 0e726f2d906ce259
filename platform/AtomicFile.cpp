#include "platform/AtomicFile.h"

#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oculet {
namespace {

// The temporary file until it has taken its place: removed on every way out but success.
class PendingFile {
public:
    // A new, empty file under a unique name made from `pattern` (ending in XXXXXX).
    explicit PendingFile(QByteArray pattern) : path_(std::move(pattern)) {
        fd_ = ::mkstemp(path_.data());
        if (fd_ < 0) {
            path_.clear();
        }
    }
    ~PendingFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!path_.isEmpty()) {
            ::unlink(path_.constData());
        }
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool made() const { return !path_.isEmpty(); }
    int fd() const { return fd_; }
    const QByteArray& path() const { return path_; }
    int close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0 ? 0 : errno;
    }
    void release() { path_.clear(); }

private:
    QByteArray path_;
    int fd_ = -1;
};

int writeAll(int fd, const QByteArray& contents) {
    const char* data = contents.constData();
    qsizetype left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : ENOSPC;
        }
        data += n;
        left -= n;
    }
    return 0;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// Where a write to `path` lands: the path itself, or the file its symbolic links lead to. A link
// is followed only when this user (or the system) made it or nobody else could have put it
// there, so a link another user planted never chooses what Oculet replaces. What is there in
// the end must be a plain file or nothing: a device, FIFO or folder is never replaced.
// 0 and the path in `target`, or the errno of the refusal.
int writeTarget(const QString& path, QByteArray& target) {
    QByteArray current = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.constData(), &st) != 0) {
            if (errno != ENOENT) {
                return errno;
            }
            target = current;
            return 0;
        }
        if (S_ISREG(st.st_mode)) {
            target = current;
            return 0;
        }
        if (!S_ISLNK(st.st_mode)) {
            return S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
        }
        if (plantedByAnotherUser(QFile::decodeName(current))) {
            return EPERM;
        }
        const QByteArray folder = folderOf(current);
        QByteArray link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.constData(), link.data(), static_cast<size_t>(link.size()));
        if (n <= 0 || n >= link.size()) {
            return n < 0 ? errno : ENAMETOOLONG;
        }
        link.truncate(n);
        current = link.startsWith('/') ? link : folder + '/' + link;
    }
    return ELOOP;
}

QString temporaryPrefix(const QFileInfo& info) { return QStringLiteral(".") + info.fileName() + u'.'; }

} // namespace

void removeStaleTemporaries(const QString& path) {
    QByteArray target;
    const QFileInfo info(writeTarget(path, target) == 0 ? QFile::decodeName(target) : path);
    const QString prefix = temporaryPrefix(info);
    const QDir folder = info.absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.size() == prefix.size() + 6 && name.startsWith(prefix)) {
            QFile::remove(folder.filePath(name));
        }
    }
}

namespace {

QByteArray temporaryPattern(const QFileInfo& info) {
    return QFile::encodeName(info.absolutePath() + u'/' + temporaryPrefix(info) + QStringLiteral("XXXXXX"));
}

// Gives the open file `fd`, whose state is `own`, the whole new content and the mode (and, when
// asked, the times) the target should have.
int writeContent(int fd, const struct stat& own, const QByteArray& target, const QByteArray& contents,
                 const AtomicWriteOptions& options) {
    struct stat old {};
    const bool keep = options.keepModeAndTimes && ::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);
    const mode_t mode = keep ? (old.st_mode & 07777) : options.mode;
    // A spare written before has its mode already, and changing it would be one more write to
    // the disk's journal per frame.
    if ((own.st_mode & 07777) != mode && ::fchmod(fd, mode) != 0) {
        return errno;
    }
    if (const int rc = writeAll(fd, contents); rc != 0) {
        return rc;
    }
    if (own.st_size > contents.size() && ::ftruncate(fd, contents.size()) != 0) {
        return errno;
    }
    if (keep) {
        const struct timespec times[2] = {old.st_atim, old.st_mtim};
        ::futimens(fd, times);
    }
    if (options.durable && ::fsync(fd) != 0) {
        return errno;
    }
    return 0;
}

int writePending(PendingFile& temp, const QByteArray& target, const QByteArray& contents,
                 const AtomicWriteOptions& options) {
    struct stat own {};
    if (!temp.made() || ::fstat(temp.fd(), &own) != 0) {
        return errno;
    }
    if (const int rc = writeContent(temp.fd(), own, target, contents, options); rc != 0) {
        return rc;
    }
    return temp.close();
}

bool swapWith(const QByteArray& other, const QByteArray& target) {
    return ::renameat2(AT_FDCWD, other.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0;
}

} // namespace

int replaceFile(const QString& path, const QByteArray& contents, const AtomicWriteOptions& options) {
    QByteArray target;
    if (const int rc = writeTarget(path, target); rc != 0) {
        return rc;
    }
    const QFileInfo info(QFile::decodeName(target));
    PendingFile temp(temporaryPattern(info));
    if (const int rc = writePending(temp, target, contents, options); rc != 0) {
        return rc;
    }
    if (::rename(temp.path().constData(), target.constData()) != 0) {
        return errno;
    }
    temp.release();
    return 0;
}

FrequentFile::FrequentFile(QString path, AtomicWriteOptions options)
    : path_(std::move(path)), pathBytes_(QFile::encodeName(QFileInfo(path_).absoluteFilePath())), options_(options) {
    removeStaleTemporaries(path_);
}

FrequentFile::~FrequentFile() { dropSpare(); }

void FrequentFile::dropSpare() {
    if (!spare_.isEmpty()) {
        ::unlink(spare_.constData());
        spare_.clear();
    }
}

bool FrequentFile::rewriteSpare(const QByteArray& target, const QByteArray& contents) {
    const int fd = ::open(spare_.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    // A write lease is granted only while no other process has the file open, and it makes
    // anyone opening it now wait for us: a reader still busy with the frame is never changed
    // under it. Taken back at once: nobody can reach the spare by the file's name.
    bool done = ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0;
    if (done) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        // The spare is the file the last swap took away: written in place only when it is still
        // this writer's own, not one someone else left there, nor a hard link to another file.
        struct stat own {};
        done = ::fstat(fd, &own) == 0 && own.st_nlink == 1 && own.st_uid == ::geteuid() &&
               writeContent(fd, own, target, contents, options_) == 0;
    }
    done = ::close(fd) == 0 && done;
    return done && swapWith(spare_, target);
}

int FrequentFile::replace(const QByteArray& contents) {
    // Mostly the file is where it was: one lstat says so. A link is followed as replaceFile does.
    struct stat st {};
    QByteArray target = pathBytes_;
    if (::lstat(pathBytes_.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (const int rc = writeTarget(path_, target); rc != 0) {
            dropSpare();
            return rc;
        }
    }
    const QFileInfo info(QFile::decodeName(target));
    if (!spare_.isEmpty()) {
        if (rewriteSpare(target, contents)) {
            return 0; // and the spare is now the file just replaced
        }
        // Still open somewhere, gone, or not ours to lease: a fresh one, and the old one goes
        // (a reader keeps what it has open).
        dropSpare();
    }
    PendingFile temp(temporaryPattern(info));
    if (const int rc = writePending(temp, target, contents, options_); rc != 0) {
        return rc;
    }
    if (swapWith(temp.path(), target)) {
        spare_ = temp.path();
        temp.release();
        return 0;
    }
    // A filesystem that cannot swap: a plain rename, every time.
    if (::rename(temp.path().constData(), target.constData()) != 0) {
        return errno;
    }
    temp.release();
    return 0;
}

bool writeFileAtomically(const QString& path, const QByteArray& contents, const AtomicWriteOptions& options,
                         QString* error) {
    const int rc = replaceFile(path, contents, options);
    if (rc != 0 && error != nullptr) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(rc)));
    }
    return rc == 0;
}

} // namespace oculet
