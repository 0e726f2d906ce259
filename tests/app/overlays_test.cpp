// The overlays as the real program draws them into Cam_1.bmp: the frame is copied from a black
// stand-in window, so every coloured pixel in the written frame belongs to an overlay, and its
// place can be checked against the box the settings give it.
#include "tests/app/PublishSystemSupport.h"

#include <QBuffer>
#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <thread>

namespace oculet::test::publish_system {
namespace {

constexpr int kScreenCapture = 4;
constexpr int kEasyPal = 0;
constexpr int kMmsstv = 1;

class FrameOverlays : public OculetSystemTest {};

TEST_F(FrameOverlays, ClockShowsItsLinesAtTheClockBox) {
    struct Row {
        const char* name;
        int utc;
        int local;
        QPoint at;
        std::size_t lines;
    };
    const std::vector<Row> rows = {
        {"UTC only", 1, 0, {40, 20}, 1},
        {"local only", 0, 1, {40, 20}, 1},
        {"both, UTC above local", 1, 1, {150, 110}, 2},
    };
    int utcWidth = 0;
    int localWidth = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SettingsFile settings = quietFrame(kScreenCapture);
        settings.forProgram("clockonz", kScreenCapture, row.utc)
            .forProgram("clockonl", kScreenCapture, row.local)
            .forProgram("clockleft", kScreenCapture, row.at.x())
            .forProgram("clocktop", kScreenCapture, row.at.y());
        OculetProcess oculet;
        ASSERT_TRUE(startOculet(oculet, settings));
        const auto frame = waitForFreshFrame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->width(), 320);
        EXPECT_EQ(frame->height(), 240);

        const QRect clock = boundsOf(*frame, isYellow);
        ASSERT_FALSE(clock.isNull()) << "no yellow clock pixels";
        // The text starts at the box's corner; the glyphs' ink begins a little inside it.
        EXPECT_GE(clock.left(), row.at.x());
        EXPECT_LE(clock.left(), row.at.x() + 4);
        EXPECT_GE(clock.top(), row.at.y());
        EXPECT_LE(clock.top(), row.at.y() + 10);
        EXPECT_LT(clock.width(), 130) << "yellow far beyond one time of day";
        EXPECT_EQ(rowBands(*frame, isYellow).size(), row.lines);
        if (row.utc == 1 && row.local == 0) {
            utcWidth = clock.width();
        } else if (row.local == 1 && row.utc == 0) {
            localWidth = clock.width();
        }
        stopOculet(oculet);
    }
    // The UTC time carries its "z"; the local one does not.
    EXPECT_GE(utcWidth - localWidth, 5);
}

