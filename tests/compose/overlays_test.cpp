#include "compose/ClockOverlay.h"
#include "compose/FixedTextOverlay.h"
#include "compose/LastReceivedOverlay.h"
#include "compose/OverlayFont.h"
#include "compose/Overlays.h"
#include "compose/TextFile.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFontMetrics>
#include <QtEndian>

#include <gtest/gtest.h>

#include <ctime>
#include <sys/stat.h>

namespace oculet {
namespace {

using test::TestEnvironment;

class FakeClock final : public Clock {
public:
    QDateTime utc = QDateTime(QDate(2024, 3, 10), QTime(12, 34, 56), Qt::UTC);
    QDateTime local = QDateTime(QDate(2024, 3, 10), QTime(18, 4, 56));
    double steady = 1000;
    QDateTime utcNow() const override { return utc; }
    QDateTime localNow() const override { return local; }
    double steadySeconds() const override { return steady; }
};

class CountingMessages final : public MessageBoxes {
public:
    QStringList shown;
    void inform(const QString& text) override { shown << text; }
    void warn(const QString& text) override { shown << text; }
    bool askYesNo(const QString& text) override {
        shown << text;
        return true;
    }
};

QImage blackFrame() {
    QImage frame(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    frame.fill(Qt::black);
    return frame;
}

// Pixels that are not black in a rectangle of the frame.
int litPixels(const QImage& frame, const QRect& area) {
    int lit = 0;
    const QRect r = area.intersected(frame.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            lit += (frame.pixel(x, y) & 0xFFFFFF) != 0;
        }
    }
    return lit;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void setTime(const QString& path, const QDateTime& time) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
}

// A 4 × 4 GIF of `frames` frames, frame i filled with palette entry i + 1. Written here so the
// test needs no image tool: a clear code before every two pixels keeps every LZW code 4 bits.
QByteArray animatedGif(int frames) {
    QByteArray gif("GIF89a");
    auto word = [&gif](int v) {
        gif.append(char(v & 0xFF));
        gif.append(char((v >> 8) & 0xFF));
    };
    word(4);
    word(4);
    gif.append(char(0xF2)); // global table of 8 entries
    gif.append('\0');
    gif.append('\0');
    const int palette[8][3] = {{0, 0, 0},     {255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                               {255, 255, 0}, {0, 255, 255}, {255, 0, 255}, {255, 255, 255}};
    for (const auto& c : palette) {
        for (int v : c) {
            gif.append(char(v));
        }
    }
    gif.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (int f = 0; f < frames; ++f) {
        gif.append("\x21\xF9\x04\x04\x0A\x00\x00\x00", 8);
        gif.append(char(0x2C));
        word(0);
        word(0);
        word(4);
        word(4);
        gif.append('\0');
        gif.append(char(3)); // LZW minimum code size
        QByteArray data;
        quint32 bits = 0;
        int count = 0;
        auto code = [&](int c) {
            bits |= quint32(c) << count;
            count += 4;
            while (count >= 8) {
                data.append(char(bits & 0xFF));
                bits >>= 8;
                count -= 8;
            }
        };
        for (int pair = 0; pair < 8; ++pair) {
            code(8); // clear
            code(f + 1);
            code(f + 1);
        }
        code(9); // end
        if (count > 0) {
            data.append(char(bits & 0xFF));
        }
        gif.append(char(data.size()));
        gif.append(data);
        gif.append('\0');
    }
    gif.append(char(0x3B));
    return gif;
}

struct OverlayFixture : ::testing::Test {
    Settings settings;
    OverlayBoxes boxes;
    FakeClock clock;
    CountingMessages messages;
    InterfaceTexts texts;
    QString userFolder = TestEnvironment::makeTempDir(QStringLiteral("easypal"));

    void SetUp() override { boxes = placeBoxesAtStartup(settings); }
    Overlays make() { return Overlays(settings, boxes, clock, messages, texts, userFolder); }
};

// --- Clock ----------------------------------------------------------------------------------

using ClockOverlay = OverlayFixture;

TEST_F(ClockOverlay, BothClocksTwoLinesUtcWithZAboveLocal) {
    Overlays overlays = make();
    QImage frame = blackFrame();
    overlays.drawClock(frame);
    const QFontMetrics metrics(overlayFont(settings.clockFont));
    const QRect box = boxes.clock.rect;
    EXPECT_EQ(box.topLeft(), QPoint(220, 5));
    EXPECT_EQ(box.size(), QSize(metrics.horizontalAdvance(QStringLiteral("12:34:56")), 2 * metrics.height()));
    const int line = metrics.height();
    // The "z" sticks out to the right of the box on the first line only.
    const QRect rightOfBox(box.right() + 1, box.top(), 40, 2 * line);
    EXPECT_GT(litPixels(frame, rightOfBox.adjusted(0, 0, 0, -line)), 0);
    EXPECT_EQ(litPixels(frame, rightOfBox.adjusted(0, line, 0, 0)), 0);
    // Both lines carry text, and nothing lies below them.
    EXPECT_GT(litPixels(frame, QRect(box.left(), box.top(), box.width(), line)), 0);
    EXPECT_GT(litPixels(frame, QRect(box.left(), box.top() + line, box.width(), line)), 0);
    EXPECT_EQ(litPixels(frame, QRect(0, box.bottom() + 1, kFrameWidth, kFrameHeight)), 0);
}

TEST_F(ClockOverlay, OneClockOneLineAndOnlyUtcHasTheZ) {
    for (const bool utc : {true, false}) {
        settings.clockOnZ[0] = utc ? 1 : 0;
        settings.clockOnL[0] = utc ? 0 : 1;
        Overlays overlays = make();
        QImage frame = blackFrame();
        overlays.drawClock(frame);
        const QFontMetrics metrics(overlayFont(settings.clockFont));
        const QRect box = boxes.clock.rect;
        EXPECT_EQ(box.height(), metrics.height()) << utc;
        EXPECT_EQ(litPixels(frame, QRect(box.right() + 1, 0, 60, kFrameHeight)) > 0, utc) << utc;
        // The local clock shows local time: its picture differs from the UTC one.
        QImage expected = blackFrame();
        drawClock(expected, box.topLeft(), ClockFace{utc, !utc, QStringLiteral("12:34:56"), QStringLiteral("18:04:56")},
                  settings.clockFont, settings.clockColour);
        EXPECT_EQ(frame, expected) << utc;
    }
    EXPECT_EQ(make().utcText(), QStringLiteral("12:34:56z"));
    EXPECT_EQ(make().localText(), QStringLiteral("18:04:56"));
}

TEST_F(ClockOverlay, UtcClockIsTheSystemsUtcInAHalfHourZone) {
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Asia/Kolkata");
    tzset();
    SystemClock system;
    Overlays overlays(settings, boxes, system, messages, texts, userFolder);
    QString utc;
    QString expected;
    QString local;
    QTime localExpected;
    for (int attempt = 0; attempt < 5 && (utc.isEmpty() || utc != expected); ++attempt) {
        expected = QDateTime::currentDateTimeUtc().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("z");
        utc = overlays.utcText();
        local = overlays.localText();
        localExpected = QDateTime::currentDateTimeUtc().time().addSecs(5 * 3600 + 1800);
    }
    if (oldTz.isNull()) {
        qunsetenv("TZ");
    } else {
        qputenv("TZ", oldTz);
    }
    tzset();
    EXPECT_EQ(utc, expected);
    // Local time here is UTC + 5:30.
    const QTime localTime = QTime::fromString(local, QStringLiteral("HH:mm:ss"));
    ASSERT_TRUE(localTime.isValid());
    EXPECT_LE(std::abs(localTime.secsTo(localExpected)), 2);
}

TEST_F(ClockOverlay, TickRaisesTheMinuteFlagOnlyWhileAClockIsShown) {
    Overlays overlays = make();
    for (int i = 0; i < 59; ++i) {
        overlays.clockTick();
    }
    EXPECT_FALSE(overlays.minuteFlag());
    overlays.clockTick();
    EXPECT_TRUE(overlays.minuteFlag());
    EXPECT_EQ(overlays.secondCounter(), 0);

    settings.clockOnZ[0] = 0;
    settings.clockOnL[0] = 0;
    Overlays off = make();
    for (int i = 0; i < 200; ++i) {
        off.clockTick();
    }
    EXPECT_FALSE(off.minuteFlag());
}

// --- Scrolling text through the overlays ------------------------------------------------------

using ScrollingOverlay = OverlayFixture;

TEST_F(ScrollingOverlay, PerMinuteTextWithBothClocksOffIsNeverDrawn) {
    settings.scrollTexts[0] = QStringLiteral("ab");
    for (const bool clocksOn : {false, true}) {
        settings.clockOnZ[0] = clocksOn ? 1 : 0;
        settings.clockOnL[0] = 0;
        Overlays overlays = make();
        int lit = 0;
        for (int second = 0; second < 150; ++second) {
            overlays.clockTick();
            for (int cycle = 0; cycle < 4; ++cycle) {
                clock.steady += 0.25;
                QImage frame = blackFrame();
                overlays.drawScrollingText(frame, 60);
                lit += litPixels(frame, frame.rect());
            }
        }
        EXPECT_EQ(lit > 0, clocksOn) << clocksOn;
    }
}

TEST_F(ScrollingOverlay, ContinuousTextRunsAtItsBoxAndSetsItsHeight) {
    settings.scrollTexts[0] = QStringLiteral("Hello");
    Overlays overlays = make();
    QImage frame = blackFrame();
    overlays.drawScrollingText(frame, 1);
    EXPECT_EQ(litPixels(frame, frame.rect()), 0); // starts beyond the right edge
    clock.steady += 4;
    overlays.drawScrollingText(frame, 1);
    clock.steady += 4;
    frame = blackFrame();
    overlays.drawScrollingText(frame, 1); // drawn 60 pixels in from the right
    const QFontMetrics metrics(overlayFont(settings.textFont));
    const QRect box = boxes.scrollText.rect;
    EXPECT_EQ(box.height(), metrics.height());
    EXPECT_GT(litPixels(frame, QRect(260, box.top(), 60, box.height())), 0);
    EXPECT_EQ(litPixels(frame, QRect(0, 0, 255, kFrameHeight)), 0);
    EXPECT_EQ(litPixels(frame, QRect(0, 0, kFrameWidth, box.top())), 0);

    overlays.restartScrolling();
    frame = blackFrame();
    overlays.drawScrollingText(frame, 1);
    EXPECT_EQ(litPixels(frame, frame.rect()), 0);
}

// --- Fixed text and text files ---------------------------------------------------------------

using FixedTextOverlayTest = OverlayFixture;

TEST_F(FixedTextOverlayTest, FirstFieldOfTheFileWithASpaceOnEachSide) {
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("fixed"));
    settings.file2 = dir + QStringLiteral("/text.txt");
    writeFile(settings.file2, "first, second\r\nthird\r\n");
    settings.ckFile2 = 1;
    EXPECT_EQ(fixedTextToShow(settings), QStringLiteral(" first "));
    settings.ckFile2 = 0;
    settings.fixedIndex = 2;
    settings.fixedTexts[2] = QStringLiteral("from the list");
    EXPECT_EQ(fixedTextToShow(settings), QStringLiteral("from the list"));
    settings.fixedIndex = 9;
    EXPECT_EQ(fixedTextToShow(settings), QString());
}

TEST_F(FixedTextOverlayTest, BackgroundLiesExactlyUnderTheResizedBox) {
    settings.fTxtOn[0] = 1;
    settings.transparent[0] = 0;
    settings.fixedTexts[0] = QStringLiteral("Station");
    Overlays overlays = make();
    QImage frame = blackFrame();
    overlays.drawFixedText(frame);
    const QRect box = boxes.fixedText.rect;
    const QFontMetrics metrics(overlayFont(settings.textFont));
    EXPECT_EQ(box, QRect(QPoint(10, 50), QSize(metrics.horizontalAdvance(QStringLiteral("Station")), metrics.height())));
    const QColor blue(0, 0, 255);
    for (const QPoint corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()}) {
        EXPECT_EQ(frame.pixelColor(corner), blue);
    }
    EXPECT_EQ(litPixels(frame, frame.rect()), box.width() * box.height());

