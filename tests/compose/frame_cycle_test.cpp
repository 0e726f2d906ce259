// The frame cycle against a scripted desktop: what is copied from where, what lands where on the
// frame, when the missing-source warning comes, what is written and when the cycle is over.
#include "compose/FrameCycle.h"
#include "compose/FrameOverlays.h"
#include "compose/FramePublisher.h"
#include "platform/MessageBoxes.h"
#include "source/SourcePrograms.h"
#include "source/SourceWindow.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace oculet {
namespace {

using test::FakeDesktop;
using test::TestEnvironment;

const QColor kGrey(0x80, 0x80, 0x80);
const QColor kRed(0xFF, 0, 0);
const QColor kGreen(0, 0xFF, 0);
const QColor kBlue(0, 0, 0xFF);
const QColor kYellow(0xFF, 0xFF, 0);
const QColor kMagenta(0xFF, 0, 0xFF);

QRgb rgb(const QColor& c) { return c.rgb() & 0xFFFFFF; }
QRgb at(const QImage& frame, int x, int y) { return frame.pixel(x, y) & 0xFFFFFF; }

// Every pixel of the area has the colour; on failure names the first pixel that has not.
::testing::AssertionResult areaIs(const QImage& frame, const QRect& area, const QColor& colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (at(frame, x, y) != rgb(colour)) {
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << at(frame, x, y) << ", expected " << rgb(colour);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

int countPixels(const QImage& frame, const QRect& area, const std::function<bool(QColor)>& test) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += test(QColor(frame.pixel(x, y)));
        }
    }
    return n;
}

// The small stamp is anti-aliased, so its pixels are a blend of white with what lies under it.
bool whitish(QColor c) { return c.red() > 0x80 && c.green() > 0x80 && c.blue() > 0x80; }

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RecordingView final : public FrameCycleView {
public:
    int framesShown = 0;
    std::vector<bool> missing;
    int previewsHidden = 0;
    int shutdowns = 0;
    void showFrame(const QImage&) override { ++framesShown; }
    void showBoxes(const OverlayBoxes&) override {}
    void showSourceMissing(bool m) override { missing.push_back(m); }
    void hideDragPreview() override { ++previewsHidden; }
    void requestShutdown() override { ++shutdowns; }
};

class ScriptedMessages final : public MessageBoxes {
public:
    bool answer = true;
    QStringList asked;
    std::function<void()> whileAsking;
    void inform(const QString& text) override { asked << text; }
    void warn(const QString& text) override { asked << text; }
    bool askYesNo(const QString& text) override {
        asked << text;
        if (whileAsking) {
            whileAsking();
        }
        return answer;
    }
};

// Records the order of the overlay steps; each may paint or throw to stand in for a real overlay.
class RecordingOverlays final : public FrameOverlays {
public:
    std::vector<std::string> calls;
    std::function<void(QImage&)> onLastReceived;
    std::function<void(QImage&)> onClock;
    bool throwInFixedText = false;
    void drawLastReceived(QImage& frame) override {
        calls.push_back("lastRx");
        if (onLastReceived) {
            onLastReceived(frame);
        }
    }
    void drawScrollingText(QImage&, int txtOn) override { calls.push_back("scroll " + std::to_string(txtOn)); }
    void drawFixedText(QImage&) override {
        calls.push_back("fixed");
        if (throwInFixedText) {
            throw std::runtime_error("text file vanished");
        }
    }
    void drawClock(QImage& frame) override {
        calls.push_back("clock");
        if (onClock) {
            onClock(frame);
        }
    }
};

class FakePublisher final : public FramePublisher {
public:
    bool connected = true;
    bool throwOnPublish = false;
    int published = 0;
    QImage frame;
    std::function<void()> pendingDone;
    bool canPublish() const override { return connected; }
    void publishFrame(const QImage& f, std::function<void()> done) override {
        ++published;
        frame = f;
        pendingDone = std::move(done);
        if (throwOnPublish) {
            throw std::runtime_error("encoder failed");
        }
    }
};

