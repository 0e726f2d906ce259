#pragma once

// What the system tests of the frame's overlays and of publishing share: a settings file written
// before the real program starts, a black stand-in for the radio program's picture area (so every
// overlay pixel stands out), Cam_1.bmp read without Qt's decoder, and the places of the
// publishing panel's controls.

#include "settings/Settings.h"
#include "platform/MessageBoxes.h"
#include "publish/FtpPanel.h"
#include "tests/support/OculetProcess.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestWindow.h"
#include "tests/app/SystemTest.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QMap>
#include <QRect>
#include <QString>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace oculet::test::publish_system {

// The stand-in source window: a black field well away from Oculet's own window at (0, 0).
inline const QRect kBackdrop(800, 100, 600, 500);
// Where the frame is copied from: inside the backdrop, for the screen-capture source (absolute)
// and for a titled source window (offset from the window's corner).
inline const QRect kCaptureOnScreen(850, 150, 400, 300);
inline const QPoint kCaptureOffset(50, 50);

// Oculet's main window: the frame lies below the 22-pixel menu bar, one pixel in.
inline const QPoint kFrameInWindow(1, 22);
// "Cam mode" on the menu bar.
inline const QPoint kCamModeLabel(210, 11);

// ---- Settings file ------------------------------------------------------------------------

// The settings file as the program reads it: sections and keys in lower case.
class SettingsFile {
  public:
    SettingsFile& set(const QString& section, const QString& key, const QString& value) {
        values_[section.toLower()][key.toLower()] = value;
        return *this;
    }
    SettingsFile& set(const QString& section, const QString& key, int value) {
        return set(section, key, QString::number(value));
    }
    // A per-program value for program `program`.
    SettingsFile& forProgram(const QString& section, int program, const QString& value) {
        return set(section, QString::number(program), value);
    }
    SettingsFile& forProgram(const QString& section, int program, int value) {
        return forProgram(section, program, QString::number(value));
    }

    QByteArray text() const {
        QByteArray text;
        for (auto section = values_.cbegin(); section != values_.cend(); ++section) {
            text += '[' + section.key().toUtf8() + "]\n";
            for (auto entry = section->cbegin(); entry != section->cend(); ++entry) {
                text += entry.key().toUtf8() + '=' + entry.value().toUtf8() + '\n';
            }
        }
        return text;
    }

  private:
    QMap<QString, QMap<QString, QString>> values_;
};

// A frame with nothing on it but the copied picture and the name stamp: every overlay off, the
// capture on the black backdrop, the window in the top-left corner, webcam mode.
inline SettingsFile quietFrame(int program) {
    SettingsFile s;
    s.set("program", "prog", program).set("me", "left", 0).set("me", "top", 0);
    s.set("bar", "epprogress", 0).set("ftp", "ftpon", "False");
    s.forProgram("captureleft", program, kCaptureOnScreen.left())
        .forProgram("capturetop", program, kCaptureOnScreen.top())
        .forProgram("capturewidth", program, kCaptureOnScreen.width())
        .forProgram("captureheight", program, kCaptureOnScreen.height())
        .forProgram("captureoffx", program, kCaptureOffset.x())
        .forProgram("captureoffy", program, kCaptureOffset.y())
        .forProgram("clockonz", program, 0)
        .forProgram("clockonl", program, 0)
        .forProgram("txton", program, 0)
        .forProgram("ftxton", program, 0)
        .forProgram("lastrx", program, "False");
    return s;
}

// ---- Cam_1.bmp ------------------------------------------------------------------------------

// Waits for a frame written after this call: the file is removed and read once it is back.
// The program replaces it whole (write, then rename), so what is read is always a full frame.
// Read by the tests' own bitmap reader (SystemTest.h), not Qt's.
inline std::optional<QImage> waitForFreshFrame(int timeout_ms = 4000) {
    QFile::remove(camBitmapPath());
    std::optional<QImage> frame;
    pollUntil(timeout_ms, [&] {
        frame = decodeBitmap(readWholeFile(camBitmapPath()), nullptr);
        return frame.has_value();
    });
    return frame;
}

// ---- Colours ---------------------------------------------------------------------------------

// Text is drawn with smoothed edges; the colour tests (SystemTest.h) take the body of a glyph,
// not its fringe.
inline bool isBlack(QRgb c) {
    return qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16;
}
inline bool isNear(QRgb c, QColor want, int tolerance) {
    return std::abs(qRed(c) - want.red()) <= tolerance &&
           std::abs(qGreen(c) - want.green()) <= tolerance &&
           std::abs(qBlue(c) - want.blue()) <= tolerance;
}

// The smallest rectangle holding every pixel of `area` that `match` accepts; null when none does.
inline QRect boundsOf(const QImage& bmp, const std::function<bool(QRgb)>& match, QRect area = {}) {
    if (area.isNull()) {
        area = QRect(0, 0, bmp.width(), bmp.height());
    }
    area = area.intersected(QRect(0, 0, bmp.width(), bmp.height()));
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (match(bmp.pixel(x, y))) {
                bounds = bounds.united(QRect(x, y, 1, 1));
            }
        }
    }
    return bounds;
}

