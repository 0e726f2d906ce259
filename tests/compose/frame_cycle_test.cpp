// The frame cycle against a scripted desktop: what is copied from where and lands where on the
// frame, when the missing-source warning comes, what is written and when the cycle is over.
#include "compose/FrameCycle.h"
#include "compose/FrameOverlays.h"
#include "compose/FramePublisher.h"
#include "source/SourcePrograms.h"
#include "source/SourceWindow.h"
#include "tests/compose/ComposeTestSupport.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace oculet {
namespace {

using test::areaIs;
using test::countPixels;

const QColor kGrey(0x80, 0x80, 0x80), kRed(Qt::red), kGreen(Qt::green), kBlue(Qt::blue), kMagenta(Qt::magenta);

// The small stamp is anti-aliased, so its pixels are a blend of white with what lies under it.
bool whitish(QColor c) { return c.red() > 0x80 && c.green() > 0x80 && c.blue() > 0x80; }

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

class RecordingView final : public FrameCycleView {
public:
    int framesShown = 0, previewsHidden = 0, shutdowns = 0;
    std::vector<bool> missing;
    void showFrame(const QImage&) override { ++framesShown; }
    void showBoxes(const OverlayBoxes&) override {}
    void showSourceMissing(bool m) override { missing.push_back(m); }
    void hideDragPreview() override { ++previewsHidden; }
    void requestShutdown() override { ++shutdowns; }
};

// Records the order of the overlay steps; each may paint, or throw, to stand in for a real overlay.
class RecordingOverlays final : public FrameOverlays {
public:
    std::vector<std::string> calls;
    std::function<void(const std::string&, QImage&)> paint = [](const std::string&, QImage&) {};
    void drawLastReceived(QImage& frame) override { step("lastRx", frame); }
    void drawScrollingText(QImage& frame, int txtOn) override { step("scroll " + std::to_string(txtOn), frame); }
    void drawFixedText(QImage& frame) override { step("fixed", frame); }
    void drawClock(QImage& frame) override { step("clock", frame); }

private:
    void step(const std::string& name, QImage& frame) {
        calls.push_back(name);
        paint(name, frame);
    }
};

class FakePublisher final : public FramePublisher {
public:
    bool connected = true, throwOnPublish = false;
    int published = 0, held = 0;
    QImage frame;
    bool canPublish() const override { return connected; }
    void publishFrame(const QImage& f) override {
        std::tie(published, frame) = std::tuple(published + 1, f);
        if (throwOnPublish) {
            throw std::runtime_error("encoder failed");
        }
    }
    void showHeldFrame(const QImage&) override { ++held; }
};

class FrameCycleTest : public ::testing::Test {
protected:
    test::FakeDesktop desktop;
    Settings settings;
    OverlayBoxes boxes;
    EditState edit;
    SourceWindow source{desktop};
    test::RecordingMessages messages;
    RecordingView view;
    RecordingOverlays overlays;
    FakePublisher publisher;
    QString dataFolder = test::TestEnvironment::makeTempDir(QStringLiteral("data"));
    QString programFolder = test::TestEnvironment::makeTempDir(QStringLiteral("program"));
    std::unique_ptr<FrameCycle> cycle;
    int finished = 0;

    void SetUp() override {
        // Overlays are off unless a test turns them on: the frame then holds only what the cycle
        // itself draws.
        settings.lastRx = allPrograms(false);
        settings.txtOn = settings.clockOnZ = settings.clockOnL = allPrograms(0);
        settings.epProgress = 0;
        desktop.fill(desktop.virtualScreen(), kGrey);
        boxes = placeBoxesAtStartup(settings);
        cycle = std::make_unique<FrameCycle>(settings, boxes, edit, desktop, source, messages, view,
                                             FrameFiles{dataFolder, programFolder});
    }