class FrameCycleTest : public ::testing::Test {
protected:
    FakeDesktop desktop;
    Settings settings;
    OverlayBoxes boxes;
    EditState edit;
    SourceWindow source{desktop};
    ScriptedMessages messages;
    RecordingView view;
    RecordingOverlays overlays;
    FakePublisher publisher;
    QString dataFolder = TestEnvironment::makeTempDir(QStringLiteral("data"));
    QString programFolder = TestEnvironment::makeTempDir(QStringLiteral("program"));
    std::unique_ptr<FrameCycle> cycle;
    int finished = 0;

    void SetUp() override {
        // Overlays are off unless a test turns them on: the frame then holds only what the cycle
        // itself draws.
        settings.lastRx = allPrograms(false);
        settings.txtOn = allPrograms(0);
        settings.clockOnZ = allPrograms(0);
        settings.clockOnL = allPrograms(0);
        settings.epProgress = 0;
        desktop.fill(desktop.virtualScreen(), kGrey);
        makeCycle(dataFolder);
    }

    void makeCycle(const QString& data) {
        boxes = placeBoxesAtStartup(settings);
        cycle = std::make_unique<FrameCycle>(settings, boxes, edit, desktop, source, messages, view,
                                             FrameFiles{data, programFolder});
    }

    // The radio program's window, with the source following it from the next cycle on.
    WindowId openSource(int program, const QString& title, const QRect& rect) {
        settings.program = program;
        const WindowId id = desktop.addWindow(title, rect);
        source.setFragment(titleFragmentFor(program, sourceMenuCaption(program)));
        boxes = placeBoxesAtStartup(settings);
        return id;
    }

    void runCycle() {
        cycle->run([this] { ++finished; });
    }

    QString dataBitmap() const { return dataFolder + QStringLiteral("/Cam_1.bmp"); }
    QString programBitmap() const { return programFolder + QStringLiteral("/Cam_1.bmp"); }

    // Turns one copied box on: where it is copied from on the screen and where it lands.
    void setBox(int box, const QRect& screen, const QRect& place) {
        const int p = settings.program;
        auto set = [&](auto& on, auto& l, auto& t, auto& w, auto& h, auto& pl, auto& pt, auto& pw, auto& ph) {
            on = allPrograms(true);
            std::tie(l[p], t[p], w[p], h[p]) = std::tuple(screen.x(), screen.y(), screen.width(), screen.height());
            std::tie(pl[p], pt[p], pw[p], ph[p]) = std::tuple(place.x(), place.y(), place.width(), place.height());
        };
        Settings& s = settings;
        if (box == EditState::SignalMeter) {
            set(s.smOn, s.smLeft, s.smTop, s.smWidth, s.smHeight, s.lblSMLeft, s.lblSMTop, s.lblSMWidth, s.lblSMHeight);
        } else if (box == EditState::Aux1) {
            set(s.aux1On, s.aux1Left, s.aux1Top, s.aux1Width, s.aux1Height, s.lblAux1Left, s.lblAux1Top,
                s.lblAux1Width, s.lblAux1Height);
        } else {
            set(s.aux2On, s.aux2Left, s.aux2Top, s.aux2Width, s.aux2Height, s.lblAux2Left, s.lblAux2Top,
                s.lblAux2Width, s.lblAux2Height);
        }
    }
};

// --- Capture ------------------------------------------------------------------------------

