#include "platform/AtomicFile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oculet {
namespace {

bool fail(QString* error, const QString& what, int err) {
    if (error != nullptr) {
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err));
    }
    return false;
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& contents, mode_t mode, QString* error) {
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                        QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return fail(error, QStringLiteral("cannot create a file in %1").arg(info.absolutePath()), errno);
    }
    auto abandon = [&](const QString& what, int err) {
        ::close(fd);
        ::unlink(temp.constData());
        return fail(error, what, err);
    };
    if (::fchmod(fd, mode) != 0) {
        return abandon(QStringLiteral("cannot set the permissions of %1").arg(path), errno);
    }
    const char* data = contents.constData();
    qsizetype left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return abandon(QStringLiteral("cannot write %1").arg(path), n < 0 ? errno : ENOSPC);
        }
        data += n;
        left -= n;
    }
    if (::fsync(fd) != 0) {
        return abandon(QStringLiteral("cannot write %1").arg(path), errno);
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(error, QStringLiteral("cannot write %1").arg(path), err);
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(error, QStringLiteral("cannot replace %1").arg(path), err);
    }
    return true;
}

} // namespace oculet
