#pragma once

// What the system tests of the real oculet binary share: a fresh user with a settings file, the
// settings saved at the end, the frames written to Cam_1.bmp, one colour test, the screen, and
// stand-in windows for the radio program.

#include "platform/IniFile.h"
#include "settings/SettingsTable.h"
#include "tests/support/OculetProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <gtest/gtest.h>
#include <memory>

namespace oculet::test {

// A fresh user (empty config, data and runtime folders) whose settings file holds `ini`.
inline void freshUser(const QByteArray& ini) {
    TestEnvironment::resetUserFolders();
    QDir().mkpath(QFileInfo(TestEnvironment::settingsFile()).absolutePath());
    ASSERT_TRUE(writeFile(TestEnvironment::settingsFile(), ini));
}

inline IniFile savedSettings() { return IniFile::read(TestEnvironment::settingsFile()).value_or(IniFile{}); }

// The settings the table knows but the file lacks; per-program ones under each of the five keys.
inline QStringList missingSettings(const IniFile& saved) {
    QStringList missing;
    for (const SettingEntry& entry : settingsTable()) {
        const QStringList keys = entry.perIndex() ? QStringList{"0", "1", "2", "3", "4"} : QStringList{entry.key};
        for (const QString& key : keys) {
            if (!saved.value(entry.section, key)) {
                missing << entry.section + u'/' + key;
            }
        }
    }
    return missing;
}

inline QString camBitmap(const QString& folder = TestEnvironment::dataFolder()) {
    return folder + QStringLiteral("/Cam_1.bmp");
}

// Waits for a frame written after this call that `good` accepts; returns the last frame read
// (null when none came). The program replaces the file whole, so a frame read is never partial.
inline QImage waitForFrame(const std::function<bool(const QImage&)>& good = {}, int timeout_ms = 4000,
                           const QString& path = camBitmap()) {
    QFile::remove(path);
    QImage frame;
    pollUntil(timeout_ms, [&] {
        frame = QImage(path);
        return !frame.isNull() && frame.size() == QSize(320, 240) && (!good || good(frame));
    });
    return frame;
}

// Whether a pixel shows about `want`: smoothed edges, scaling and JPEG leave some slack.
inline bool near(QRgb pixel, const QColor& want, int tolerance = 60) {
    return std::abs(qRed(pixel) - want.red()) <= tolerance && std::abs(qGreen(pixel) - want.green()) <= tolerance &&
           std::abs(qBlue(pixel) - want.blue()) <= tolerance;
}

// One pixel of the screen as the X server shows it now.
inline QRgb screenPixel(const QPoint& at) {
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixel(0, 0);
}

// A stand-in for a radio program's window: a frameless window of this test program with the
// title and picture a test chooses. Returns once the picture is on the screen.
inline std::unique_ptr<QLabel> showWindow(const QString& title, const QRect& place, const QImage& picture) {
    auto window = std::make_unique<QLabel>();
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setWindowTitle(title);
    window->setScaledContents(true);
    window->setPixmap(QPixmap::fromImage(picture));
    window->setGeometry(place);
    window->show();
    const QPoint corner(2, 2);
    EXPECT_TRUE(pollUntil(3000, [&] { return near(screenPixel(place.topLeft() + corner), picture.pixel(corner), 8); }))
        << title.toStdString() << " did not appear";
    return window;
}

} // namespace oculet::test