TEST_F(FrameCycleTest, A400x300CaptureFillsTheFrameScaledByFourFifths) {
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600}); // capture at (400, 400), 400 × 300
    desktop.fill({400, 400, 200, 150}, kRed);
    desktop.fill({600, 400, 200, 150}, kGreen);
    desktop.fill({400, 550, 200, 150}, kBlue);
    desktop.fill({600, 550, 200, 150}, kYellow);
    runCycle();
    const QImage& frame = cycle->pic1();
    ASSERT_EQ(frame.size(), QSize(320, 240));
    EXPECT_EQ(desktop.grabs().front(), QRect(400, 400, 400, 300));
    EXPECT_TRUE(areaIs(frame, {0, 0, 160, 120}, kRed));
    EXPECT_TRUE(areaIs(frame, {160, 0, 160, 120}, kGreen));
    EXPECT_TRUE(areaIs(frame, {0, 120, 160, 120}, kBlue));
    // The name stamp sits in the bottom-right corner of the yellow quadrant.
    EXPECT_TRUE(areaIs(frame, {160, 120, 160, 110}, kYellow));
    EXPECT_TRUE(areaIs(frame, {160, 230, 128, 10}, kYellow));
}

TEST_F(FrameCycleTest, A640x240CaptureIsSqueezedOnlyHorizontally) {
    settings.captureWidth[EasyPal] = 640;
    settings.captureHeight[EasyPal] = 240;
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    const QColor bands[] = {kRed, kGreen, kBlue, kMagenta};
    for (int i = 0; i < 4; ++i) {
        desktop.fill({400 + 160 * i, 400, 160, 240}, bands[i]);
    }
    desktop.fill({400, 500, 640, 1}, kYellow); // one screen row stays one frame row
    runCycle();
    const QImage& frame = cycle->pic1();
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(areaIs(frame, {80 * i, 0, 80, 100}, bands[i])) << i;
        EXPECT_TRUE(areaIs(frame, {80 * i, 101, 80, 129}, bands[i])) << i;
    }
    EXPECT_TRUE(areaIs(frame, {0, 100, 320, 1}, kYellow));
}

TEST_F(FrameCycleTest, MovingTheWindowMovesCaptureAndStripButNotTheBoxSources) {
    settings.epProgress = 1;
    const QRect smSource(1000, 10, 100, 50), aux1Source(1200, 10, 60, 60), aux2Source(1400, 10, 60, 60);
    setBox(EditState::SignalMeter, smSource, {0, 75, 125, 50});
    setBox(EditState::Aux1, aux1Source, {130, 75, 50, 50});
    setBox(EditState::Aux2, aux2Source, {190, 75, 50, 50});
    const WindowId window = openSource(EasyPal, "EasyPal - Digital SSTV", {100, 50, 800, 600});

    runCycle();
    EXPECT_EQ(desktop.grabs(), (std::vector<QRect>{QRect(110, 80, 400, 300), smSource, aux1Source, aux2Source,
                                                   QRect(120, 635, 500, 7)}));

    desktop.moveWindow(window, {160, 90, 800, 600});
    desktop.clearRecord();
    runCycle();
    EXPECT_EQ(desktop.grabs(), (std::vector<QRect>{QRect(170, 120, 400, 300), smSource, aux1Source, aux2Source,
                                                   QRect(180, 675, 500, 7)}));
    EXPECT_EQ(view.missing, (std::vector<bool>{false, false}));
}

// --- Boxes --------------------------------------------------------------------------------