    settings.transparent[0] = 1;
    frame = blackFrame();
    overlays.drawFixedText(frame);
    EXPECT_GT(litPixels(frame, box), 0);
    EXPECT_LT(litPixels(frame, box), box.width() * box.height() / 2);
    EXPECT_EQ(litPixels(frame, frame.rect()), litPixels(frame, box));

    // An empty line draws nothing and leaves the box as it was.
    settings.fixedTexts[0].clear();
    frame = blackFrame();
    overlays.drawFixedText(frame);
    EXPECT_EQ(litPixels(frame, frame.rect()), 0);
    EXPECT_EQ(boxes.fixedText.rect, box);
}

TEST(TextFile, FirstFieldRule) {
    struct Case {
        const char* line;
        const char* field;
    };
    const Case cases[] = {
        {"first, second", "first"},
        {"  padded  ,x", "padded"},
        {"\"a, quoted\", b", "a, quoted"},
        {"no comma at all", "no comma at all"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(firstField(QString::fromUtf8(c.line)), QString::fromUtf8(c.field)) << c.line;
    }
}

TEST(TextFile, ReadsSafely) {
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("textfile"));
    struct Case {
        const char* name;
        QByteArray bytes;
        std::optional<QString> field;
    };
    QByteArray huge = "huge,rest\n";
    huge.append(QByteArray(8 * 1024 * 1024, 'x'));
    const std::vector<Case> cases = {
        {"utf8.txt", "\xEF\xBB\xBFK\xC3\xB8" "benhavn,DK\n", QStringLiteral("K\u00F8benhavn")},
        {"latin1.txt", "K\xF8" "benhavn,DK\n", QStringLiteral("K\u00F8benhavn")},
        {"cr.txt", "one\rtwo", QStringLiteral("one")},
        {"huge.txt", huge, QStringLiteral("huge")},
        {"noline.txt", QByteArray(100000, 'y'), QString(4096, u'y')},
        {"binary.txt", QByteArray("\x89PNG\0\0\0", 7), std::nullopt},
        {"empty.txt", "", QString()},
    };
    for (const Case& c : cases) {
        const QString path = dir + u'/' + QString::fromLatin1(c.name);
        writeFile(path, c.bytes);
        EXPECT_EQ(readFirstField(path), c.field) << c.name;
    }
    EXPECT_EQ(readFirstField(QString()), std::nullopt);
    EXPECT_EQ(readFirstField(dir + QStringLiteral("/vanished.txt")), std::nullopt);
    EXPECT_EQ(readFirstField(dir), std::nullopt);
    // A FIFO would block a read until a writer comes; it is not a text file.
    const QString fifo = dir + QStringLiteral("/fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_EQ(readFirstField(fifo), std::nullopt);
}

// --- Last received picture -----------------------------------------------------------------

TEST(LastReceived, ThumbnailKeepsTheAspectRatio) {
    struct Case {
        QSize picture;
        int width;
        int height;
    };
    const Case cases[] = {
        {{640, 480}, 120, 90}, {{320, 256}, 120, 96}, {{120, 90}, 120, 90}, {{100, 150}, 50, 75},
        {{3, 100000}, 120, 240}, // absurdly tall: held to the frame's height
        {{100000, 1}, 120, 1},   // absurdly wide: still one line
        {{0, 0}, 120, 0},        {{640, 480}, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(thumbnailHeight(c.picture, c.width), c.height) << c.picture.width() << "x" << c.picture.height();
    }
}

TEST(LastReceived, NewestJpgLooksAtTheLastThreeLetters) {
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("newest"));
    const QDateTime base = QDateTime::currentDateTime().addDays(-1);
    writeFile(dir + QStringLiteral("/a.JPG"), "x");
    writeFile(dir + QStringLiteral("/b.jpeg"), "x");
    writeFile(dir + QStringLiteral("/c.png"), "x");
    setTime(dir + QStringLiteral("/a.JPG"), base);
    setTime(dir + QStringLiteral("/b.jpeg"), base.addSecs(60));
    setTime(dir + QStringLiteral("/c.png"), base.addSecs(120));
    EXPECT_EQ(newestJpg(dir), QStringLiteral("a.JPG"));
    EXPECT_EQ(newestJpg(dir + QStringLiteral("/missing")), QString());
    EXPECT_EQ(newestJpg(TestEnvironment::makeTempDir(QStringLiteral("empty"))), QString());

    // Equal times: the first the directory lists wins.
    const QString same = TestEnvironment::makeTempDir(QStringLiteral("same"));
    for (const char* name : {"p.jpg", "q.jpg", "r.jpg", "s.jpg"}) {
        writeFile(same + u'/' + QLatin1String(name), "x");
        setTime(same + u'/' + QLatin1String(name), base);
    }
    QDirIterator it(same, QDir::Files);
    ASSERT_TRUE(it.hasNext());
    it.next();
    EXPECT_EQ(newestJpg(same), it.fileName());
}

TEST(LastReceived, FileByProgramAndFolderOption) {
    const QString user = QStringLiteral("/home/op/.local/share/EasyPal");
    const QString folder = QStringLiteral("/srv/pictures/");
    EXPECT_EQ(lastReceivedFile(EasyPal, true, user, folder), user + QStringLiteral("/LastRX.bmp"));
    EXPECT_EQ(lastReceivedFile(EasyPal, false, user, folder), folder + QStringLiteral("LastRX.bmp"));
    EXPECT_EQ(lastReceivedFile(EasyPal, false, user, QStringLiteral("/srv/pictures")),
              QStringLiteral("/srv/pictures/LastRX.bmp"));
    // The stored Windows default names nothing here.
    EXPECT_EQ(lastReceivedFile(EasyPal, false, user, QStringLiteral("c:\\EasyPal")), QString());
    EXPECT_EQ(lastReceivedFile(MMSSTV, false, user, QStringLiteral("c:\\EasyPal")), QString());
}

// Counts loads; every picture has `frames` frames of 10 × 10.
class CountingDecoder final : public PictureDecoder {
public:
    int loads = 0;
    bool succeed = true;
    int frames = 1;
    bool load(const QString&) override {
        ++loads;
        return succeed;
    }
    int frameCount() const override { return succeed ? frames : 0; }
    QImage frame(int) const override {
        QImage image(10, 10, QImage::Format_RGB32);
        image.fill(Qt::white);
        return image;
    }
    QSize pictureSize() const override { return {10, 10}; }
};

TEST(LastReceived, LoadsOnlyWhenTheFileChanges) {
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("reload"));
    const QString path = dir + QStringLiteral("/LastRX.bmp");
    writeFile(path, "picture");
    const QDateTime base = QDateTime::currentDateTime().addSecs(-100);
    setTime(path, base);
    auto decoder = std::make_unique<CountingDecoder>();
    CountingDecoder& counting = *decoder;
    LastReceivedPicture picture(std::move(decoder));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(picture.refresh(path));
    }
    EXPECT_EQ(counting.loads, 1);
    setTime(path, base.addSecs(1));
    EXPECT_TRUE(picture.refresh(path));
    EXPECT_EQ(counting.loads, 2);