    // The radio program's window, followed by the source from the next cycle on.
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
    void setBox(BoxId box, const QRect& screen, const QRect& place) {
        const int region = box == BoxId::SM ? SignalMeterBox : box == BoxId::Aux1 ? Aux1Box : Aux2Box;
        for (CopiedRegion& program : settings.copiedRegions[region]) {
            program.on = true;
        }
        CopiedRegion& current = settings.copiedRegion(region);
        current.source = {screen.x(), screen.y(), screen.width(), screen.height()};
        current.place = {place.x(), place.y(), place.width(), place.height()};
    }
};

TEST_F(FrameCycleTest, CopiedBoxesWithBordersAndTheDraggedOneLeftOut) {
    const QColor border(0x40, 0x80, 0xFF);
    settings.borderColour = 0x00FF8040; // blue, green, red
    const QRect place(20, 30, 40, 25), around = place.adjusted(-2, -2, 3, 3), outline = place.adjusted(-1, -1, 2, 2);
    desktop.fill({1000, 10, 80, 50}, kRed);
    setBox(BoxId::Aux1, {1000, 10, 80, 50}, place);
    setBox(BoxId::Aux2, {1000, 10, 80, 50}, {100, 30, 40, 25});
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    for (const std::optional<BoxId> dragged :
         {std::optional<BoxId>(), std::optional(BoxId::Aux1), std::optional(BoxId::Aux2)}) {
        SCOPED_TRACE(dragged ? static_cast<int>(*dragged) : -1);
        edit.draggedBox = dragged;
        view.previewsHidden = 0;
        runCycle();
        const QImage& frame = cycle->pic1();
        // The outline runs from (x - 1, y - 1) to (x + w + 1, y + h + 1), both included; the capture
        // shows between it and the copy's far sides, and around it. Nothing of a dragged box is drawn.
        const int ring = dragged == BoxId::Aux1 ? 0 : 2 * (outline.width() + outline.height()) - 4;
        const int copy = dragged == BoxId::Aux1 ? 0 : place.width() * place.height();
        EXPECT_EQ(countPixels(frame, around, [&](QColor c) { return c == border; }), ring);
        EXPECT_EQ(countPixels(frame, place, [&](QColor c) { return c == kRed; }), copy);
        EXPECT_EQ(countPixels(frame, around, [](QColor c) { return c == kGrey; }),
                  around.width() * around.height() - ring - copy);
        EXPECT_EQ(countPixels(frame, {100, 30, 40, 25}, [](QColor c) { return c == kRed; }),
                  dragged == BoxId::Aux2 ? 0 : 1000);
        EXPECT_TRUE(areaIs(cycle->pic3(), cycle->pic3().rect(), kGrey)) << "the clean copy never has boxes";
        EXPECT_EQ(view.previewsHidden, dragged ? 0 : 1);
    }
}

TEST_F(FrameCycleTest, ProgressStripOnlyForEasyPalAndEndsLeftOfTheLastReceivedBox) {
    // Each program's window at (900, 50, 800, 600): the strip's source is (920, 635) 500 × 7.
    desktop.fill({920, 635, 500, 7}, kGreen);
    // Program, strip switched on, left of the last received box, and the strip's width.
    const std::tuple<int, int, int, int> cases[] = {{EasyPal, 1, 200, 197}, {EasyPal, 1, 4, 1},   {EasyPal, 1, 3, 0},
                                                    {EasyPal, 0, 200, 0},   {MMSSTV, 1, 200, 0}, {ScreenCapture, 1, 200, 0}};
    for (const auto& [program, epProgress, lastRxLeft, width] : cases) {
        std::tie(settings.epProgress, settings.lastRxLeft[program]) = std::pair(epProgress, lastRxLeft);
        openSource(program, sourceMenuCaption(program), {900, 50, 800, 600});
        runCycle();
        const QImage& frame = cycle->pic1();
        EXPECT_EQ(countPixels(frame, frame.rect(), [](QColor p) { return p == kGreen; }), width * 9) << program;
        EXPECT_TRUE(areaIs(frame, {0, 231, width, 9}, kGreen)) << program << " " << lastRxLeft;
    }
}

TEST_F(FrameCycleTest, OverlaysInTheirOrderWhenSwitchedOnBoxesOverThemAndTheNameStampOverAll) {
    // Last received, scrolling text, fixed text, UTC and local clock, the box being dragged, and
    // whether it is the start-up redraw, which has no scrolling text and the clock before the fixed text.
    const std::tuple<bool, int, int, int, int, std::optional<BoxId>, bool, std::vector<std::string>> cases[] = {
        {true, 1, 1, 1, 1, std::nullopt, false, {"lastRx", "scroll 1", "fixed", "clock"}},
        {true, 1, 1, 1, 0, std::nullopt, true, {"lastRx", "clock", "fixed"}},
        {false, 60, 0, 0, 0, std::nullopt, false, {"scroll 60"}},
        {false, 0, 0, 0, 1, std::nullopt, false, {"clock"}},
        {false, 0, 0, 1, 0, std::nullopt, false, {"clock"}},
        {false, 0, 2, 0, 2, std::nullopt, false, {"fixed", "clock"}}, // any value from 1 up is on, as for the boxes
        {true, 0, 1, 0, 0, BoxId::LastRx, false, {"fixed"}}, // the dragged picture is left out
        {true, 0, 0, 0, 0, BoxId::Aux1, false, {"lastRx"}},
    };
    cycle->setOverlays(&overlays);
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    for (const auto& [lastRx, txtOn, fTxtOn, clockOnZ, clockOnL, dragged, startup, expected] : cases) {
        std::tie(settings.lastRx[EasyPal], settings.txtOn[EasyPal], settings.fTxtOn[EasyPal],
                 settings.clockOnZ[EasyPal], settings.clockOnL[EasyPal], edit.draggedBox) =
            std::tuple(lastRx, txtOn, fTxtOn, clockOnZ, clockOnL, dragged);
        overlays.calls.clear();
        startup ? cycle->startupRedraw() : runCycle();
        EXPECT_EQ(overlays.calls, expected);
    }

    settings.clockOnZ[EasyPal] = 1;
    desktop.fill({1000, 10, 80, 50}, kRed);
    setBox(BoxId::SM, {1000, 10, 80, 50}, {20, 30, 40, 25});
    overlays.paint = [](const std::string& step, QImage& frame) {
        QPainter(&frame).fillRect(step == "clock" ? QRect(200, 200, 120, 40) : frame.rect(), kMagenta);
    };
    const QRect stampArea(288, 230, 32, 10);
    runCycle();
    EXPECT_TRUE(areaIs(cycle->pic1(), {20, 30, 40, 25}, kRed));
    EXPECT_TRUE(areaIs(cycle->pic1(), {100, 100, 50, 50}, kMagenta));
    EXPECT_GT(countPixels(cycle->pic1(), stampArea, whitish), 5);
    EXPECT_EQ(countPixels(cycle->pic1(), QRect(0, 0, 320, 228), whitish), 0) << "the stamp stays in its corner";
}

TEST_F(FrameCycleTest, MissingSourceAsksOnceWhileFramesGoOnAndNoEndsTheProgramButNotAtStartup) {
    source.setFragment("EasyPal");
    // The start-up redraw only composes, from the stored capture place, with no name stamp.
    desktop.fill({400, 400, 400, 300}, kBlue);
    cycle->startupRedraw();
    EXPECT_TRUE(areaIs(cycle->pic1(), cycle->pic1().rect(), kBlue));
    EXPECT_TRUE(areaIs(cycle->pic3(), cycle->pic3().rect(), Qt::black)) << "the clean copy waits for a cycle";
    EXPECT_EQ(view.framesShown, 1);
    // The question stands while frames go on being written; it is asked once, not every cycle.
    for (int i = 0; i < 3; ++i) {
        runCycle();
        EXPECT_TRUE(QFile::exists(dataBitmap()) && QFile::exists(programBitmap()));
        QFile::remove(dataBitmap());
    }
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("EasyPal not running!")}) << "none at start-up";
    EXPECT_EQ(finished, 3);
    EXPECT_EQ(view.shutdowns, 0);
    // "No" ends the program when it is given.
    messages.answerAll(false);
    EXPECT_EQ(view.shutdowns, 1);
    // Answered, the question comes again; after "Yes" never more.
    runCycle();
    messages.answerAll(true);
    for (int i = 0; i < 2; ++i) {
        runCycle();
    }
    EXPECT_EQ(messages.shown, QStringList(2, QStringLiteral("EasyPal not running!")));
    EXPECT_EQ(view.shutdowns, 1);
    EXPECT_EQ(view.missing, std::vector<bool>(6, true));
    EXPECT_EQ(finished, 6);
}