TEST_F(FrameCycleTest, CopiedBoxesWithBordersAndTheDraggedOneLeftOut) {
    struct Case {
        const char* name;
        int dragged;
    };
    const Case cases[] = {{"none dragged", EditState::None},
                          {"signal meter dragged", EditState::SignalMeter},
                          {"AUX1 dragged", EditState::Aux1},
                          {"AUX2 dragged", EditState::Aux2}};
    const QColor border(0x40, 0x80, 0xFF);
    settings.borderColour = 0x00FF8040; // blue, green, red
    desktop.fill({1000, 10, 80, 50}, kRed);
    desktop.fill({1100, 10, 80, 50}, kGreen);
    desktop.fill({1200, 10, 80, 50}, kBlue);
    setBox(EditState::SignalMeter, {1000, 10, 80, 50}, {20, 30, 40, 25});
    setBox(EditState::Aux1, {1100, 10, 80, 50}, {100, 30, 40, 25});
    setBox(EditState::Aux2, {1200, 10, 80, 50}, {180, 30, 40, 25});
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    struct Box {
        int id;
        QRect place;
        QColor colour;
    };
    const Box all[] = {{EditState::SignalMeter, {20, 30, 40, 25}, kRed},
                       {EditState::Aux1, {100, 30, 40, 25}, kGreen},
                       {EditState::Aux2, {180, 30, 40, 25}, kBlue}};

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        edit.draggedBox = c.dragged;
        view.previewsHidden = 0;
        runCycle();
        const QImage& frame = cycle->pic1();
        for (const Box& b : all) {
            const QRect& p = b.place;
            const int x = p.x(), y = p.y(), w = p.width(), h = p.height();
            if (b.id == c.dragged) {
                // Nothing of it: the capture shows through, no outline either.
                EXPECT_TRUE(areaIs(frame, p.adjusted(-1, -1, 2, 2), kGrey));
                continue;
            }
            EXPECT_TRUE(areaIs(frame, p, b.colour));
            // The outline runs from (x - 1, y - 1) to (x + w + 1, y + h + 1), both included.
            EXPECT_TRUE(areaIs(frame, {x - 1, y - 1, w + 3, 1}, border));
            EXPECT_TRUE(areaIs(frame, {x - 1, y + h + 1, w + 3, 1}, border));
            EXPECT_TRUE(areaIs(frame, {x - 1, y - 1, 1, h + 3}, border));
            EXPECT_TRUE(areaIs(frame, {x + w + 1, y - 1, 1, h + 3}, border));
            // Between the copy and the outline's far sides the capture remains.
            EXPECT_TRUE(areaIs(frame, {x, y + h, w + 1, 1}, kGrey));
            EXPECT_TRUE(areaIs(frame, {x + w, y, 1, h + 1}, kGrey));
            // Nothing outside the outline.
            EXPECT_TRUE(areaIs(frame, {x - 2, y - 2, 1, h + 5}, kGrey));
            EXPECT_TRUE(areaIs(frame, {x + w + 2, y - 2, 1, h + 5}, kGrey));
        }
        // The clean copy never has boxes.
        EXPECT_TRUE(areaIs(cycle->pic3(), cycle->pic3().rect(), kGrey));
        EXPECT_EQ(view.previewsHidden, c.dragged == EditState::None ? 1 : 0);
    }
    EXPECT_EQ(finished, 4);
}

TEST_F(FrameCycleTest, ProgressStripOnlyForEasyPalAndEndsLeftOfTheLastReceivedBox) {
    struct Case {
        const char* name;
        int program;
        int epProgress;
        int lastRxLeft;
        int width; // 0 = no strip
    };
    const Case cases[] = {
        {"EasyPal, default box", EasyPal, 1, 200, 197},
        {"box moved left shortens it", EasyPal, 1, 50, 47},
        {"one pixel left", EasyPal, 1, 4, 1},
        {"box at 3: nothing", EasyPal, 1, 3, 0},
        {"box at 0: nothing", EasyPal, 1, 0, 0},
        {"strip switched off", EasyPal, 0, 200, 0},
        {"MMSSTV has none", MMSSTV, 1, 200, 0},
        {"DM780 has none", DM780, 1, 200, 0},
        {"screen capture has none", ScreenCapture, 1, 200, 0},
    };
    const char* titles[] = {"EasyPal", "MMSSTV", "Digital Master", "KG-STV", "unused"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDesktop screen;
        screen.fill(screen.virtualScreen(), kGrey);
        // Window at (900, 50, 800, 600): the strip's source is (920, 635) 500 × 7.
        screen.fill({920, 635, 500, 7}, kGreen);
        settings.epProgress = c.epProgress;
        settings.lastRxLeft[c.program] = c.lastRxLeft;
        settings.program = c.program;
        screen.addWindow(titles[c.program], {900, 50, 800, 600});
        SourceWindow follower(screen);
        follower.setFragment(titleFragmentFor(c.program, sourceMenuCaption(c.program)));
        OverlayBoxes placed = placeBoxesAtStartup(settings);
        FrameCycle one(settings, placed, edit, screen, follower, messages, view, FrameFiles{dataFolder, {}});
        one.run([] {});
        const QImage& frame = one.pic1();
        if (c.width == 0) {
            EXPECT_EQ(countPixels(frame, frame.rect(), [](QColor p) { return p == kGreen; }), 0);
            continue;
        }
        EXPECT_TRUE(areaIs(frame, {0, 231, c.width, 9}, kGreen));
        EXPECT_TRUE(areaIs(frame, {c.width, 231, 1, 9}, kGrey));
        EXPECT_TRUE(areaIs(frame, {0, 230, c.width, 1}, kGrey));
    }
}

