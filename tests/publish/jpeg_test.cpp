#include "platform/TurboJpeg.h"
#include "publish/DibSection.h"
#include "publish/ImageCompare.h"
#include "publish/JpegWriter.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace oculet {
namespace {

using test::TestEnvironment;

TEST(DibSection, RowsArePaddedToFourBytes) {
    struct Row {
        int width;
        int bytesPerLine;
        int pad;
    };
    for (const Row row : {Row{320, 960, 0}, Row{321, 964, 1}, Row{1, 4, 1}, Row{2, 8, 2},
                          Row{3, 12, 3}, Row{4, 12, 0}}) {
        DibSection dib;
        ASSERT_TRUE(dib.create(row.width, 2));
        EXPECT_EQ(dib.bytesPerScanLine(), row.bytesPerLine) << row.width;
        EXPECT_EQ(dib.padBytes(), row.pad) << row.width;
    }
}

TEST(DibSection, EmptyAfterClearUpAndForBadSizes) {
    DibSection dib;
    dib.clearUp();
    dib.clearUp();
    EXPECT_TRUE(dib.isEmpty());
    EXPECT_EQ(dib.bits(), nullptr);
    EXPECT_FALSE(dib.create(0, 10));
    EXPECT_FALSE(dib.create(10, -1));
    EXPECT_TRUE(dib.isEmpty());
    ASSERT_TRUE(dib.create(10, 10));
    ASSERT_TRUE(dib.create(20, 5)); // a second create replaces the first
    EXPECT_EQ(dib.width(), 20);
    EXPECT_EQ(dib.height(), 5);
    dib.createFromPicture(QImage());
    EXPECT_TRUE(dib.isEmpty());
}

TEST(DibSection, PictureIsStoredBottomUpAsBgr) {
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::black);
    picture.setPixel(0, 0, qRgb(10, 20, 30));   // top left
    picture.setPixel(2, 1, qRgb(200, 100, 50)); // bottom right
    DibSection dib;
    dib.createFromPicture(picture);
    ASSERT_EQ(dib.width(), 3);
    const std::uint8_t* bits = dib.bits();
    // The bottom row comes first in memory.
    EXPECT_EQ(bits[6], 50);
    EXPECT_EQ(bits[7], 100);
    EXPECT_EQ(bits[8], 200);
    const std::uint8_t* top = bits + dib.bytesPerScanLine();
    EXPECT_EQ(top[0], 30);
    EXPECT_EQ(top[1], 20);
    EXPECT_EQ(top[2], 10);
}

// Four quadrants of clearly different colours: a picture stored upside down or with red and
// blue swapped decodes with the wrong colour in every corner.
QImage quadrants(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            picture.setPixel(x, y, !bottom ? (right ? qRgb(255, 0, 0) : qRgb(0, 0, 255))
                                           : (right ? qRgb(0, 255, 0) : qRgb(255, 255, 0)));
        }
    }
    return picture;
}

void expectClose(QRgb actual, QRgb expected, const char* where) {
    EXPECT_NEAR(qRed(actual), qRed(expected), 24) << where;
    EXPECT_NEAR(qGreen(actual), qGreen(expected), 24) << where;
    EXPECT_NEAR(qBlue(actual), qBlue(expected), 24) << where;
}

TEST(JpegWriter, FrameDecodesUprightWithItsColours) {
    for (const QSize size : {QSize(320, 240), QSize(321, 241)}) {
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("jpeg"));
        const QImage frame = quadrants(size.width(), size.height());
        if (size == QSize(320, 240)) {
            saveFrameAsJpeg(frame, folder);
        } else {
            DibSection dib;
            dib.createFromPicture(frame);
            writeJpegFile(dib, folder + QStringLiteral("/temp.jpg"), 65);
        }
        const QImage decoded(folder + QStringLiteral("/temp.jpg"));
        ASSERT_FALSE(decoded.isNull());
        EXPECT_EQ(decoded.size(), size);
        const int w = size.width();
        const int h = size.height();
        expectClose(decoded.pixel(w / 4, h / 4), qRgb(0, 0, 255), "top left");
        expectClose(decoded.pixel(3 * w / 4, h / 4), qRgb(255, 0, 0), "top right");
        expectClose(decoded.pixel(w / 4, 3 * h / 4), qRgb(255, 255, 0), "bottom left");
        expectClose(decoded.pixel(3 * w / 4, 3 * h / 4), qRgb(0, 255, 0), "bottom right");
    }
}

