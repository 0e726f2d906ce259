#include "platform/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oculet {
namespace {

FileRead::Outcome failure(int error) {
    return error == ENOENT || error == ENOTDIR ? FileRead::Outcome::Missing : FileRead::Outcome::Failed;
}

// An open descriptor of the plain file at `path`, or -1 with `result` saying why not. The type is
// looked at before opening, so a device is never opened at all, and again on the open file, so
// a FIFO put there in between is still refused. O_NONBLOCK keeps open() of a FIFO from waiting.
int openPlain(const QString& path, FileRead& result, struct stat& st) {
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0) {
        result.error = errno;
        result.outcome = failure(result.error);
        return -1;
    }
    int fd = S_ISREG(st.st_mode) ? ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
    if (S_ISREG(st.st_mode) && fd < 0) {
        result.error = errno;
        result.outcome = failure(result.error);
        return -1;
    }
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        result.outcome = FileRead::Outcome::NotAFile;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

QString FileRead::reason() const {
    switch (outcome) {
    case Outcome::Read: return {};
    case Outcome::Missing: return QStringLiteral("it does not exist");
    case Outcome::NotAFile: return QStringLiteral("it is not a plain file");
    case Outcome::TooLarge: return QStringLiteral("it is larger than %1 KiB").arg((limit + 1023) / 1024);
    case Outcome::Failed: break;
    }
    return QString::fromLocal8Bit(std::strerror(error));
}

FileRead readRegularFile(const QString& path, qint64 maxBytes) {
    FileRead result;
    result.limit = maxBytes;
    struct stat st {};
    const int fd = openPlain(path, result, st);
    if (fd < 0) {
        return result;
    }
    QByteArray bytes;
    // One byte past the limit tells a file that grew since fstat from one that fits.
    bytes.resize(std::min<qint64>(std::max<qint64>(st.st_size, 4096), maxBytes + 1));
    qint64 have = 0;
    while (true) {
        if (have == bytes.size()) {
            if (have > maxBytes) {
                break;
            }
            bytes.resize(std::min<qint64>(have * 2, maxBytes + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + have, static_cast<size_t>(bytes.size() - have));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            result.error = errno;
            result.outcome = FileRead::Outcome::Failed;
            ::close(fd);
            return result;
        }
        if (n == 0) {
            break;
        }
        have += n;
    }
    ::close(fd);
    if (have > maxBytes) {
        result.outcome = FileRead::Outcome::TooLarge;
        return result;
    }
    bytes.truncate(have);
    result.bytes = std::move(bytes);
    result.outcome = FileRead::Outcome::Read;
    return result;
}

bool plantedByAnotherUser(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : name.left(slash);
    struct stat entry {};
    struct stat dir {};
    if (::lstat(name.constData(), &entry) != 0 || ::stat(folder.constData(), &dir) != 0) {
        return false;
    }
    const uid_t self = ::geteuid();
    const auto trusted = [self](uid_t owner) { return owner == self || owner == 0; };
    return !trusted(entry.st_uid) && ((dir.st_mode & (S_IWGRP | S_IWOTH)) != 0 || !trusted(dir.st_uid));
}

bool openRegularFile(QFile& file, const QString& path) {
    FileRead result;
    struct stat st {};
    const int fd = openPlain(path, result, st);
    if (fd < 0) {
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

} // namespace oculet