TEST_F(FrameCycleTest, NameStampIsDrawnOverEveryBoxAndOverlay) {
    // AUX1 covers the stamp's corner; the clock overlay paints over it too.
    desktop.fill({1100, 10, 80, 50}, QColor(0x60, 0, 0));
    setBox(EditState::Aux1, {1100, 10, 80, 50}, {280, 225, 40, 15});
    settings.clockOnZ = allPrograms(1);
    overlays.onClock = [](QImage& frame) { frame.fill(QColor(0, 0, 0x60)); };
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    cycle->setOverlays(&overlays);
    const QRect stampArea(288, 230, 32, 10);

    cycle->startupRedraw(); // composes the same boxes, but has no stamp
    EXPECT_EQ(countPixels(cycle->pic1(), stampArea, whitish), 0);
    runCycle();
    EXPECT_GT(countPixels(cycle->pic1(), stampArea, whitish), 5);
    // The stamp stays in its corner.
    EXPECT_EQ(countPixels(cycle->pic1(), QRect(0, 0, 320, 228), whitish), 0);
}

// --- Overlays -----------------------------------------------------------------------------

TEST_F(FrameCycleTest, OverlaysRunInTheirOrderOnlyWhenSwitchedOn) {
    struct Case {
        const char* name;
        bool lastRx;
        int txtOn, fTxtOn, clockOnZ, clockOnL;
        int dragged;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"all on", true, 1, 1, 1, 1, EditState::None, {"lastRx", "scroll 1", "fixed", "clock"}},
        {"all off", false, 0, 0, 0, 0, EditState::None, {}},
        {"per-minute text", false, 60, 0, 0, 0, EditState::None, {"scroll 60"}},
        {"local clock alone", false, 0, 0, 0, 1, EditState::None, {"clock"}},
        {"UTC clock alone", false, 0, 0, 1, 0, EditState::None, {"clock"}},
        {"last received dragged", true, 0, 1, 0, 0, EditState::LastReceived, {"fixed"}},
        {"another box dragged", true, 0, 0, 0, 0, EditState::Aux1, {"lastRx"}},
    };
    cycle->setOverlays(&overlays);
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    for (const Case& c : cases) {
        settings.lastRx[EasyPal] = c.lastRx;
        settings.txtOn[EasyPal] = c.txtOn;
        settings.fTxtOn[EasyPal] = c.fTxtOn;
        settings.clockOnZ[EasyPal] = c.clockOnZ;
        settings.clockOnL[EasyPal] = c.clockOnL;
        edit.draggedBox = c.dragged;
        overlays.calls.clear();
        runCycle();
        EXPECT_EQ(overlays.calls, c.expected) << c.name;
    }
}

