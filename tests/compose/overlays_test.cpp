// The overlays drawn on the frame: clock, scrolling and fixed text, and the last received picture.
#include "compose/CachedText.h"
#include "compose/ClockOverlay.h"
#include "compose/FixedTextOverlay.h"
#include "compose/LastReceivedOverlay.h"
#include "compose/OverlayFont.h"
#include "compose/Overlays.h"
#include "compose/TextFile.h"
#include "tests/compose/ComposeTestSupport.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>

namespace oculet {
namespace {

using test::litPixels;
using test::TestEnvironment;

// One instant, 12:34:56 UTC, in a half-hour zone: the UTC clock must not show the zone's time.
const QDateTime kNow(QDate(2024, 3, 10), QTime(18, 4, 56), Qt::OffsetFromUTC, 5 * 3600 + 1800);

class FakeClock final : public Clock {
public:
    double steady = 1000;
    QDateTime utcNow() const override { return kNow; }
    QDateTime localNow() const override { return kNow; }
    double steadySeconds() const override { return steady; }
};

QImage blackFrame() {
    QImage frame(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    frame.fill(Qt::black);
    return frame;
}

void writeFile(const QString& path, const QByteArray& bytes, const QDateTime& modified = {}) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    if (modified.isValid()) {
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
}

struct OverlayTest : ::testing::Test {
    Settings settings;
    OverlayBoxes boxes;
    FakeClock clock;
    test::RecordingMessages messages;
    InterfaceTexts texts;
    QString userFolder = TestEnvironment::makeTempDir(QStringLiteral("easypal"));
    QDateTime yesterday = QDateTime::currentDateTime().addDays(-1);

    void SetUp() override { boxes = placeBoxesAtStartup(settings); }
    Overlays make() { return Overlays(settings, boxes, clock, messages, texts, userFolder); }
};

// --- Clock ----------------------------------------------------------------------------------

TEST_F(OverlayTest, ClockLinesAreUtcWithAZAboveLocalTimeAndTheBoxFitsThem) {
    const QFontMetrics metrics(overlayFont(settings.clockFont));
    const int line = metrics.height(), width = metrics.horizontalAdvance(QStringLiteral("12:34:56"));
    for (const auto& [utc, local] : {std::pair(1, 1), std::pair(1, 0), std::pair(0, 1)}) {
        std::tie(settings.clockOnZ[0], settings.clockOnL[0]) = std::pair(utc, local);
        QImage frame = blackFrame();
        make().drawClock(frame);
        EXPECT_EQ(boxes[BoxId::Clock].rect, QRect(220, 5, width, (utc + local) * line)) << utc << local;
        // The "z" sticks out to the right of the box, on the first line only.
        EXPECT_EQ(litPixels(frame, {220 + width, 5, 40, line}) > 0, utc == 1) << utc << local;
        EXPECT_EQ(litPixels(frame, {220 + width, 5 + line, 40, kFrameHeight}), 0) << utc << local;
        QImage expected = blackFrame();
        drawClock(expected, {220, 5}, ClockFace{utc == 1, local == 1, "12:34:56", "18:04:56"}, settings.clockFont,
                  settings.clockColour);
        EXPECT_EQ(frame, expected) << utc << local;
    }
}

// --- Scrolling and fixed text --------------------------------------------------------------

TEST_F(OverlayTest, ScrollingTextRunsInItsBoxAndPerMinuteTextOnceTheClockHasCountedAMinute) {
    std::tie(settings.scrollTexts[0], settings.clockOnL[0], settings.txtTop[0]) = std::tuple(QStringLiteral("ab"), 0, 120);
    boxes = placeBoxesAtStartup(settings);
    const int height = QFontMetrics(overlayFont(settings.textFont)).height();
    // Each place drawn is where the previous step left the text, which starts beyond the right
    // edge: continuous text at once, per-minute text once the minute is up at the 60th tick, and
    // never with both clocks off, which count no minutes.
    for (const auto& [txtOn, clockOnZ, firstShown] : {std::tuple(60, 1, 62), std::tuple(60, 0, 0), std::tuple(1, 0, 3)}) {
        settings.clockOnZ[0] = clockOnZ;
        Overlays overlays = make();
        int shown = 0;
        for (int second = 1; second <= 90 && shown == 0; ++second) {
            overlays.clockTick();
            clock.steady += 1;
            QImage frame = blackFrame();
            overlays.drawScrollingText(frame, txtOn);
            const int lit = litPixels(frame, frame.rect());
            shown = lit > 0 ? second : 0;
            EXPECT_EQ(litPixels(frame, {300, 120, 20, height}), lit) << txtOn << " " << second;
        }
        EXPECT_EQ(shown, firstShown) << txtOn << " " << clockOnZ;
    }
    EXPECT_EQ(boxes[BoxId::ScrollText].rect, QRect(0, 120, kFrameWidth, height));
}

// Text kept shaped from frame to frame must land on exactly the pixels drawText gives, as it
// moves, changes and changes font.
TEST(CachedText, DrawsWhatDrawTextDrawsWhereverTheLineMoves) {
    CachedText cached;
    for (const bool underline : {false, true}) {
        for (const int size : {7, 16}) {
            QFont font(QStringLiteral("Arial"));
            font.setPixelSize(size);
            font.setUnderline(underline);
            for (const QString& text : {QStringLiteral("<b>CQ</b> de station 14.233 MHz"), QStringLiteral("12:34:56z")}) {
                for (const double x : {-40.37, 0.0, 3.5, 101.81}) {
                    const QPointF baseline(x, 100 + QFontMetricsF(font).ascent());
                    QImage expected(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
                    expected.fill(QColor(30, 60, 90));
                    QImage frame = expected.copy();
                    for (QImage* image : {&expected, &frame}) {
                        QPainter painter(image);
                        painter.setFont(font);
                        painter.setPen(Qt::yellow);
                        image == &frame ? cached.draw(painter, baseline, text, font) : painter.drawText(baseline, text);
                    }
                    EXPECT_EQ(frame, expected) << text.toStdString() << " size " << size << " at " << x;
                }
            }
        }
    }
}

TEST_F(OverlayTest, FixedTextFromTheFileOrTheListOnItsBackgroundUnderTheResizedBox) {
    settings.file2 = userFolder + QStringLiteral("/text.txt");
    writeFile(settings.file2, "first, second\r\nthird\r\n");
    settings.ckFile2 = 1;
    EXPECT_EQ(fixedTextToShow(settings), QStringLiteral(" first "));
    std::tie(settings.ckFile2, settings.fixedIndex, settings.fixedTexts[2], settings.fTxtOn[0]) =
        std::tuple(0, 2, QStringLiteral("Station"), 1);
    const QFontMetrics metrics(overlayFont(settings.textFont));
    const QRect box(10, 50, metrics.horizontalAdvance(QStringLiteral("Station")), metrics.height());
    Overlays overlays = make();
    for (const int transparent : {0, 1}) {
        settings.transparent[0] = transparent;
        QImage frame = blackFrame();
        overlays.drawFixedText(frame);
        EXPECT_EQ(boxes[BoxId::FixedText].rect, box);
        EXPECT_EQ(litPixels(frame, frame.rect()), litPixels(frame, box));
        // On its background the corners are blue; without, only the text is drawn.
        EXPECT_EQ(frame.pixelColor(box.bottomRight()), transparent ? QColor(Qt::black) : QColor(Qt::blue));
        EXPECT_GT(litPixels(frame, box), 0);
    }
    // An empty line draws nothing and leaves the box as it was.
    settings.fixedTexts[2].clear();
    boxes[BoxId::FixedText].rect.setSize({1, 1});
    QImage frame = blackFrame();
    overlays.drawFixedText(frame);
    EXPECT_EQ(litPixels(frame, frame.rect()), 0);
    EXPECT_EQ(boxes[BoxId::FixedText].rect.size(), QSize(1, 1));
}

TEST(TextFile, FirstFieldOfTheFirstLineReadSafely) {
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("textfile"));
    const std::vector<std::pair<QByteArray, std::optional<QString>>> cases = {
        {" \tpadded\t ,x", QStringLiteral("padded")},
        {"\"a, quoted\", b", QStringLiteral("a, quoted")},
        {"no comma at all", QStringLiteral("no comma at all")},
        {"\xEF\xBB\xBFK\xC3\xB8" "benhavn,DK\n", QStringLiteral("K\u00F8benhavn")}, // UTF-8
        {"K\xF8" "benhavn,DK\n", QStringLiteral("K\u00F8benhavn")},                  // Latin-1
        {"\rtwo", QString()},
        {QByteArray(100000, 'y'), QString(4096, u'y')}, // the first 4096 bytes at most
        {QByteArray("\x89PNG\0\0\0", 7), std::nullopt},
        {"", QString()},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const QString path = dir + QStringLiteral("/%1.txt").arg(i);
        writeFile(path, cases[i].first);
        EXPECT_EQ(readFirstField(path), cases[i].second) << i;
    }
    EXPECT_EQ(readFirstField(dir), std::nullopt);
    // A FIFO would block a read until a writer comes; it is not a text file.
    const QString fifo = dir + QStringLiteral("/fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_EQ(readFirstField(fifo), std::nullopt);
}

// --- Last received picture -----------------------------------------------------------------

TEST(LastReceived, ThumbnailKeepsTheAspectRatio) {
    const std::tuple<QSize, int, int> cases[] = {
        {{320, 256}, 120, 96}, {{100, 150}, 50, 75},
        {{3, 100000}, 120, 240}, // absurdly tall: held to the frame's height
        {{100000, 1}, 120, 1},   // absurdly wide: still one line
        {{0, 0}, 120, 0},        {{640, 480}, 0, 0},
    };
    for (const auto& [picture, width, height] : cases) {
        EXPECT_EQ(thumbnailHeight(picture, width), height) << picture.width() << "x" << picture.height();
    }
}

// A GIF of one-pixel frames on a screen of `canvas`: a few bytes a frame, each decoded onto the
// whole canvas.
QByteArray gifOfDots(QSize canvas, int frames) {
    QByteArray gif("GIF89a");
    const auto word = [&](int value) { gif.append(char(value & 0xFF)).append(char(value >> 8)); };
    word(canvas.width()), word(canvas.height());
    gif.append("\x80\0\0" "\0\0\0\xFF\xFF\xFF", 9); // two colours: black and white
    for (int i = 0; i < frames; ++i) {
        gif.append("\x21\xF9\x04\0\x0A\0\0\0" "\x2C", 9); // a tenth of a second, then one pixel
        word(i % canvas.width()), word(0), word(1), word(1);
        gif.append("\0\x02\x02\x44\x01\0", 6);
    }
    return gif.append(';');
}

// How far the process's peak of resident memory rose above what it held when this was made.
class PeakMemoryGrowth {
public:
    PeakMemoryGrowth() {
        QFile restart(QStringLiteral("/proc/self/clear_refs")); // "5": the peak starts over from now
        if (restart.open(QIODevice::WriteOnly)) {
            restart.write("5");
        }
        startKb_ = peakKb();
    }
    qint64 mb() const { return (peakKb() - startKb_) / 1024; }

private:
    static qint64 peakKb() {
        QFile status(QStringLiteral("/proc/self/status"));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
        const qsizetype at = text.indexOf("VmHWM:");
        const QByteArray line = at < 0 ? QByteArray() : text.mid(at + 6, text.indexOf('\n', at) - at - 6);
        return line.simplified().split(' ').front().toLongLong(); // "  123456 kB"
    }
    qint64 startKb_ = 0;
};

TEST(LastReceived, HugePicturesAreRefusedOrReadSmallWithoutEverBeingHeldWhole) {
    QImage green(64, 64, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    ASSERT_TRUE(green.save(&buffer, "JPG"));
    const qsizetype frameHeader = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(frameHeader, 0);
    jpeg.replace(frameHeader + 5, 4, QByteArray("\x04\xB0\x3E\x80", 4)); // says 16000 x 1200
    struct Case {
        const char* what;
        QByteArray bytes;
        QSize size; // invalid: refused
        std::size_t mostFrames = 1;
    };
    const Case cases[] = {
        {"20000 x 1500 canvas, 400 frames", gifOfDots({20000, 1500}, 400), {}},
        {"2500 x 1600 canvas, 400 frames", gifOfDots({2500, 1600}, 400), {2500, 1600}, 8},
        {"16000 x 1200 JPEG", jpeg, {16000, 1200}},
    };
    const PeakMemoryGrowth memory;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<ReceivedPicture> picture = decodeReceivedPicture(c.bytes);
        EXPECT_EQ(picture.has_value(), c.size.isValid());
        if (picture && c.size.isValid()) {
            EXPECT_EQ(picture->size, c.size);
            EXPECT_TRUE(!picture->frames.empty() && picture->frames.size() <= c.mostFrames) << picture->frames.size();
            EXPECT_TRUE(std::ranges::all_of(picture->frames, [](const QImage& frame) {
                return frame.width() <= kFrameWidth && frame.height() <= kFrameHeight;
            })) << "held larger than the thumbnail can ever be";
        }
    }
#ifndef __SANITIZE_ADDRESS__ // which keeps freed memory resident for a while
    EXPECT_LT(memory.mb(), 64) << "a canvas was decoded whole";
#endif
}

TEST(LastReceived, DamagedOrHalfWrittenPicturesShowWhatTheyHoldAndBlackWhereTheyHoldNothing) {
    // 400 x 2 pixels of one byte each (wider than the frame), a table of white and red, and only
    // the bottom row written: 200 red, 100 of colour 200, 100 white.
    const auto picture = decodeReceivedPicture(
        QByteArray::fromBase64("Qk0AAAAAAAAAAD4AAAAoAAAAkAEAAAIAAAABAAgAAAAAAAAAAAAAAAAAAAAAAAIAAAAAAAAA////AAAA/wA=") +
        QByteArray(200, '\1') + QByteArray(100, '\xC8') + QByteArray(100, '\0'));
    ASSERT_TRUE(picture.has_value());
    const QImage& frame = picture->frames.front(); // held 320 wide
    EXPECT_EQ(frame.pixel(10, 1), qRgb(255, 0, 0));
    EXPECT_EQ(frame.pixel(200, 1), qRgb(0, 0, 0)) << "colour 200 of 2";
    EXPECT_EQ(frame.pixel(310, 1), qRgb(255, 255, 255));
    EXPECT_TRUE(frame.pixel(10, 0) == qRgb(0, 0, 0) && frame.pixel(310, 0) == qRgb(0, 0, 0)) << "the row not given";
    // An animated GIF with a damaged screen size: the reader announces 0 x 107, the frames decode.
    const auto gif = decodeReceivedPicture(QByteArray::fromBase64(
        "R0lGODlhBAhrAIAAAP8AAAAA/yH/C05FVFNDQVJFMi4wAwGAAAAh+QQACgAAACwAAAQAAAAEAAACDQRBEARBEARBEARBEAUAIfkEAAoAAAAsAAAAAAQABAAAAg0MwzUMw3AMwzAMwzAFADs="));
    EXPECT_TRUE(gif && thumbnailHeight(gif->size, 120) > 0);
}

TEST(LastReceived, FileByProgramAndFolderOptionAndTheNewestJpg) {
    const QString user = QStringLiteral("/home/op/.local/share/EasyPal");
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("newest"));
    const QDateTime base = QDateTime::currentDateTime().addDays(-1);
    writeFile(dir + QStringLiteral("/a.JPG"), "x", base); // only the last three letters count
    writeFile(dir + QStringLiteral("/b.jpeg"), "x", base.addSecs(60));
    writeFile(dir + QStringLiteral("/c.png"), "x", base.addSecs(120));
    writeFile(dir + QStringLiteral("/.hidden.jpg"), "x", base.addSecs(180)); // not a saved picture
    QDir(dir).mkdir(QStringLiteral("folder.jpg"));                           // nor is a folder
    const std::tuple<int, bool, QString, QString> cases[] = {
        {EasyPal, true, dir, user + QStringLiteral("/LastRX.bmp")},
        {EasyPal, false, QStringLiteral("/srv/pictures/"), QStringLiteral("/srv/pictures/LastRX.bmp")},
        {EasyPal, false, QStringLiteral("c:\\EasyPal"), QString()}, // the stored Windows default
        {MMSSTV, false, QStringLiteral("c:\\EasyPal"), QString()},
        {MMSSTV, false, dir, dir + QStringLiteral("/a.JPG")},
        {MMSSTV, false, dir + QStringLiteral("/missing"), QString()},
    };
    for (const auto& [program, userFolderChosen, folder, file] : cases) {
        EXPECT_EQ(lastReceivedFile(program, userFolderChosen, user, folder), file) << folder.toStdString();
    }
}

TEST_F(OverlayTest, NewestJpegIsDrawnAlongTheBottomEdgeWithABorder) {
    settings.program = MMSSTV;
    settings.epDir[MMSSTV] = userFolder;
    settings.borderColour = 0x0000FF; // red
    settings.lastRxLeft[MMSSTV] = 100;
    boxes = placeBoxesAtStartup(settings);
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(QColor(0, 200, 0));
    ASSERT_TRUE(picture.save(userFolder + QStringLiteral("/rx.jpg"), "JPG"));
    Overlays overlays = make();
    QImage frame = blackFrame();
    overlays.drawLastReceived(frame);
    EXPECT_EQ(boxes[BoxId::LastRx].rect, QRect(100, 150, 120, 90));
    EXPECT_EQ(test::countPixels(frame, {100, 150, 120, 90}, [](QColor c) { return c.green() > 150; }), 120 * 90);
    // The border: one pixel left of the picture and above it, two beyond its right edge.
    EXPECT_EQ(frame.pixelColor(99, 195), QColor(Qt::red));
    EXPECT_EQ(frame.pixelColor(160, 149), QColor(Qt::red));
    EXPECT_EQ(frame.pixelColor(222, 195), QColor(Qt::red));
    EXPECT_EQ(litPixels(frame, frame.rect()), litPixels(frame, {99, 149, 124, 91}));

    // The next picture received shows on the next frame, and so does another program's folder.
    picture.fill(QColor(0, 0, 200));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    ASSERT_TRUE(picture.save(&buffer, "JPG"));
    writeFile(userFolder + QStringLiteral("/rx2.jpg"), jpeg, QDateTime::currentDateTime().addSecs(60));
    overlays.drawLastReceived(frame);
    EXPECT_GT(overlays.lastReceivedPicture().pixelColor(5, 5).blue(), 150);
    settings.program = KGSTV;
    settings.epDir[KGSTV] = TestEnvironment::makeTempDir(QStringLiteral("kgstv"));
    overlays.drawLastReceived(frame);
    EXPECT_EQ(overlays.lastReceivedPicture().size(), QSize(120, 90)) << "the placeholder: no picture there";
}

TEST_F(OverlayTest, AnimationShowsOneFramePerCycleAndDamagedPicturesNeverStopTheCycle) {
    settings.optDir[0] = true; // the per-user folder
    const QString path = userFolder + QStringLiteral("/LastRX.bmp");
    // A 4 × 4 GIF of three frames: red, green and blue.
    writeFile(path, QByteArray::fromBase64(
                        "R0lGODlhBAAEAIEAAAAAAP8AAAD/AAAA/yH/C05FVFNDQVBFMi4wAwEAAAAh+QQACgAAACwAAAAABAAEAAAICQADCBxIsGCAgAAh+"
                        "QQACgAAACwAAAAABAAEAIEAAAD/AAAA/wAAAP8ICQAFCBxIsKCAgAAh+QQACgAAACwAAAAABAAEAIEAAAD/AAAA/wAAAP8ICQAHCBxI"
                        "sOCAgAA7"),
              yesterday);
    Overlays overlays = make();
    QImage frame = blackFrame();
    std::vector<QColor> shown;
    for (int cycle = 0; cycle < 4; ++cycle) {
        overlays.drawLastReceived(frame);
        shown.push_back(overlays.lastReceivedPicture().pixelColor(1, 1));
    }
    EXPECT_EQ(shown, (std::vector<QColor>{Qt::green, Qt::blue, Qt::red, Qt::green}));
    EXPECT_EQ(boxes[BoxId::LastRx].rect, QRect(200, 120, 120, 120));

    // A picture over 20000 pixels wide is damage or mischief; it, garbage and nothing leave the
    // placeholder, not the last frame seen.
    QImage wide(20001, 1, QImage::Format_RGB32);
    wide.fill(Qt::red);
    QByteArray wideBmp;
    QBuffer buffer(&wideBmp);
    ASSERT_TRUE(wide.save(&buffer, "BMP"));
    int step = 0;
    for (const QByteArray& bytes : {wideBmp, QByteArray(5000, '\x5A'), QByteArray()}) {
        writeFile(path, bytes, yesterday.addSecs(++step));
        overlays.drawLastReceived(frame);
        EXPECT_EQ(overlays.lastReceivedPicture().size(), QSize(120, 90)) << step;
        EXPECT_EQ(boxes[BoxId::LastRx].rect, QRect(200, 150, 120, 90)) << step;
    }
}

TEST_F(OverlayTest, PlaceholderWhenThereIsNoPictureWithTheTextOnceItCanFit) {
    // The stored default "c:\EasyPal" with the program folder chosen names no file. With no
    // language loaded the placeholder is a plain grey box.
    Overlays overlays = make();
    QImage frame = blackFrame();
    overlays.drawLastReceived(frame);
    EXPECT_TRUE(test::areaIs(frame, {200, 150, 120, 90}, QColor(80, 80, 80)));

    // A language's text is written on it in light letters with a dark shadow.
    texts.set(Text::NoPicture, QStringLiteral("No picture received yet"));
    overlays.drawLastReceived(frame);
    const auto count = [&](int low, int high) {
        return test::countPixels(frame, {200, 150, 120, 90}, [=](QColor c) { return c.value() >= low && c.value() <= high; });
    };
    EXPECT_GT(count(200, 255), 20);
    EXPECT_GT(count(0, 20), 20);
    EXPECT_TRUE(test::areaIs(frame, {200, 150, 120, kTagRoom}, QColor(80, 80, 80))) << "under the box's RX tag";
    EXPECT_TRUE(messages.shown.isEmpty());

    // Text that cannot fit is reported once a run, however often it is drawn.
    for (const QChar letter : {u'W', u'W', u'M'}) {
        texts.set(Text::NoPicture, QString(3000, letter));
        overlays.drawLastReceived(frame);
    }
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Unable to find suitable font size for text")});
}

} // namespace
} // namespace oculet