TEST_F(FrameCycleTest, CopiesFromTheirPlacesStretchesOntoTheFrameAndWritesItInBothFoldersWhateverFails) {
    settings.epProgress = 1;
    const QRect smSource(1000, 10, 100, 50), aux1Source(1200, 10, 60, 60), aux2Source(1400, 10, 60, 60);
    setBox(BoxId::SM, smSource, {0, 75, 125, 50});
    setBox(BoxId::Aux1, aux1Source, {130, 75, 50, 50});
    setBox(BoxId::Aux2, aux2Source, {190, 75, 50, 50});
    openSource(EasyPal, "EasyPal - Digital SSTV", {160, 90, 800, 600});
    desktop.fill({170, 120, 200, 300}, kRed); // the left half of the capture
    runCycle();
    // The box sources are fixed spots of the screen; the capture and the strip go with the window.
    EXPECT_EQ(desktop.grabs(), (std::vector<QRect>{QRect(170, 120, 400, 300), smSource, aux1Source, aux2Source,
                                                   QRect(180, 675, 500, 7)}));
    EXPECT_TRUE(areaIs(cycle->pic1(), {0, 0, 160, 70}, kRed));
    EXPECT_TRUE(areaIs(cycle->pic1(), {160, 0, 160, 70}, kGrey));
    const QByteArray first = readAll(dataBitmap());
    QByteArray qtBitmap; // a 24-bit bitmap, bottom-up rows, byte for byte as Qt's own writer makes it
    QBuffer buffer(&qtBitmap);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && cycle->pic1().convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP"));
    EXPECT_EQ(first, qtBitmap);
    EXPECT_EQ(readAll(programBitmap()), first);

    // A directory in the copy's place cannot be replaced, even by root; that costs nothing else.
    ASSERT_TRUE(QFile::remove(programBitmap()) && QDir(programFolder).mkdir(QStringLiteral("Cam_1.bmp")));
    desktop.fill({170, 120, 400, 300}, kGreen);
    runCycle();
    EXPECT_EQ(QImage(dataBitmap()).pixelColor(10, 10), kGreen);
    EXPECT_EQ(entries(programFolder), QStringList({"Cam_1.bmp"})) << "nothing is left behind where writing failed";
    // A desktop that cannot be read leaves the previous picture, also while the window holds it.
    const QImage held = cycle->pic1();
    desktop.fill({170, 120, 400, 300}, kBlue);
    desktop.setBroken(true);
    runCycle();
    EXPECT_TRUE(areaIs(cycle->pic1(), {0, 0, 320, 70}, kGreen));
    EXPECT_EQ(finished, 3);
    EXPECT_EQ(view.missing, std::vector<bool>(3, false));
}