TEST_F(FrameCycleTest, LastReceivedPictureLiesUnderTheCopiedBoxes) {
    desktop.fill({1000, 10, 80, 50}, kRed);
    setBox(EditState::SignalMeter, {1000, 10, 80, 50}, {20, 30, 40, 25});
    settings.lastRx = allPrograms(true);
    overlays.onLastReceived = [](QImage& frame) { frame.fill(kMagenta); };
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    cycle->setOverlays(&overlays);
    runCycle();
    EXPECT_TRUE(areaIs(cycle->pic1(), {20, 30, 40, 25}, kRed));
    EXPECT_TRUE(areaIs(cycle->pic1(), {100, 100, 50, 50}, kMagenta));
}

// --- Missing source -----------------------------------------------------------------------

TEST_F(FrameCycleTest, MissingSourceWarnsOnceAndFramesGoOnFromTheStoredPlace) {
    source.setFragment("EasyPal");
    desktop.fill({400, 400, 400, 300}, kBlue);
    bool bitmapWhileAsking = true;
    messages.whileAsking = [&] { bitmapWhileAsking = QFile::exists(dataBitmap()); };
    cycle->setPublisher(&publisher);
    publisher.connected = false;

    for (int i = 0; i < 3; ++i) {
        runCycle();
        EXPECT_TRUE(areaIs(cycle->pic1(), {0, 0, 320, 200}, kBlue)) << "cycle " << i;
    }
    EXPECT_EQ(messages.asked, QStringList{QStringLiteral("EasyPal not running!")});
    EXPECT_FALSE(bitmapWhileAsking) << "Cam_1.bmp must be written only after the warning is answered";
    EXPECT_TRUE(cycle->warningDismissed());
    EXPECT_EQ(view.missing, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(finished, 3);
    EXPECT_TRUE(QFile::exists(dataBitmap()));

    // The program starts: the cycle that finds it still shows the stored place, the next one
    // follows the window.
    desktop.addWindow("EasyPal", {90, 70, 800, 600});
    desktop.fill({100, 100, 400, 300}, kGreen);
    runCycle();
    EXPECT_TRUE(areaIs(cycle->pic1(), {0, 0, 320, 200}, kBlue));
    runCycle();
    EXPECT_TRUE(areaIs(cycle->pic1(), {0, 0, 320, 200}, kGreen));
    EXPECT_EQ(view.missing, (std::vector<bool>{true, true, true, true, false}));

    // Closed again: no second warning, since it was answered with Yes.
    desktop.removeWindow(desktop.topLevelWindows().front().id);
    runCycle();
    EXPECT_EQ(view.missing.back(), true);
    EXPECT_EQ(messages.asked.size(), 1);
    EXPECT_EQ(finished, 6);
}

TEST_F(FrameCycleTest, AnsweringNoEndsTheProgramWithoutFinishingTheCycle) {
    source.setFragment("EasyPal");
    messages.answer = false;
    cycle->setPublisher(&publisher);
    runCycle();
    EXPECT_EQ(messages.asked.size(), 1);
    EXPECT_EQ(view.shutdowns, 1);
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(publisher.published, 0);
    EXPECT_FALSE(QFile::exists(dataBitmap()));
    EXPECT_FALSE(QFile::exists(programBitmap()));
    EXPECT_FALSE(cycle->warningDismissed());
}

// --- Cam_1.bmp ----------------------------------------------------------------------------

TEST_F(FrameCycleTest, CamBitmapIsAFull24BitFrameRewrittenEveryCycleInBothFolders) {
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    desktop.fill({400, 400, 400, 300}, kRed);
    runCycle();
    const QByteArray first = readAll(dataBitmap());
    ASSERT_GT(first.size(), 54);
    EXPECT_EQ(first.left(2), QByteArray("BM"));
    EXPECT_EQ(qFromLittleEndian<qint32>(first.constData() + 18), 320);
    EXPECT_EQ(qFromLittleEndian<qint32>(first.constData() + 22), 240); // positive: bottom-up rows
    EXPECT_EQ(qFromLittleEndian<quint16>(first.constData() + 28), 24);
    EXPECT_EQ(qFromLittleEndian<quint32>(first.constData() + 2), quint32(first.size()));
    const QImage decoded = QImage::fromData(first, "BMP");
    ASSERT_EQ(decoded.size(), QSize(320, 240));
    EXPECT_FALSE(decoded.hasAlphaChannel());
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_RGB32), cycle->pic1().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(readAll(programBitmap()), first);

    desktop.fill({400, 400, 400, 300}, kGreen);
    runCycle();
    const QByteArray second = readAll(dataBitmap());
    EXPECT_NE(second, first);
    EXPECT_EQ(QImage::fromData(second, "BMP").pixel(10, 10) & 0xFFFFFF, rgb(kGreen));
    EXPECT_EQ(readAll(programBitmap()), second);
    // Nothing but the bitmap is left behind in either folder.
    EXPECT_EQ(QDir(dataFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("Cam_1.bmp")});
    EXPECT_EQ(QDir(programFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("Cam_1.bmp")});
    EXPECT_EQ(finished, 2);
}

