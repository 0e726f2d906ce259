// Capture from a real window: the capture rectangle is stretched over the whole of Cam_1.bmp, it
// follows the source window, and a lost source is warned about once, carried on without and
// found again.
#include "tests/app/SystemTest.h"
#include "tests/platform/PixelCheck.h"

#include <QProcess>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace oculet::test {
namespace {

// Without a source the frame is taken from the stored place; with one, from the window's corner
// plus the offset, at the stored size: the middle band of a 640 x 480 window, squeezed sideways.
const QRect kStored(1200, 600, 640, 240);
const QPoint kOffset(0, 120);
const QSize kSourceSize(640, 480);

QImage quadrants() {
    const int w = kSourceSize.width() / 2, h = kSourceSize.height() / 2;
    return painted(kSourceSize, {{{0, 0, w, h}, qRgb(255, 0, 0)}, {{w, 0, w, h}, qRgb(0, 255, 0)},
                                 {{0, h, w, h}, qRgb(0, 0, 255)}, {{w, h, w, h}, qRgb(255, 255, 0)}});
}

// The centres and both sides of the dividing lines, where a crop, a kept aspect ratio or a
// shifted capture would show.
bool showsQuadrants(const QImage& frame) {
    const std::pair<QPoint, QColor> expected[] = {
        {{80, 60}, Qt::red},      {{240, 60}, Qt::green},  {{80, 180}, Qt::blue},    {{240, 180}, Qt::yellow},
        {{156, 60}, Qt::red},     {{164, 60}, Qt::green},  {{80, 116}, Qt::red},     {{80, 124}, Qt::blue},
        {{156, 180}, Qt::blue},   {{164, 180}, Qt::yellow}, {{240, 116}, Qt::green}, {{240, 124}, Qt::yellow},
    };
    return std::all_of(std::begin(expected), std::end(expected),
                       [&](const auto& e) { return near(frame.pixel(e.first), e.second); });
}

bool showsOnly(const QColor& colour, const QImage& frame) {
    return near(frame.pixel(80, 60), colour) && near(frame.pixel(240, 180), colour);
}

// The source caption on the menu bar turns red while the source is missing.
bool captionRed() { return near(screenPixel({3, 10}), QColor(0xC0, 0, 0), 20); }

// EasyPal is the source; no overlay covers the picture (the name stamp in its corner stays).
QByteArray settingsWithCapture() {
    return QStringLiteral("[program]\nprog=0\n[me]\nleft=0\ntop=0\n[epprogress]\nbar=0\n"
                          "[captureleft]\n0=%1\n[capturetop]\n0=%2\n[capturewidth]\n0=%3\n[captureheight]\n0=%4\n"
                          "[captureoffx]\n0=%5\n[captureoffy]\n0=%6\n"
                          "[clockonz]\n0=0\n[clockonl]\n0=0\n[txton]\n0=0\n[lastrx]\n0=False\n")
        .arg(kStored.x()).arg(kStored.y()).arg(kStored.width()).arg(kStored.height())
        .arg(kOffset.x()).arg(kOffset.y()).toUtf8();
}

// A fresh user's Oculet started with the radio program's window at `corner`, once a frame shows it.
std::unique_ptr<QLabel> startOnSource(OculetProcess& oculet, QPoint corner) {
    freshUser(settingsWithCapture());
    auto easyPal = showWindow(QStringLiteral("EasyPal"), QRect(corner, kSourceSize), quadrants());
    EXPECT_TRUE(oculet.start() && oculet.waitForMainWindow());
    EXPECT_TRUE(showsQuadrants(waitForFrame(showsQuadrants)));
    return easyPal;
}

TEST(Capture, FollowsTheSourceWindowAndCarriesOnWithoutIt) {
    freshUser(settingsWithCapture());
    QImage blue(kStored.size(), QImage::Format_RGB32);
    blue.fill(Qt::blue);
    const auto backdrop = showWindow(QStringLiteral("Backdrop"), kStored, blue);

    auto easyPal = showWindow(QStringLiteral("EasyPal"), QRect(QPoint(400, 150), kSourceSize), quadrants());

    OculetProcess oculet;
    ASSERT_TRUE(oculet.start());
    ASSERT_TRUE(oculet.waitForMainWindow());
    EXPECT_TRUE(showsQuadrants(waitForFrame(showsQuadrants))) << "the capture does not fill the frame";

    easyPal.reset();
    ASSERT_TRUE(oculet.waitForMessageBox()) << "no warning when the source closed";
    EXPECT_TRUE(pollUntil(3000, captionRed)) << "the source caption is not red";
    EXPECT_TRUE(oculet.answer(QStringLiteral("Return"))); // Yes: carry on without the source
    EXPECT_TRUE(showsOnly(Qt::blue, waitForFrame([](const QImage& f) { return showsOnly(Qt::blue, f); })))
        << "frames do not show the stored place";

    easyPal = showWindow(QStringLiteral("EasyPal"), QRect(QPoint(400, 150), kSourceSize), quadrants());
    EXPECT_TRUE(showsQuadrants(waitForFrame(showsQuadrants))) << "the source started again was not picked up";
    EXPECT_TRUE(pollUntil(3000, [] { return !captionRed(); })) << "the source caption stayed red";
    EXPECT_EQ(oculet.terminate(), 0);
}

// The frame is the source window's own picture: a browser over its middle and its half beyond
// the screen's right edge never show.
TEST(Capture, ShowsTheSourceWindowsOwnPixelsUnderACoverAndBeyondTheScreenEdge) {
    OculetProcess oculet;
    const auto easyPal = startOnSource(oculet, {1600, 150});
    ASSERT_FALSE(testing::Test::HasFailure());
    QImage white(kSourceSize / 2, QImage::Format_RGB32);
    white.fill(Qt::white);
    const auto cover = showWindow(QStringLiteral("Browser"), {1700, 300, 200, 120}, white);
    waitForFrame(); // two frames on: not a frame left over from before the cover
    EXPECT_TRUE(showsQuadrants(waitForFrame()));
    EXPECT_EQ(oculet.terminate(), 0);
}

// Under a window manager: a minimised source is missing until it is restored, and a window
// manager that starts again (and frames the window anew) neither loses it nor warns.
TEST(Capture, UnderAWindowManagerAMinimisedSourceIsMissingAndARestartedOneLosesNothing) {
    struct Leave { ~Leave() { TestEnvironment::stopWindowManager(); } } noWindowManagerAfter;
    ASSERT_TRUE(TestEnvironment::startWindowManager());
    OculetProcess oculet;
    const auto easyPal = startOnSource(oculet, {400, 150});
    ASSERT_FALSE(testing::Test::HasFailure());

    easyPal->showMinimized();
    ASSERT_TRUE(oculet.waitForMessageBox()) << "no warning while the source is minimised";
    EXPECT_TRUE(oculet.answer(QStringLiteral("Return")));
    easyPal->showNormal();
    EXPECT_TRUE(showsQuadrants(waitForFrame(showsQuadrants, 3000))) << "the restored source was not taken up";

    TestEnvironment::stopWindowManager();
    ASSERT_TRUE(TestEnvironment::startWindowManager());
    easyPal->move(300, 250);
    waitForFrame();
    EXPECT_TRUE(showsQuadrants(waitForFrame())) << "the source framed anew was not followed";
    QImage green(kSourceSize, QImage::Format_RGB32);
    green.fill(Qt::green);
    easyPal->setPixmap(QPixmap::fromImage(green));
    EXPECT_TRUE(showsOnly(Qt::green, waitForFrame([](const QImage& f) { return showsOnly(Qt::green, f); }, 3000)))
        << "a change in the source framed anew went unseen";
    EXPECT_FALSE(oculet.waitForMessageBox(1000)) << "warned while the window manager started again";
    EXPECT_EQ(oculet.terminate(), 0);
}

// On a display without Composite the screen is copied as before: the cover shows.
TEST(Capture, WithoutCompositeTheScreenIsCopiedAndTheCoverShows) {
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                                        "-extension", "Composite"});
    ASSERT_TRUE(xvfb.waitForReadyRead(10000));
    const QString display = u':' + QString::fromLatin1(xvfb.readLine().trimmed());
    Display* x = XOpenDisplay(display.toLatin1().constData());
    ASSERT_NE(x, nullptr);
    const auto window = [x](const QRect& r, const char* title, unsigned long rgb) {
        const Window w = XCreateSimpleWindow(x, DefaultRootWindow(x), r.x(), r.y(), unsigned(r.width()),
                                             unsigned(r.height()), 0, 0, rgb);
        XStoreName(x, w, title);
        XMapWindow(x, w);
        XSync(x, False);
    };
    window(QRect(QPoint(400, 150), kSourceSize), "EasyPal", 0x00ff00);
    window({600, 300, 240, 180}, "Browser", 0xff0000);
    freshUser(settingsWithCapture());
    OculetProcess oculet;
    ASSERT_TRUE(oculet.start({{QStringLiteral("DISPLAY"), display}}));
    const auto covered = [](const QImage& f) { return near(f.pixel(160, 120), Qt::red) && near(f.pixel(20, 20), Qt::green); };
    EXPECT_TRUE(covered(waitForFrame(covered, 8000)));
    EXPECT_EQ(oculet.terminate(), 0);
    XCloseDisplay(x);
    xvfb.terminate();
    xvfb.waitForFinished(3000);
}

} // namespace
} // namespace oculet::test