TEST(JpegWriter, OverwriteKeepsTimesAndModeAndLeavesNoTemporaryFile) {
    const QString folder = TestEnvironment::makeTempDir(QStringLiteral("jpeg"));
    const QString path = folder + QStringLiteral("/temp.jpg");
    saveFrameAsJpeg(quadrants(320, 240), folder);
    const QByteArray native = QFile::encodeName(path);
    ASSERT_EQ(::chmod(native.constData(), 0640), 0);
    const struct timespec times[2] = {{1000000000, 5}, {1100000000, 7}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
    struct stat before {};
    ASSERT_EQ(::stat(native.constData(), &before), 0);

    saveFrameAsJpeg(QImage(320, 240, QImage::Format_RGB32), folder);

    struct stat after {};
    ASSERT_EQ(::stat(native.constData(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino); // a new file took the name
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(after.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(after.st_mtim.tv_nsec, 7);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("temp.jpg")});
}

TEST(JpegWriter, FailuresRaiseTheEncoderError) {
    DibSection dib;
    dib.createFromPicture(quadrants(16, 16));
    const QString missing = TestEnvironment::root() + QStringLiteral("/no/such/folder/temp.jpg");
    try {
        writeJpegFile(dib, missing, 65);
        FAIL() << "no error for a path in a missing folder";
    } catch (const JpegError& error) {
        EXPECT_EQ(error.number(), 26001);
        EXPECT_EQ(error.code(), ENOENT);
        EXPECT_EQ(error.message(), QStringLiteral("Failed to save to JPG %1").arg(ENOENT));
        EXPECT_TRUE(error.source().endsWith(QStringLiteral(".mIntelJPEGLibrary")));
        EXPECT_FALSE(error.source().startsWith(u'.'));
    }
    // An empty picture reaches the encoder, which refuses it.
    EXPECT_THROW(writeJpegFile(DibSection(), TestEnvironment::root() + QStringLiteral("/x.jpg"), 65),
                 JpegError);
}

class FailingEncoder final : public JpegEncoder {
public:
    FailingEncoder(int init, int encode) : init_(init), encode_(encode) {}
    int initialise() override { return init_; }
    int encodeBgrBottomUp(const std::uint8_t*, int, int, int, int,
                          std::vector<std::uint8_t>&) override {
        return encode_;
    }

private:
    int init_;
    int encode_;
};

TEST(JpegWriter, EncoderFailureCodesReachTheMessageAndTheOldFileSurvives) {
    const QString folder = TestEnvironment::makeTempDir(QStringLiteral("jpeg"));
    const QString path = folder + QStringLiteral("/temp.jpg");
    saveFrameAsJpeg(quadrants(320, 240), folder);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    const QByteArray oldBytes = old.readAll();
    old.close();

    DibSection dib;
    dib.createFromPicture(quadrants(320, 240));
    struct Case {
        int init;
        int encode;
        QString message;
    };
    for (const Case& c : {Case{7, 0, QStringLiteral("Failed to initialise the IJL library: 7")},
                          Case{0, -2, QStringLiteral("Failed to save to JPG -2")}}) {
        FailingEncoder encoder(c.init, c.encode);
        try {
            writeJpegFile(dib, path, 65, encoder);
            FAIL() << "no error";
        } catch (const JpegError& error) {
            EXPECT_EQ(error.message(), c.message);
            EXPECT_EQ(error.number(), 26001);
        }
        QFile after(path);
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        EXPECT_EQ(after.readAll(), oldBytes);
    }
}

TEST(ImageCompare, ExactComparisonAndNullEqualsNothing) {
    const QImage black(320, 240, QImage::Format_RGB32);
    QImage blackFilled = black;
    blackFilled.fill(Qt::black);
    QImage oneOff = blackFilled;
    oneOff.setPixel(319, 239, qRgb(0, 0, 1));
    struct Case {
        QImage a;
        QImage b;
        bool equal;
        const char* what;
    };
    for (const Case& c : {Case{blackFilled, QImage(), false, "black against no reference"},
                          Case{QImage(), QImage(), false, "two null pictures"},
                          Case{blackFilled, blackFilled.copy(), true, "same pixels"},
                          Case{blackFilled, oneOff, false, "last pixel differs by one"},
                          Case{blackFilled, blackFilled.convertToFormat(QImage::Format_RGB888),
                               true, "same colours, other format"},
                          Case{blackFilled, blackFilled.copy(0, 0, 320, 239), false, "other size"}}) {
        EXPECT_EQ(imagesEqual(c.a, c.b), c.equal) << c.what;
    }
}

} // namespace
} // namespace oculet