inline int countOf(const QImage& bmp, const std::function<bool(QRgb)>& match, const QRect& area) {
    int n = 0;
    const QRect a = area.intersected(QRect(0, 0, bmp.width(), bmp.height()));
    for (int y = a.top(); y <= a.bottom(); ++y) {
        for (int x = a.left(); x <= a.right(); ++x) {
            n += match(bmp.pixel(x, y)) ? 1 : 0;
        }
    }
    return n;
}

// The runs of consecutive rows holding at least one matching pixel: one per line of text.
inline std::vector<std::pair<int, int>> rowBands(const QImage& bmp,
                                                 const std::function<bool(QRgb)>& match) {
    std::vector<std::pair<int, int>> bands;
    for (int y = 0; y < bmp.height(); ++y) {
        bool any = false;
        for (int x = 0; x < bmp.width() && !any; ++x) {
            any = match(bmp.pixel(x, y));
        }
        if (any) {
            if (!bands.empty() && bands.back().second == y - 1) {
                bands.back().second = y;
            } else {
                bands.emplace_back(y, y);
            }
        }
    }
    return bands;
}

// ---- The real program -------------------------------------------------------------------------

// Runs each test against a black window standing in for the radio program; the window lives
// for the whole suite and is retitled to whichever program a test pretends to be.
class OculetSystemTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        backdrop_ = std::make_unique<TestWindow>();
        if (!backdrop_->start(QStringLiteral("Backdrop"), kBackdrop,
                              {QStringLiteral("--colour"), QStringLiteral("#000000")}) ||
            !backdrop_->waitReady()) {
            backdrop_.reset();
        }
    }
    static void TearDownTestSuite() {
        if (backdrop_) {
            backdrop_->quit();
            backdrop_.reset();
        }
    }
    void SetUp() override { ASSERT_TRUE(backdrop_) << "the stand-in source window did not start"; }

    // Gives the backdrop the title a source program is found by, and puts it on top.
    static void showBackdropAs(const QString& title) {
        ASSERT_TRUE(backdrop_->retitle(title));
        ASSERT_TRUE(backdrop_->raise());
    }

    static inline std::unique_ptr<TestWindow> backdrop_;
};

// Starts Oculet on fresh user folders with `settings`; the main window is up when this returns.
inline std::optional<ProbedWindow> startOculet(OculetProcess& oculet, const SettingsFile& settings,
                                               const std::function<void()>& prepare = {}) {
    TestEnvironment::resetUserFolders();
    writeSettingsFile(settings.text());
    if (::testing::Test::HasFailure()) {
        return std::nullopt;
    }
    QDir().mkpath(TestEnvironment::dataFolder());
    if (prepare) {
        prepare();
    }
    if (!oculet.start()) {
        ADD_FAILURE() << "Oculet did not start";
        return std::nullopt;
    }
    auto window = oculet.waitForMainWindow();
    if (!window) {
        ADD_FAILURE() << "no main window; error output:\n" << oculet.standardError().toStdString();
    }
    return window;
}

// Ends Oculet as the session would and checks that it closed cleanly; returns how long it took.
inline qint64 stopOculet(OculetProcess& oculet) {
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(oculet.terminate(10000), 0) << oculet.standardError().toStdString();
    return timer.elapsed();
}

// ---- The publishing panel -----------------------------------------------------------------------

// Where the publishing panel's controls lie in Oculet's window. The panel lays itself out, so the
// places are read from the same panel class built here with the same fonts and style; the panel
// sits at (-1, 0) on the frame.
struct PanelPlaces {
    QPoint ftpUpload;   // optFtp index 0, on its indicator
    QPoint webcam;      // optFtp index 1, on its indicator
    QPoint closeButton; // cmdCloseFtp
    QRect panel;        // the whole panel
};

inline PanelPlaces publishingPanelPlaces() {
    struct NoBoxes final : MessageBoxes {
        void inform(const QString&) override {}
        void warn(const QString&) override {}
        bool askYesNo(const QString&) override { return true; }
    };
    static NoBoxes boxes;
    Settings settings;
    FtpPanel panel(settings, boxes, nullptr, TestEnvironment::makeTempDir(QStringLiteral("panel")));
    panel.ensurePolished();
    panel.layout()->activate();
    const QPoint origin = kFrameInWindow + QPoint(-1, 0);
    auto indicator = [&](const char* name) {
        const QRect r = panel.findChild<QAbstractButton*>(QString::fromLatin1(name))->geometry();
        return origin + QPoint(r.left() + 7, r.center().y());
    };
    PanelPlaces places;
    places.ftpUpload = indicator("optFtp0");
    places.webcam = indicator("optFtp1");
    places.closeButton =
        origin +
        panel.findChild<QAbstractButton*>(QStringLiteral("cmdCloseFtp"))->geometry().center();
    places.panel = QRect(origin, panel.size());
    return places;
}

// The frame as the window shows it on the screen.
inline QImage shownFrame(OculetProcess& oculet, const ProbedWindow& window) {
    return oculet.probe().grab(QRect(window.geometry.topLeft() + kFrameInWindow, QSize(320, 240)));
}

// How many pixels of two same-sized pictures differ.
inline int differingPixels(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            n += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return n;
}

} // namespace oculet::test::publish_system