TEST_F(FrameOverlays, FixedTextLiesAtItsBoxWithBackgroundOnlyWhenNotTransparent) {
    struct Row {
        const char* name;
        int transparent;
        QPoint at;
    };
    const std::vector<Row> rows = {
        {"on a blue background", 0, {30, 60}},
        {"transparent", 1, {90, 140}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SettingsFile settings = quietFrame(kScreenCapture);
        settings.forProgram("ftxton", kScreenCapture, 1)
            .forProgram("transparent", kScreenCapture, row.transparent)
            .forProgram("ftxtleft", kScreenCapture, row.at.x())
            .forProgram("ftxttop", kScreenCapture, row.at.y());
        OculetProcess oculet;
        ASSERT_TRUE(startOculet(oculet, settings));
        const auto frame = waitForFreshFrame();
        ASSERT_TRUE(frame);

        const QRect text = boundsOf(*frame, isYellow);
        ASSERT_FALSE(text.isNull()) << "no yellow text pixels";
        const QRect background = boundsOf(*frame, isBlue);
        if (row.transparent == 0) {
            ASSERT_FALSE(background.isNull()) << "no background box";
            EXPECT_EQ(background.topLeft(), row.at);
            // "Fixed text" in the 16-point text font: a box of one line, wider than high.
            EXPECT_GT(background.width(), 40);
            EXPECT_GT(background.height(), 12);
            EXPECT_LT(background.height(), 40);
            EXPECT_TRUE(background.adjusted(-1, -1, 1, 1).contains(text))
                << "text outside its background box";
            // Filled: nothing inside the box shows the black picture beneath.
            EXPECT_EQ(countOf(*frame, isBlack, background), 0);
        } else {
            EXPECT_TRUE(background.isNull()) << "a background box although transparent";
            EXPECT_GE(text.left(), row.at.x());
            EXPECT_LE(text.left(), row.at.x() + 4);
            EXPECT_GE(text.top(), row.at.y());
            EXPECT_LE(text.top(), row.at.y() + 10);
        }
        stopOculet(oculet);
    }
}

// The horizontal shift that best lays the yellow pixels of `later` over those of `earlier`
// (text moving left by dx), with the fraction of yellow pixels that still disagree.
std::pair<int, double> bestLeftShift(const QImage& earlier, const QImage& later, int maxShift) {
    int best = -1;
    double bestMismatch = 2;
    for (int dx = 0; dx <= maxShift; ++dx) {
        int mismatch = 0;
        int yellow = 0;
        for (int y = 0; y < later.height(); ++y) {
            for (int x = 0; x + dx < later.width(); ++x) {
                const bool a = isYellow(later.pixel(x, y));
                const bool b = isYellow(earlier.pixel(x + dx, y));
                mismatch += a != b ? 1 : 0;
                yellow += a || b ? 1 : 0;
            }
        }
        const double fraction = yellow == 0 ? 1.0 : double(mismatch) / yellow;
        if (fraction < bestMismatch) {
            bestMismatch = fraction;
            best = dx;
        }
    }
    return {best, bestMismatch};
}

TEST_F(FrameOverlays, ScrollingTextMovesLeftWithinItsRow) {
    constexpr int kTop = 150;
    SettingsFile settings = quietFrame(kScreenCapture);
    settings.forProgram("txton", kScreenCapture, 1).forProgram("txttop", kScreenCapture, kTop);
    OculetProcess oculet;
    ASSERT_TRUE(startOculet(oculet, settings));

    // A text enters from the right edge at 15 pixels a second: wait until a piece of it shows.
    std::optional<QImage> first;
    pollUntil(4000, [&] {
        first = waitForFreshFrame();
        return first && countOf(*first, isYellow, QRect(0, 0, 320, 240)) > 40;
    });
    ASSERT_TRUE(first);
    QElapsedTimer between;
    between.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const auto second = waitForFreshFrame();
    ASSERT_TRUE(second);
    const double seconds = between.elapsed() / 1000.0;
    stopOculet(oculet);

    for (const QImage* frame : std::initializer_list<const QImage*>{&*first, &*second}) {
        const QRect text = boundsOf(*frame, isYellow);
        ASSERT_FALSE(text.isNull()) << "no scrolling text in the frame";
        EXPECT_GE(text.top(), kTop);
        EXPECT_LE(text.bottom(), kTop + 30) << "text outside its row";
        EXPECT_EQ(rowBands(*frame, isYellow).size(), 1u);
    }
    // 15 frame pixels a second, measured by wall time; the frames themselves were written up to
    // a cycle before they were read, hence the slack.
    const auto [shift, mismatch] = bestLeftShift(*first, *second, 80);
    EXPECT_GE(shift, 3) << "the text did not move left";
    EXPECT_LE(shift, int(15 * (seconds + 0.75)) + 2);
    EXPECT_LT(mismatch, 0.25) << "the later frame is not the earlier one moved left";
}

// A picture whose top half is red and bottom half green, so its thumbnail shows its orientation.
QByteArray twoBandJpeg(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(0, 0, size.width(), size.height() / 2, QColor(220, 0, 0));
    painter.fillRect(0, size.height() / 2, size.width(), size.height() - size.height() / 2,
                     QColor(0, 200, 0));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG", 95);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes, const QDateTime& modified) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return false;
    }
    return file.setFileTime(modified, QFileDevice::FileModificationTime);
}