// Whatever lies within the source window comes from its own content, so a window over it never
// reaches the frame; a box elsewhere, a hidden window or a desktop without content reading is
// copied from the screen as before.
TEST_F(FrameCycleTest, InsideTheSourceWindowFromItsContentElsewhereFromTheScreen) {
    settings.epProgress = 1;
    const QRect inside(300, 200, 60, 40), outside(1500, 10, 60, 40), strip(180, 675, 500, 7);
    setBox(BoxId::SM, inside, {0, 75, 60, 40});
    setBox(BoxId::Aux1, outside, {130, 75, 60, 40});
    const WindowId id = openSource(EasyPal, "EasyPal - Digital SSTV", {160, 90, 800, 600});
    struct Case {
        const char* name;
        bool readsContent, shown;
        std::vector<QRect> fromContent, fromScreen;
        QColor capture, sm;
        QColor content = kMagenta; // invalid: the window's content cannot be read
    };
    const QRect capture(170, 120, 400, 300);
    const Case cases[] = {
        {"content read", true, true, {capture, inside, strip}, {outside}, kMagenta, kMagenta},
        // Not the screen there, which may show a window over it: the last picture stays.
        {"content unreadable", true, true, {}, {outside}, kMagenta, kMagenta, QColor()},
        {"no content reading", false, true, {}, {capture, inside, outside, strip}, kGrey, kGrey},
        {"minimised: missing, from the stored place", true, false, {}, {}, kGrey, kGrey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.setWindowContent(id, c.content);
        desktop.setReadsContent(c.readsContent);
        desktop.showWindow(id, c.shown);
        runCycle(); // takes up the window's state
        desktop.fill(desktop.virtualScreen(), kGrey); // a change everywhere: all copied again
        desktop.clearRecord();
        runCycle();
        EXPECT_EQ(desktop.contentReads(), c.fromContent);
        if (c.shown) {
            EXPECT_EQ(desktop.grabs(), c.fromScreen);
            EXPECT_TRUE(areaIs(cycle->pic1(), {0, 0, 320, 70}, c.capture));
        }
        EXPECT_TRUE(areaIs(cycle->pic1(), {0, 75, 60, 40}, c.sm));
        EXPECT_TRUE(areaIs(cycle->pic1(), {130, 75, 60, 40}, kGrey));
        EXPECT_EQ(view.missing.back(), !c.shown);
    }
    EXPECT_EQ(messages.shown.size(), 1) << "a minimised window is warned about as a missing one";
}

// While nothing under the capture and the boxes changed and nothing moved, the last picture is
// used again with no copy made; the first change is copied in the very next frame.
TEST_F(FrameCycleTest, AnUnchangedPictureIsNotCopiedAgainAndTheFirstChangeIsInTheNextFrame) {
    const QRect inside(300, 200, 60, 40), outside(1500, 10, 60, 40);
    setBox(BoxId::SM, inside, {0, 75, 60, 40});
    setBox(BoxId::Aux1, outside, {130, 75, 60, 40});
    const WindowId id = openSource(EasyPal, "EasyPal - Digital SSTV", {160, 90, 800, 600});
    desktop.setReadsContent(true);
    desktop.setWindowContent(id, kMagenta);
    desktop.fill(outside, kBlue);
    runCycle();
    struct Case {
        const char* name;
        std::function<void()> change;
        bool copied;
        QColor capture, aux1;
    };
    const Case cases[] = {
        {"still", [] {}, false, kMagenta, kBlue},
        {"elsewhere on the screen", [&] { desktop.fill({1700, 900, 50, 50}, kRed); }, false, kMagenta, kBlue},
        {"the window's content", [&] { desktop.setWindowContent(id, kGreen); }, true, kGreen, kBlue},
        {"still again", [] {}, false, kGreen, kBlue},
        {"under a box outside the window", [&] { desktop.fill(outside, kRed); }, true, kGreen, kRed},
        {"the window moved", [&] { desktop.moveWindow(id, {170, 90, 800, 600}); }, true, kGreen, kRed},
        {"read from the screen", [&] { desktop.setReadsContent(false); }, true, kGrey, kRed},
        {"still on the screen", [] {}, false, kGrey, kRed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        desktop.clearRecord();
        runCycle();
        EXPECT_EQ(!desktop.grabs().empty() || !desktop.contentReads().empty(), c.copied);
        EXPECT_TRUE(areaIs(cycle->pic1(), {0, 0, 320, 70}, c.capture));
        EXPECT_TRUE(areaIs(cycle->pic1(), {0, 75, 60, 40}, c.capture)) << "the box within the window";
        EXPECT_TRUE(areaIs(cycle->pic1(), {130, 75, 60, 40}, c.aux1));
        EXPECT_EQ(QImage(dataBitmap()).pixelColor(10, 10), c.capture) << "Cam_1.bmp is written every frame";
    }
}

TEST_F(FrameCycleTest, PublishesOnlyWhenConnectedAndNotEditingAndNeverWaitsForIt) {
    openSource(EasyPal, "EasyPal", {390, 370, 800, 600});
    cycle->setPublisher(&publisher);
    // An overlay that fails costs only itself: the frame is still written and published.
    cycle->setOverlays(&overlays);
    settings.fTxtOn[EasyPal] = 1;
    overlays.paint = [](const std::string&, QImage&) { throw std::runtime_error("text file vanished"); };
    const std::pair<bool, bool> cases[] = {{true, false}, {true, true}, {false, false}, {false, true}};
    for (const auto& [connected, editing] : cases) {
        SCOPED_TRACE(testing::Message() << "connected " << connected << ", editing " << editing);
        const bool publishes = connected && !editing;
        std::tie(publisher.connected, publisher.published, publisher.held, finished) = std::tuple(connected, 0, 0, 0);
        editing ? edit.layout.pause(PauseReason::OptionPanel) : edit.layout.resume(PauseReason::OptionPanel);
        QFile::remove(dataBitmap());
        runCycle();
        EXPECT_TRUE(QFile::exists(dataBitmap())) << "frames are written whether or not they are published";
        EXPECT_EQ(publisher.published, publishes ? 1 : 0);
        EXPECT_EQ(publisher.held, editing ? 1 : 0) << "a held frame still goes to where it cannot disturb";
        EXPECT_EQ(finished, 1) << "the cycle waited for the publish step";
        if (publishes) {
            EXPECT_EQ(publisher.frame, cycle->pic1());
        }
    }
    // A publish step that throws still ends the cycle, once.
    edit.layout.resume(PauseReason::OptionPanel);
    std::tie(publisher.connected, publisher.throwOnPublish) = std::tuple(true, true);
    runCycle();
    EXPECT_EQ(finished, 2);
}

TEST(LayoutPause, PublishingResumesOnlyWhenTheLastReasonGoesAndEachChangeOfStateIsToldOnce) {
    using R = PauseReason;
    LayoutPause pause;
    QString told;
    pause.setHooks([&] { told += u'P'; }, [&] { told += u'R'; });
    // Each step: pause (true) or resume (false) a reason; then whether publishing is paused and
    // what the hooks were told so far.
    const struct {
        bool pausing;
        R reason;
        bool paused;
        const char* told;
    } steps[] = {{true, R::RegionEditor, true, "P"},   {true, R::BoxHeld, true, "P"},
                 {false, R::BoxHeld, true, "P"},       {true, R::RegionEditor, true, "P"},
                 {false, R::OptionPanel, true, "P"},   {false, R::RegionEditor, false, "PR"},
                 {false, R::RegionEditor, false, "PR"}, {true, R::PublishingPanel, true, "PRP"},
                 {true, R::OptionPanel, true, "PRP"},  {false, R::PublishingPanel, true, "PRP"},
                 {false, R::OptionPanel, false, "PRPR"}};
    for (const auto& step : steps) {
        step.pausing ? pause.pause(step.reason) : pause.resume(step.reason);
        EXPECT_EQ(pause.paused(), step.paused) << told.toStdString();
        EXPECT_EQ(pause.holds(step.reason), step.pausing);
        EXPECT_EQ(told, QString::fromLatin1(step.told));
    }
}

} // namespace
} // namespace oculet