TEST_F(FrameCycleTest, UnwritableProgramFolderCostsNothingElse) {
    // A directory in the copy's place cannot be replaced, even by root.
    ASSERT_TRUE(QDir(programFolder).mkdir(QStringLiteral("Cam_1.bmp")));
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    cycle->setPublisher(&publisher);
    publisher.connected = false;
    runCycle();
    runCycle();
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(QImage(dataBitmap()).size(), QSize(320, 240));
    EXPECT_TRUE(QFileInfo(programBitmap()).isDir());
    EXPECT_EQ(QDir(programFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("Cam_1.bmp")});
}

TEST_F(FrameCycleTest, MissingDataFolderOrUnreadableDesktopStillEndsTheCycle) {
    makeCycle(dataFolder + QStringLiteral("/not-there"));
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    desktop.fill({400, 400, 400, 300}, kGreen);
    runCycle();
    desktop.setBroken(true);
    runCycle();
    // The picture that could not be read keeps the previous one.
    EXPECT_TRUE(areaIs(cycle->pic1(), {0, 0, 320, 200}, kGreen));
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(view.framesShown, 2);
}

TEST_F(FrameCycleTest, ScreenModeNeverMissesAndRefreshesTheCleanCopy) {
    settings.captureLeft[ScreenCapture] = 50;
    settings.captureTop[ScreenCapture] = 60;
    desktop.fill({50, 60, 400, 300}, kBlue);
    desktop.fill({1000, 10, 80, 50}, kRed);
    settings.program = ScreenCapture;
    setBox(EditState::SignalMeter, {1000, 10, 80, 50}, {20, 30, 40, 25});
    source.setFragment(sourceMenuCaption(ScreenCapture));
    makeCycle(dataFolder);
    runCycle();
    EXPECT_EQ(desktop.grabs().front(), QRect(50, 60, 400, 300));
    EXPECT_TRUE(areaIs(cycle->pic3(), cycle->pic3().rect(), kBlue));
    desktop.fill({50, 60, 400, 300}, kYellow);
    runCycle();
    EXPECT_TRUE(areaIs(cycle->pic3(), cycle->pic3().rect(), kYellow));
    EXPECT_TRUE(areaIs(cycle->pic1(), {20, 30, 40, 25}, kRed)); // the box is on the frame only
    EXPECT_TRUE(messages.asked.isEmpty());
    EXPECT_EQ(view.missing, (std::vector<bool>{false, false}));
    EXPECT_EQ(desktop.listCount(), 0) << "screen mode needs no window search";
    EXPECT_EQ(finished, 2);
}

// --- Publishing ---------------------------------------------------------------------------