    // A file that cannot be read is tried once per change, not once per cycle.
    counting.succeed = false;
    setTime(path, base.addSecs(2));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(picture.refresh(path));
    }
    EXPECT_EQ(counting.loads, 3);
    counting.succeed = true;
    picture.forget();
    EXPECT_TRUE(picture.refresh(path));
    EXPECT_EQ(counting.loads, 4);

    EXPECT_FALSE(picture.refresh(dir + QStringLiteral("/gone.bmp")));
    EXPECT_FALSE(picture.refresh(dir));
}

using LastReceivedOverlay = OverlayFixture;

TEST_F(LastReceivedOverlay, NewestJpegIsDrawnAlongTheBottomEdge) {
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("mmsstv"));
    settings.program = MMSSTV;
    settings.epDir[MMSSTV] = dir + u'/';
    settings.borderColour = 0x0000FF; // red
    settings.lastRxLeft[MMSSTV] = 100;
    boxes = placeBoxesAtStartup(settings);
    struct Case {
        QSize size;
        int height;
    };
    const Case cases[] = {{{640, 480}, 90}, {{320, 256}, 96}};
    int n = 0;
    for (const Case& c : cases) {
        QImage picture(c.size, QImage::Format_RGB32);
        picture.fill(QColor(0, 200, 0));
        const QString path = dir + QStringLiteral("/rx%1.jpg").arg(n);
        ASSERT_TRUE(picture.save(path, "JPG"));
        setTime(path, QDateTime::currentDateTime().addSecs(n++ * 10));
        Overlays overlays = make();
        QImage frame = blackFrame();
        overlays.drawLastReceived(frame);
        EXPECT_EQ(boxes.lastRx.rect, QRect(100, 240 - c.height, 120, c.height));
        EXPECT_EQ(overlays.lastReceivedPicture().size(), c.size);
        const int middle = 240 - c.height / 2;
        EXPECT_GT(frame.pixelColor(160, middle).green(), 150);
        EXPECT_GT(frame.pixelColor(219, 239).green(), 150);
        EXPECT_EQ(litPixels(frame, QRect(0, 0, kFrameWidth, 239 - c.height)), 0);
        // The border: one pixel left of the picture and above it, two beyond its right edge.
        const QColor red(255, 0, 0);
        EXPECT_EQ(frame.pixelColor(99, middle), red);
        EXPECT_EQ(frame.pixelColor(160, 239 - c.height), red);
        EXPECT_EQ(frame.pixelColor(222, middle), red);
        EXPECT_EQ(frame.pixelColor(221, middle), QColor(Qt::black));
        EXPECT_EQ(litPixels(frame, QRect(0, 0, 99, kFrameHeight)), 0);
        EXPECT_EQ(litPixels(frame, QRect(223, 0, 100, kFrameHeight)), 0);
    }
}

