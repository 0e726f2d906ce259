#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oculet {
namespace {

// The temporary file until it has taken its place: removed on every way out but success.
class PendingFile {
public:
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

int replaceFile(const QString& path, const QByteArray& contents, const AtomicWriteOptions& options) {
    const QFileInfo info = resolved(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    PendingFile temp(QFile::encodeName(info.absolutePath() + u'/' + temporaryPrefix(info) + QStringLiteral("XXXXXX")));
    if (temp.fd() < 0) {
        return errno;
    }
    struct stat old {};
    const bool keep = options.keepModeAndTimes && ::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);
    if (::fchmod(temp.fd(), keep ? (old.st_mode & 07777) : options.mode) != 0) {
        return errno;
    }
    if (const int rc = writeAll(temp.fd(), contents); rc != 0) {
        return rc;
    }
    if (keep) {
        const struct timespec times[2] = {old.st_atim, old.st_mtim};
        ::futimens(temp.fd(), times);
    }
    if (options.durable && ::fsync(temp.fd()) != 0) {
        return errno;
    }
    if (const int rc = temp.close(); rc != 0) {
        return rc;
    }
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