TEST_F(FrameCycleTest, PublishesOnlyWhenConnectedAndNotEditingAndEndsWithThePublisher) {
    struct Case {
        const char* name;
        bool connected;
        bool editing;
        bool publishes;
    };
    const Case cases[] = {{"connected, not editing", true, false, true},
                          {"editing the layout", true, true, false},
                          {"not connected", false, false, false},
                          {"neither", false, true, false}};
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    cycle->setPublisher(&publisher);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        publisher.connected = c.connected;
        publisher.published = 0;
        publisher.pendingDone = nullptr;
        edit.layoutEditing = c.editing;
        finished = 0;
        QFile::remove(dataBitmap());
        runCycle();
        EXPECT_TRUE(QFile::exists(dataBitmap())) << "frames are written whether or not they are published";
        EXPECT_EQ(publisher.published, c.publishes ? 1 : 0);
        if (!c.publishes) {
            EXPECT_EQ(finished, 1);
            continue;
        }
        EXPECT_EQ(finished, 0) << "the cycle is over only when the publish step is";
        EXPECT_EQ(publisher.frame, cycle->pic1());
        ASSERT_TRUE(publisher.pendingDone);
        publisher.pendingDone();
        EXPECT_EQ(finished, 1);
    }
}

TEST_F(FrameCycleTest, AFailureInTheCycleStillEndsItExactlyOnce) {
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    cycle->setOverlays(&overlays);
    cycle->setPublisher(&publisher);

    settings.fTxtOn[EasyPal] = 1;
    overlays.throwInFixedText = true;
    EXPECT_NO_THROW(runCycle());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(publisher.published, 0);

    overlays.throwInFixedText = false;
    publisher.throwOnPublish = true;
    EXPECT_NO_THROW(runCycle());
    EXPECT_EQ(finished, 2);
    // A publisher that fails after taking the step must not end the cycle a second time.
    if (publisher.pendingDone) {
        publisher.pendingDone();
    }
    EXPECT_EQ(finished, 2);

    publisher.throwOnPublish = false;
    runCycle();
    ASSERT_TRUE(publisher.pendingDone);
    publisher.pendingDone();
    EXPECT_EQ(finished, 3);
}

// --- Start-up redraw ----------------------------------------------------------------------

TEST_F(FrameCycleTest, StartupRedrawComposesWithoutWritingWarningOrPublishing) {
    settings.lastRx = allPrograms(true);
    settings.txtOn = allPrograms(1);
    settings.fTxtOn = allPrograms(1);
    settings.clockOnL = allPrograms(1);
    cycle->setOverlays(&overlays);
    cycle->setPublisher(&publisher);
    source.setFragment("EasyPal");
    desktop.fill({400, 400, 400, 300}, kBlue);

    cycle->startupRedraw();
    EXPECT_EQ(overlays.calls, (std::vector<std::string>{"lastRx", "clock", "fixed"}));
    EXPECT_EQ(desktop.grabs().front(), QRect(400, 400, 400, 300));
    EXPECT_TRUE(areaIs(cycle->pic1(), cycle->pic1().rect(), kBlue));
    EXPECT_TRUE(areaIs(cycle->pic3(), cycle->pic3().rect(), Qt::black)) << "the clean copy waits for a cycle";
    EXPECT_EQ(view.framesShown, 1);
    EXPECT_TRUE(view.missing.empty());
    EXPECT_TRUE(messages.asked.isEmpty());
    EXPECT_EQ(publisher.published, 0);
    EXPECT_FALSE(source.missing());
    EXPECT_TRUE(QDir(dataFolder).isEmpty());
    EXPECT_TRUE(QDir(programFolder).isEmpty());

    // With the program running, the redraw copies from its window.
    desktop.addWindow("EasyPal", {190, 170, 800, 600});
    desktop.clearRecord();
    cycle->startupRedraw();
    EXPECT_EQ(desktop.grabs().front(), QRect(200, 200, 400, 300));
}

} // namespace
} // namespace oculet