TEST_F(FrameOverlays, LastReceivedPictureSitsOnTheBottomEdge) {
    // MMSSTV: the newest JPEG of the program's folder; an older one of another colour must not
    // be the one shown.
    const QString folder = TestEnvironment::makeTempDir(QStringLiteral("mmsstv-history"));
    const QDateTime now = QDateTime::currentDateTime();
    QImage blue(64, 48, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    QByteArray blueJpeg;
    {
        QBuffer buffer(&blueJpeg);
        buffer.open(QIODevice::WriteOnly);
        blue.save(&buffer, "JPEG", 95);
    }
    ASSERT_TRUE(writeFile(folder + QStringLiteral("/older.jpg"), blueJpeg, now.addSecs(-600)));
    ASSERT_TRUE(writeFile(folder + QStringLiteral("/newest.jpg"), twoBandJpeg({640, 480}),
                          now.addSecs(-60)));

    {
        SCOPED_TRACE("newest picture of the MMSSTV folder");
        showBackdropAs(QStringLiteral("MMSSTV - received pictures"));
        SettingsFile settings = quietFrame(kMmsstv);
        // 640 × 480 at 160 wide: 120 high, so its top is at 240 - 120.
        settings.forProgram("lastrx", kMmsstv, "True")
            .forProgram("lastrxleft", kMmsstv, 40)
            .forProgram("lastrxwidth", kMmsstv, 160)
            .forProgram("epdir", kMmsstv, folder + u'/');
        OculetProcess oculet;
        ASSERT_TRUE(startOculet(oculet, settings));
        const auto frame = waitForFreshFrame();
        ASSERT_TRUE(frame) << "no frame: was the MMSSTV window not found?";
        const QRect thumb(40, 120, 160, 120);
        const auto red = [](QRgb c) { return isNear(c, QColor(220, 0, 0), 40); };
        const auto green = [](QRgb c) { return isNear(c, QColor(0, 200, 0), 40); };
        EXPECT_TRUE(QRect(40, 120, 160, 60).contains(boundsOf(*frame, red)))
            << "red outside the thumbnail's upper half";
        EXPECT_GT(countOf(*frame, red, QRect(42, 122, 156, 56)), 156 * 56 * 9 / 10);
        EXPECT_GT(countOf(*frame, green, QRect(42, 182, 156, 56)), 156 * 56 * 9 / 10);
        EXPECT_EQ(countOf(
                      *frame, [](QRgb c) { return qBlue(c) > 120; }, thumb),
                  0)
            << "the older picture is shown";
        // Nothing of the picture above the box or beside it.
        EXPECT_EQ(countOf(*frame, std::not_fn(isBlack), QRect(0, 0, 320, 118)), 0);
        EXPECT_EQ(countOf(*frame, std::not_fn(isBlack), QRect(0, 120, 38, 120)), 0);
        EXPECT_EQ(countOf(*frame, std::not_fn(isBlack), QRect(202, 120, 80, 100)), 0);
        stopOculet(oculet);
    }
    {
        SCOPED_TRACE("placeholder for the default EasyPal folder");
        showBackdropAs(QStringLiteral("EasyPal"));
        SettingsFile settings = quietFrame(kEasyPal);
        settings.forProgram("lastrx", kEasyPal, "True");
        OculetProcess oculet;
        ASSERT_TRUE(startOculet(oculet, settings));
        const auto frame = waitForFreshFrame();
        ASSERT_TRUE(frame) << "no frame: was the EasyPal window not found?";
        // The 120 × 90 placeholder at the default place: left 200, bottom edge at 240.
        const auto grey = [](QRgb c) { return isNear(c, QColor(80, 80, 80), 6); };
        EXPECT_GT(countOf(*frame, grey, QRect(202, 152, 116, 86)), 116 * 86 / 2);
        EXPECT_TRUE(QRect(200, 150, 120, 90).contains(boundsOf(*frame, grey)))
            << "placeholder grey outside its box";
        EXPECT_EQ(countOf(*frame, std::not_fn(isBlack), QRect(0, 0, 320, 148)), 0);
        stopOculet(oculet);
    }
}

} // namespace
} // namespace oculet::test::publish_system
