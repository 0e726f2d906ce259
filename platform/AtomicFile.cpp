#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
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

// The file a path finally names, following symbolic links (a bounded number, as the kernel does).
QFileInfo resolved(const QString& path) {
    QFileInfo info(path);
    for (int hops = 0; hops < 40 && info.isSymLink(); ++hops) {
        info = QFileInfo(info.symLinkTarget());
    }
    return info;
}

QString temporaryPrefix(const QFileInfo& info) { return QStringLiteral(".") + info.fileName() + u'.'; }

} // namespace

void removeStaleTemporaries(const QString& path) {
    const QFileInfo info = resolved(path);
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
    const QFileInfo info = resolved(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
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
        struct stat own {};
        done = ::fstat(fd, &own) == 0 && writeContent(fd, own, target, contents, options_) == 0;
    }
    done = ::close(fd) == 0 && done;
    return done && swapWith(spare_, target);
}

int FrequentFile::replace(const QByteArray& contents) {
    // Mostly the file is where it was: one lstat says so. A link is followed to the file it names.
    struct stat st {};
    const bool plain = ::lstat(pathBytes_.constData(), &st) == 0 && S_ISREG(st.st_mode);
    const QFileInfo info = plain ? QFileInfo(path_) : resolved(path_);
    const QByteArray target = plain ? pathBytes_ : QFile::encodeName(info.absoluteFilePath());
    // Only a regular file is swapped: a folder of that name must stay where it is.
    if (!plain && !info.isFile()) {
        dropSpare();
        return replaceFile(path_, contents, options_);
    }
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
