#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
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
    // A second link to the finished file `existing`, under a unique name made from `pattern`.
    PendingFile(const QByteArray& existing, QByteArray pattern) : path_(std::move(pattern)) {
        static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        const qsizetype suffix = path_.size() - 6;
        for (int attempt = 0; attempt < 8; ++attempt) {
            for (qsizetype i = suffix; i < path_.size(); ++i) {
                path_[i] = kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
            }
            if (::link(existing.constData(), path_.constData()) == 0) {
                return;
            }
            if (errno != EEXIST) {
                break;
            }
        }
        error_ = errno;
        path_.clear();
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
    int error() const { return error_; }
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
    int error_ = 0;
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

// Writes the whole new content into a fresh temporary file beside the target.
int writePending(PendingFile& temp, const QByteArray& target, const QByteArray& contents,
                 const AtomicWriteOptions& options) {
    if (!temp.made()) {
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
    return temp.close();
}

// Puts the finished temporary file where the target is.
int putInPlace(PendingFile& temp, const QFileInfo& info, const QByteArray& target, bool frequent) {
    // Only a regular file is swapped: a folder of that name must stay where it is, and a rename
    // refuses to replace one.
    if (frequent && info.isFile() &&
        ::renameat2(AT_FDCWD, temp.path().constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
        return 0; // the temporary name now holds the old file, which goes with it
    }
    // No old file yet, or a filesystem that cannot swap: a plain rename.
    if (::rename(temp.path().constData(), target.constData()) != 0) {
        return errno;
    }
    temp.release();
    return 0;
}

} // namespace

int replaceFile(const QString& path, const QByteArray& contents, const AtomicWriteOptions& options) {
    const QFileInfo info = resolved(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    PendingFile temp(temporaryPattern(info));
    if (const int rc = writePending(temp, target, contents, options); rc != 0) {
        return rc;
    }
    return putInPlace(temp, info, target, options.frequent);
}

std::vector<int> replaceFiles(const QStringList& paths, const QByteArray& contents, const AtomicWriteOptions& options) {
    std::vector<int> results;
    if (paths.isEmpty()) {
        return results;
    }
    const QFileInfo firstInfo = resolved(paths.first());
    const QByteArray firstTarget = QFile::encodeName(firstInfo.absoluteFilePath());
    PendingFile first(temporaryPattern(firstInfo));
    const int written = writePending(first, firstTarget, contents, options);
    // Every other file is linked to the first one's before that is put in place, while its
    // temporary name is still there to link to.
    std::vector<QFileInfo> infos;
    std::vector<std::unique_ptr<PendingFile>> links;
    for (qsizetype i = 1; i < paths.size(); ++i) {
        const QFileInfo& info = infos.emplace_back(resolved(paths[i]));
        links.push_back(written == 0 && !options.keepModeAndTimes
                            ? std::make_unique<PendingFile>(first.path(), temporaryPattern(info))
                            : nullptr);
    }
    results.push_back(written != 0 ? written : putInPlace(first, firstInfo, firstTarget, options.frequent));
    for (qsizetype i = 1; i < paths.size(); ++i) {
        PendingFile* link = links[std::size_t(i - 1)].get();
        if (link == nullptr || !link->made()) {
            // Another filesystem, or no first file to link to: written out in full.
            results.push_back(replaceFile(paths[i], contents, options));
            continue;
        }
        const QFileInfo& info = infos[std::size_t(i - 1)];
        results.push_back(putInPlace(*link, info, QFile::encodeName(info.absoluteFilePath()), options.frequent));
    }
    return results;
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
