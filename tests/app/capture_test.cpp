// The real program capturing real windows under Xvfb: the capture rectangle lands on the whole
// frame, the source window is followed, lost, warned about once and found again, and Cam_1.bmp
// is rewritten on every cycle whatever happens beside the executable.
#include "settings/SettingsTable.h"
#include "platform/IniFile.h"
#include "tests/app/SystemTest.h"
#include "tests/support/TestWindow.h"

#include <csignal>
#include <vector>

namespace oculet::test {
namespace {

// EasyPal as the source, the Oculet window in the top-left corner, and no overlay that would
// cover the captured picture (the name stamp in the bottom-right corner stays).
QByteArray easyPalSettings(QRect stored, QPoint offset) {
    return QStringLiteral("[program]\nprog=0\n[me]\nleft=0\ntop=0\n"
                          "[captureleft]\n0=%1\n[capturetop]\n0=%2\n"
                          "[capturewidth]\n0=%3\n[captureheight]\n0=%4\n"
                          "[captureoffx]\n0=%5\n[captureoffy]\n0=%6\n"
                          "[clockonz]\n0=0\n[clockonl]\n0=0\n[txton]\n0=0\n[lastrx]\n0=False\n"
                          "[epprogress]\nbar=0\n")
        .arg(stored.x())
        .arg(stored.y())
        .arg(stored.width())
        .arg(stored.height())
        .arg(offset.x())
        .arg(offset.y())
        .toUtf8();
}

// Points of the frame and the quadrant colour a whole-frame picture of test_window's quadrants
// puts there: the centres, the corners and both sides of the two dividing lines.
struct Expected {
    QPoint at;
    bool (*colour)(QRgb);
    const char* name;
};
const std::vector<Expected> kQuadrants = {
    {{80, 60}, isRed, "red"},        {{240, 60}, isGreen, "green"},   {{80, 180}, isBlue, "blue"},
    {{240, 180}, isYellow, "yellow"}, {{1, 1}, isRed, "red"},         {{318, 1}, isGreen, "green"},
    {{1, 238}, isBlue, "blue"},      {{280, 238}, isYellow, "yellow"}, {{157, 60}, isRed, "red"},
    {{163, 60}, isGreen, "green"},    {{80, 117}, isRed, "red"},       {{80, 123}, isBlue, "blue"},
    {{157, 180}, isBlue, "blue"},    {{163, 180}, isYellow, "yellow"}, {{240, 117}, isGreen, "green"},
    {{240, 123}, isYellow, "yellow"},
};

QStringList quadrantMismatches(const QImage& frame) {
    QStringList wrong;
    if (frame.size() != QSize(320, 240)) {
        return {QStringLiteral("no frame")};
    }
    for (const Expected& e : kQuadrants) {
        const QRgb c = frame.pixel(e.at);
        if (!e.colour(c)) {
            wrong << QStringLiteral("(%1,%2) is #%3, not %4")
                         .arg(e.at.x())
                         .arg(e.at.y())
                         .arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                         .arg(QLatin1String(e.name));
        }
    }
    return wrong;
}

bool centreIs(const QImage& frame, bool (*colour)(QRgb)) {
    return !frame.isNull() && colour(frame.pixel(160, 120));
}

// The source label on the menu bar, read from the screen: red behind white text when the source
// is missing, the window's own background behind dark text otherwise.
enum class Label { Normal, Missing, Other };
Label programLabel(X11Probe& probe, const ProbedWindow& main) {
    const QImage label = probe.grab(QRect(main.geometry.topLeft() + QPoint(0, 1), QSize(75, 19)));
    if (label.isNull()) {
        return Label::Other;
    }
    const QRgb background = label.pixel(2, 9);
    int white = 0;
    int dark = 0;
    for (int y = 0; y < label.height(); ++y) {
        for (int x = 0; x < label.width(); ++x) {
            const QRgb c = label.pixel(x, y);
            white += qRed(c) > 230 && qGreen(c) > 230 && qBlue(c) > 230 ? 1 : 0;
            dark += qGray(c) < 60 && !isRed(c) ? 1 : 0;
        }
    }
    if (qRed(background) >= 0xB8 && qRed(background) <= 0xC8 && qGreen(background) < 10 &&
        qBlue(background) < 10 && white > 10) {
        return Label::Missing;
    }
    return !isRed(background) && dark > 10 ? Label::Normal : Label::Other;
}

bool waitForLabel(X11Probe& probe, const ProbedWindow& main, Label wanted, int timeout_ms = 3000) {
    return pollUntil(timeout_ms, [&] { return programLabel(probe, main) == wanted; });
}

QStringList tracks(const QString& colour) { return {QStringLiteral("--colour"), colour}; }

using CaptureTest = SystemTest;

TEST_F(CaptureTest, CaptureRectangleIsStretchedOverTheWholeFrame) {
    struct Row {
        const char* name;
        QRect window;
        QPoint offset;
        QSize capture;
    };
    // Both put the quadrants' dividing lines on the frame's middle lines: the first scales by
    // 0.8 both ways, the second halves the width and keeps the height (taking the middle band
    // of a 640 x 480 window), so a crop or a kept aspect ratio would show.
    const std::vector<Row> rows = {
        {"400 x 300 fills the frame", {500, 200, 400, 300}, {0, 0}, {400, 300}},
        {"640 x 240 is squeezed sideways", {500, 200, 640, 480}, {0, 120}, {640, 240}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestEnvironment::resetUserFolders();
        TestWindow easyPal;
        ASSERT_TRUE(easyPal.start(QStringLiteral("EasyPal"), row.window, {QStringLiteral("--quadrants")}));
        ASSERT_TRUE(easyPal.waitReady());
        writeSettingsFile(easyPalSettings(QRect(row.window.topLeft() + row.offset, row.capture), row.offset));

        OculetProcess oculet;
        ASSERT_TRUE(oculet.start());
        ASSERT_TRUE(oculet.waitForMainWindow().has_value());
        ASSERT_TRUE(waitForNewVersion(camBitmapPath(), std::nullopt));
        const QImage frame = nextFrame();
        const QStringList wrong = quadrantMismatches(frame);
        EXPECT_TRUE(wrong.isEmpty()) << wrong.join(QStringLiteral("; ")).toStdString();
        EXPECT_FALSE(oculet.waitForMessageBox(0).has_value()) << "warned although the source is there";
        EXPECT_EQ(oculet.terminate(), 0);
        EXPECT_TRUE(easyPal.quit());
    }
}

TEST_F(CaptureTest, FollowsTheSourceAndWarnsOnceWhenItCloses) {
    // The stored capture place shows a blue window that is not the source.
    const QRect stored(1200, 600, 400, 300);
    TestWindow backdrop;
    ASSERT_TRUE(backdrop.start(QStringLiteral("Backdrop"), stored, tracks(QStringLiteral("#0000ff"))));
    ASSERT_TRUE(backdrop.waitReady());
    auto easyPal = std::make_unique<TestWindow>();
    ASSERT_TRUE(easyPal->start(QStringLiteral("EasyPal"), {700, 100, 400, 300}, tracks(QStringLiteral("#00ff00"))));
    ASSERT_TRUE(easyPal->waitReady());
    writeSettingsFile(easyPalSettings(stored, {0, 0}));

    OculetProcess oculet;
    ASSERT_TRUE(oculet.start());
    const auto main = oculet.waitForMainWindow();
    ASSERT_TRUE(main.has_value());
    EXPECT_TRUE(centreIs(waitForFrame([](const QImage& f) { return centreIs(f, isGreen); }), isGreen));
    EXPECT_TRUE(waitForLabel(probe, *main, Label::Normal));

    // Where the window was is black now: a capture that stayed there would show it.
    ASSERT_TRUE(easyPal->move(700, 500));
    nextFrame();
    EXPECT_TRUE(centreIs(nextFrame(), isGreen)) << "the capture did not follow the moved window";

    ASSERT_TRUE(easyPal->quit());
    easyPal.reset();
    const auto warning = oculet.waitForMessageBox();
    ASSERT_TRUE(warning.has_value()) << "no warning when the source closed";
    EXPECT_EQ(warning->title, QStringLiteral("Oculet"));
    EXPECT_TRUE(waitForLabel(probe, *main, Label::Missing)) << "the source label is not white on red";
    QThread::msleep(600); // a few cycles' time: no second box may join the first
    int boxes = 0;
    for (const ProbedWindow& w : probe.find(oculet.pid())) {
        boxes += w.mapped && w.id != main->id ? 1 : 0;
    }
    EXPECT_EQ(boxes, 1);

    ASSERT_TRUE(oculet.answer(Key::Return)); // Yes: carry on without the source
    EXPECT_GE(countNewVersions(camBitmapPath(), 1500), 3) << "frames stopped after the warning";
    EXPECT_TRUE(centreIs(readCamBitmap(), isBlue)) << "frames do not show the stored capture place";
    EXPECT_FALSE(oculet.waitForMessageBox(300).has_value()) << "warned again after Yes";
    EXPECT_EQ(programLabel(probe, *main), Label::Missing);
    EXPECT_EQ(oculet.terminate(), 0);
}

TEST_F(CaptureTest, PicksUpASourceStartedLaterAndFollowsItsMoves) {
    writeSettingsFile(easyPalSettings({1200, 600, 400, 300}, {0, 0}));
    OculetProcess oculet;
    ASSERT_TRUE(oculet.start());
    const auto main = oculet.waitForMainWindow();
    ASSERT_TRUE(main.has_value());
    ASSERT_TRUE(oculet.waitForMessageBox().has_value());
    EXPECT_TRUE(waitForLabel(probe, *main, Label::Missing));
    ASSERT_TRUE(oculet.answer(Key::Return));

    TestWindow easyPal;
    ASSERT_TRUE(easyPal.start(QStringLiteral("EasyPal"), {600, 100, 400, 300}, {QStringLiteral("--quadrants")}));
    ASSERT_TRUE(easyPal.waitReady());
    QImage frame = waitForFrame([](const QImage& f) { return quadrantMismatches(f).isEmpty(); });
    EXPECT_TRUE(quadrantMismatches(frame).isEmpty())
        << quadrantMismatches(frame).join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(waitForLabel(probe, *main, Label::Normal)) << "the source label stayed red";

    // Off by any part of the move, the dividing lines would no longer sit in the middle.
    ASSERT_TRUE(easyPal.move(900, 450));
    nextFrame();
    frame = nextFrame();
    EXPECT_TRUE(quadrantMismatches(frame).isEmpty())
        << quadrantMismatches(frame).join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(oculet.terminate(), 0);
    EXPECT_TRUE(easyPal.quit());
}

TEST_F(CaptureTest, AnsweringNoEndsTheProgramThroughTheNormalShutdown) {
    // A fresh user: EasyPal is the source and there is no EasyPal window.
    OculetProcess oculet;
    ASSERT_TRUE(oculet.start());
    ASSERT_TRUE(oculet.waitForMainWindow().has_value());
    ASSERT_TRUE(oculet.waitForMessageBox().has_value());
    EXPECT_FALSE(QFileInfo::exists(TestEnvironment::settingsFile()));
    ASSERT_TRUE(oculet.answer(Key::Escape));
    EXPECT_EQ(oculet.waitForExit(), 0);
    const IniFile saved = IniFile::read(TestEnvironment::settingsFile());
    for (const SettingEntry& entry : settingsTable()) {
        EXPECT_TRUE(saved.value(entry.section, entry.perIndex() ? QStringLiteral("4") : entry.key).has_value())
            << entry.section.toStdString() << "/" << entry.key.toStdString();
    }
}

TEST_F(CaptureTest, CamBitmapIsRewrittenEveryCycleWhateverTheProgramFolderAllows) {
    struct Row {
        const char* name;
        bool programFolderBlocked; // "Cam_1.bmp" beside the executable is a directory
    };
    const std::vector<Row> rows = {
        {"program folder writable", false},
        {"program folder copy impossible", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestEnvironment::resetUserFolders();
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("program"));
        const QString binary = copyOculetInto(folder);
        ASSERT_FALSE(binary.isEmpty());
        const QString beside = folder + QStringLiteral("/Cam_1.bmp");
        if (row.programFolderBlocked) {
            ASSERT_TRUE(QDir().mkpath(beside));
        }
        // Webcam mode: nothing is published, the bitmap is the product.
        writeSettingsFile("[program]\nprog=4\n[me]\nleft=0\ntop=0\n[ftp]\nftpon=False\n"
                          "[captureleft]\n4=1400\n[capturetop]\n4=700\n");

        OculetProcess oculet(binary);
        ASSERT_TRUE(oculet.start());
        ASSERT_TRUE(oculet.waitForMainWindow().has_value());
        ASSERT_TRUE(waitForNewVersion(camBitmapPath(), std::nullopt));
        // About four cycles a second; each writes a new file.
        EXPECT_GE(countNewVersions(camBitmapPath(), 1500), 3);
        readCamBitmap();
        if (row.programFolderBlocked) {
            EXPECT_TRUE(QFileInfo(beside).isDir());
        } else {
            EXPECT_GE(countNewVersions(beside, 1000), 2);
            readCamBitmap(beside);
        }
        EXPECT_EQ(oculet.terminate(), 0);
    }
}

} // namespace
} // namespace oculet::test