TEST_F(LastReceivedOverlay, AnimationShowsOneFramePerCycle) {
    settings.optDir[0] = true; // the per-user folder
    writeFile(userFolder + QStringLiteral("/LastRX.bmp"), animatedGif(5));
    Overlays overlays = make();
    // Frame i is filled with palette entry i + 1.
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};
    std::vector<int> shown;
    for (int cycle = 0; cycle < 6; ++cycle) {
        QImage frame = blackFrame();
        overlays.drawLastReceived(frame);
        const QColor seen = overlays.lastReceivedPicture().pixelColor(1, 1);
        int index = -1;
        for (int i = 0; i < 5; ++i) {
            if (seen == colours[i]) {
                index = i;
            }
        }
        shown.push_back(index);
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 4, 0, 1}));
    EXPECT_EQ(boxes.lastRx.rect.height(), 120);
}

TEST_F(LastReceivedOverlay, PlaceholderWhenThereIsNoPicture) {
    // The stored default "c:\EasyPal" with the program folder chosen.
    ASSERT_FALSE(settings.optDir[0]);
    Overlays overlays = make();
    QImage frame = blackFrame();
    overlays.drawLastReceived(frame);
    const QImage& picture = overlays.lastReceivedPicture();
    ASSERT_EQ(picture.size(), QSize(120, 90));
    // No language loaded: a plain grey box.
    for (const QPoint p : {QPoint(0, 0), QPoint(60, 45), QPoint(119, 89)}) {
        EXPECT_EQ(picture.pixelColor(p), QColor(80, 80, 80));
    }
    EXPECT_EQ(boxes.lastRx.rect, QRect(200, 150, 120, 90));
    EXPECT_EQ(frame.pixelColor(260, 200), QColor(80, 80, 80));

    // With a language's text it is written on the grey box, with a shadow.
    texts.noPicture = QStringLiteral("No picture received yet");
    overlays.drawLastReceived(frame);
    int light = 0;
    for (int y = 0; y < 90; ++y) {
        for (int x = 0; x < 120; ++x) {
            light += qGray(overlays.lastReceivedPicture().pixel(x, y)) > 200;
        }
    }
    EXPECT_GT(light, 20);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(LastReceivedOverlay, TextThatCannotFitIsReportedOncePerRun) {
    Overlays overlays = make();
    texts.noPicture = QString(3000, u'W');
    QImage frame = blackFrame();
    for (int i = 0; i < 5; ++i) {
        overlays.drawLastReceived(frame);
    }
    texts.noPicture = QString(3000, u'M');
    overlays.drawLastReceived(frame);
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Unable to find suitable font size for text")});
}

TEST_F(LastReceivedOverlay, DamagedPicturesNeverStopTheCycle) {
    settings.optDir[0] = true;
    const QString path = userFolder + QStringLiteral("/LastRX.bmp");
    QImage good(640, 480, QImage::Format_RGB32);
    good.fill(QColor(0, 200, 0));
    QByteArray bmp;
    {
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(good.save(&buffer, "BMP"));
    }
    // A header that claims 100000 × 100000 pixels.
    QByteArray absurd = bmp.left(54);
    qToLittleEndian<qint32>(100000, absurd.data() + 18);
    qToLittleEndian<qint32>(100000, absurd.data() + 22);
    const std::vector<std::pair<const char*, QByteArray>> files = {
        {"truncated", bmp.left(bmp.size() / 3)},
        {"garbage", QByteArray(5000, '\x5A')},
        {"absurd", absurd},
        {"empty", QByteArray()},
    };
    int step = 0;
    for (const auto& [name, bytes] : files) {
        writeFile(path, bytes);
        setTime(path, QDateTime::currentDateTime().addSecs(++step));
        Overlays overlays = make();
        QImage frame = blackFrame();
        overlays.drawLastReceived(frame);
        const QImage& shown = overlays.lastReceivedPicture();
        // Either the placeholder or what could be read; a box on the frame either way.
        EXPECT_FALSE(shown.isNull()) << name;
        EXPECT_GT(boxes.lastRx.rect.height(), 0) << name;
        EXPECT_LE(boxes.lastRx.rect.height(), 240) << name;
    }
}

} // namespace
} // namespace oculet
