#pragma once

// Shared by the system tests that run the real oculet binary: a fresh user for every test, a
// settings file written the way a user's would be, an independent reader for Cam_1.bmp, a watch
// on how often that file is rewritten, and the window manager's close request.

#include "tests/support/OculetProcess.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <xcb/xcb.h>

namespace oculet::test {

inline const QString kOculetBinary = QStringLiteral(OCULET_BINARY);

inline void writeSettingsFile(const QByteArray& ini) {
    QDir().mkpath(QFileInfo(TestEnvironment::settingsFile()).absolutePath());
    QFile file(TestEnvironment::settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(ini), ini.size());
}

inline QByteArray readWholeFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QString camBitmapPath() { return TestEnvironment::dataFolder() + QStringLiteral("/Cam_1.bmp"); }

// A copy of the binary in a folder of its own, for what happens beside the executable.
inline QString copyOculetInto(const QString& folder) {
    const QString target = folder + QStringLiteral("/oculet");
    QFile::remove(target);
    if (!QFile::copy(kOculetBinary, target)) {
        return {};
    }
    QFile::setPermissions(target, QFile::permissions(kOculetBinary));
    return target;
}

// Decodes a Windows bitmap without Qt's reader, so a writer and a reader sharing one mistake
// cannot agree on a wrong file. Accepts what a webcam program needs: an uncompressed 24-bit
// picture with the standard headers. Bottom-up and top-down rows are both read.
inline std::optional<QImage> decodeBitmap(const QByteArray& bytes, QString* why) {
    auto fail = [why](const QString& text) -> std::optional<QImage> {
        if (why != nullptr) {
            *why = text;
        }
        return std::nullopt;
    };
    auto u16 = [&](int at) { return std::uint32_t(std::uint8_t(bytes[at])) | std::uint32_t(std::uint8_t(bytes[at + 1])) << 8; };
    auto u32 = [&](int at) { return u16(at) | u16(at + 2) << 16; };
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') {
        return fail(QStringLiteral("no BMP signature (%1 bytes)").arg(bytes.size()));
    }
    if (u32(2) != std::uint32_t(bytes.size())) {
        return fail(QStringLiteral("header says %1 bytes, file has %2").arg(u32(2)).arg(bytes.size()));
    }
    const std::uint32_t offset = u32(10);
    const std::uint32_t infoSize = u32(14);
    const int width = int(u32(18));
    const int rawHeight = int(u32(22));
    if (infoSize < 40 || u16(26) != 1 || u16(28) != 24 || u32(30) != 0) {
        return fail(QStringLiteral("not an uncompressed 24-bit bitmap (info %1, bpp %2, compression %3)")
                        .arg(infoSize)
                        .arg(u16(28))
                        .arg(u32(30)));
    }
    const bool bottomUp = rawHeight > 0;
    const int height = bottomUp ? rawHeight : -rawHeight;
    if (width <= 0 || height <= 0) {
        return fail(QStringLiteral("empty picture %1 x %2").arg(width).arg(height));
    }
    const qsizetype stride = (qsizetype(width) * 3 + 3) / 4 * 4;
    if (qsizetype(offset) + stride * height > bytes.size()) {
        return fail(QStringLiteral("pixel data cut short"));
    }
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const int fileRow = bottomUp ? height - 1 - y : y;
        const auto* row = reinterpret_cast<const std::uint8_t*>(bytes.constData() + offset + stride * fileRow);
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
        }
    }
    return image;
}

// Cam_1.bmp as a webcam program would find it now; fails the test when it is not a valid
// 320 x 240 bitmap.
inline QImage readCamBitmap(const QString& path = camBitmapPath()) {
    QString why;
    const std::optional<QImage> image = decodeBitmap(readWholeFile(path), &why);
    EXPECT_TRUE(image.has_value()) << path.toStdString() << ": " << why.toStdString();
    if (!image) {
        return {};
    }
    EXPECT_EQ(image->size(), QSize(320, 240)) << path.toStdString();
    return *image;
}

// Which version of a file is on disk: a file replaced by rename has a new inode, a file
// rewritten in place a new modification time.
struct FileStamp {
    std::uint64_t inode = 0;
    std::int64_t modified_ns = 0;
    bool operator==(const FileStamp&) const = default;
};

inline std::optional<FileStamp> stampOf(const QString& path) {
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return FileStamp{std::uint64_t(st.st_ino), std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// Waits for a version of the file other than `before` (any version when `before` is empty).
inline bool waitForNewVersion(const QString& path, std::optional<FileStamp> before, int timeout_ms = 3000) {
    return pollUntil(timeout_ms, [&] {
        const std::optional<FileStamp> now = stampOf(path);
        return now.has_value() && now != before;
    });
}

// How many new versions of the file appear within `period_ms`, looking every few milliseconds.
inline int countNewVersions(const QString& path, int period_ms) {
    std::optional<FileStamp> last = stampOf(path);
    int versions = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < period_ms) {
        const std::optional<FileStamp> now = stampOf(path);
        if (now.has_value() && now != last) {
            ++versions;
            last = now;
        }
        QThread::msleep(5);
    }
    return versions;
}

// A frame written after this call: waits for a new version of Cam_1.bmp and reads it.
inline QImage nextFrame(const QString& path = camBitmapPath(), int timeout_ms = 3000) {
    const std::optional<FileStamp> before = stampOf(path);
    EXPECT_TRUE(waitForNewVersion(path, before, timeout_ms)) << "no new " << path.toStdString();
    return readCamBitmap(path);
}

// Polls frames until one satisfies `good`; returns the last frame read.
template <class Predicate> QImage waitForFrame(Predicate good, int timeout_ms = 4000) {
    QImage frame;
    pollUntil(timeout_ms, [&] {
        const std::optional<FileStamp> now = stampOf(camBitmapPath());
        if (!now) {
            return false;
        }
        QString why;
        const std::optional<QImage> image = decodeBitmap(readWholeFile(camBitmapPath()), &why);
        if (image) {
            frame = *image;
        }
        return image.has_value() && good(*image);
    });
    return frame;
}

// Asks a top-level window to close the way a window manager's close button does: the
// WM_DELETE_WINDOW client message of the ICCCM.
inline bool sendDeleteWindow(WindowId window) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (c == nullptr || xcb_connection_has_error(c) != 0) {
        if (c != nullptr) {
            xcb_disconnect(c);
        }
        return false;
    }
    auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply != nullptr ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    const bool sent = xcb_flush(c) > 0 && event.type != XCB_ATOM_NONE;
    xcb_disconnect(c);
    return sent;
}

// Every system test starts as a fresh user on a bare X server; a test that wants a window
// manager starts it itself.
class SystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestEnvironment::stopWindowManager();
        TestEnvironment::resetUserFolders();
        ASSERT_TRUE(probe.isConnected());
    }

    X11Probe probe;
};

inline bool isRed(QRgb c) { return qRed(c) > 160 && qGreen(c) < 60 && qBlue(c) < 60; }
inline bool isGreen(QRgb c) { return qGreen(c) > 160 && qRed(c) < 60 && qBlue(c) < 60; }
inline bool isBlue(QRgb c) { return qBlue(c) > 160 && qRed(c) < 60 && qGreen(c) < 60; }
inline bool isYellow(QRgb c) { return qRed(c) > 160 && qGreen(c) > 160 && qBlue(c) < 80; }
inline bool isMagenta(QRgb c) { return qRed(c) > 160 && qBlue(c) > 160 && qGreen(c) < 60; }

} // namespace oculet::test
