#include "publish/JpegWriter.h"

#include "platform/TurboJpeg.h"
#include "publish/DibSection.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oculet {
namespace {

// Owns a file descriptor and, until released, the temporary file behind it.
class TempFile {
public:
    ~TempFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!path_.isEmpty()) {
            ::unlink(path_.constData());
        }
    }
    // Creates a fresh file next to `target`; the umask applies to its mode as to any new file.
    int create(const QByteArray& target) {
        for (int attempt = 0; attempt < 16; ++attempt) {
            const QByteArray candidate =
                target + ".tmp" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
            fd_ = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                path_ = candidate;
                return 0;
            }
            if (errno != EEXIST) {
                return errno;
            }
        }
        return EEXIST;
    }
    int fd() const { return fd_; }
    const QByteArray& path() const { return path_; }
    int closeFd() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0 ? 0 : errno;
    }
    void release() { path_.clear(); }

private:
    int fd_ = -1;
    QByteArray path_;
};

int writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

[[noreturn]] void saveFailed(int code) {
    throw JpegError(QStringLiteral("Failed to save to JPG %1").arg(code), code);
}

} // namespace

JpegError::JpegError(QString message, int code)
    : std::runtime_error(message.toStdString()), message_(std::move(message)), code_(code) {}

QString JpegError::source() const {
    QString name = QCoreApplication::instance() != nullptr
                       ? QFileInfo(QCoreApplication::applicationFilePath()).fileName()
                       : QString();
    if (name.isEmpty()) {
        name = QStringLiteral("oculet");
    }
    return name + QStringLiteral(".mIntelJPEGLibrary");
}

bool writeJpegFile(const DibSection& dib, const QString& path, int quality) {
    TurboJpegEncoder encoder;
    return writeJpegFile(dib, path, quality, encoder);
}

bool writeJpegFile(const DibSection& dib, const QString& path, int quality, JpegEncoder& encoder) {
    if (const int rc = encoder.initialise(); rc != 0) {
        throw JpegError(QStringLiteral("Failed to initialise the IJL library: %1").arg(rc), rc);
    }
    std::vector<std::uint8_t> jpeg;
    if (const int rc = encoder.encodeBgrBottomUp(dib.bits(), dib.width(), dib.height(),
                                                 dib.bytesPerScanLine(), quality, jpeg);
        rc != 0) {
        saveFailed(rc);
    }

    const QByteArray target = QFile::encodeName(path);
    struct stat old {};
    const bool existed = ::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);

    TempFile temp;
    if (const int rc = temp.create(target); rc != 0) {
        saveFailed(rc);
    }
    if (const int rc = writeAll(temp.fd(), jpeg); rc != 0) {
        saveFailed(rc);
    }
    if (existed) {
        // A file overwritten frame after frame keeps the mode and times of the first one, so a
        // program watching the folder sees the same file it was given.
        const struct timespec times[2] = {old.st_atim, old.st_mtim};
        ::fchmod(temp.fd(), old.st_mode & 07777);
        ::futimens(temp.fd(), times);
    }
    if (const int rc = temp.closeFd(); rc != 0) {
        saveFailed(rc);
    }
    if (::rename(temp.path().constData(), target.constData()) != 0) {
        saveFailed(errno);
    }
    temp.release();
    return true;
}

void saveFrameAsJpeg(const QImage& frame, const QString& dataFolder) {
    DibSection dib;
    dib.createFromPicture(frame);
    writeJpegFile(dib, dataFolder + u'/' + tempJpegName(), kPublishedJpegQuality);
}

} // namespace oculet
