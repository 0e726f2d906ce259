#include "platform/TurboJpeg.h"
#include "publish/ImageCompare.h"
#include "publish/JpegWriter.h"
#include "tests/platform/PixelCheck.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace oculet {
namespace {

using test::readFile;
using test::TestEnvironment;

// Clearly different colours in each quarter: a picture stored upside down or with red and blue
// swapped decodes with the wrong colour in every corner.
QImage quadrants(QSize size) {
    const int w = size.width() / 2, h = size.height() / 2;
    return test::painted(size, {{{0, 0, w, h}, qRgb(0, 0, 255)}, {{w, 0, w + 1, h}, qRgb(255, 0, 0)},
                                {{0, h, w, h + 1}, qRgb(255, 255, 0)}}, qRgb(0, 255, 0));
}

TEST(JpegWriter, FrameDecodesUprightInItsColoursAtQuality65) {
    const QString folder = TestEnvironment::makeTempDir("jpeg"), temp = folder + "/temp.jpg";
    for (const QSize size : {QSize(320, 240), QSize(321, 241)}) {
        saveFrameAsJpeg(quadrants(size), folder);
        const QImage decoded(temp);
        ASSERT_EQ(decoded.size(), size);
        const int w = size.width() / 2, h = size.height() / 2;
        for (const auto& [x, y, rgb] : {std::tuple{0, 0, qRgb(0, 0, 255)}, {w + 2, 0, qRgb(255, 0, 0)},
                                        {0, h + 2, qRgb(255, 255, 0)}, {w + 2, h + 2, qRgb(0, 255, 0)}}) {
            EXPECT_TRUE(test::allPixels(decoded, {x, y, w - 2, h - 2}, rgb, 24)) << size.width();
        }
    }
    // Quality 65: the same bytes as the encoder gives at 65, fewer than at 95.
    const QImage last = quadrants({321, 241});
    TurboJpegEncoder encoder;
    std::vector<std::uint8_t> jpeg[2];
    for (const int i : {0, 1}) {
        ASSERT_EQ(encoder.encodeRgb32TopDown(last.constBits(), 321, 241, int(last.bytesPerLine()), i == 0 ? 65 : 95, jpeg[i]), 0);
    }
    EXPECT_EQ(readFile(temp), QByteArray(reinterpret_cast<const char*>(jpeg[0].data()), qsizetype(jpeg[0].size())));
    EXPECT_LT(jpeg[0].size(), jpeg[1].size());
}

TEST(JpegWriter, OverwriteKeepsTimesAndModeAndLeavesNoTemporaryFile) {
    const QString folder = TestEnvironment::makeTempDir("jpeg");
    const QByteArray path = QFile::encodeName(folder + "/temp.jpg");
    saveFrameAsJpeg(quadrants({320, 240}), folder);
    ASSERT_EQ(::chmod(path.constData(), 0640), 0);
    const struct timespec times[2] = {{1000000000, 5}, {1100000000, 7}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    struct stat before {}, after {};
    ASSERT_EQ(::stat(path.constData(), &before), 0);
    saveFrameAsJpeg(QImage(320, 240, QImage::Format_RGB32), folder);
    ASSERT_EQ(::stat(path.constData(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino); // a new file took the name
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(after.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(after.st_mtim.tv_nsec, 7);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"temp.jpg"});
}

struct ScriptedEncoder final : JpegEncoder {
    ScriptedEncoder(int init, int encode) : init(init), encode(encode) {}
    int initialise() override { return init; }
    int encodeRgb32TopDown(const std::uint8_t*, int, int, int, int, std::vector<std::uint8_t>& jpeg) override {
        jpeg.assign(3, 'x');
        return encode;
    }
    const int init, encode;
};

TEST(JpegWriter, FailuresCarryTheEncodersCodeAndLeaveTheOldFile) {
    const QString folder = TestEnvironment::makeTempDir("jpeg");
    saveFrameAsJpeg(quadrants({32, 32}), folder);
    const QByteArray old = readFile(folder + "/temp.jpg");
    for (const auto& [init, encode, file, code, message] :
         {std::tuple{7, 0, "", 7, QString("Failed to initialise the IJL library: 7")},
          {0, -2, "", -2, QString("Failed to save to JPG -2")},
          {0, 0, "/missing", ENOENT, QString("Failed to save to JPG %1").arg(ENOENT)}}) {
        ScriptedEncoder encoder(init, encode);
        try {
            saveFrameAsJpegWith(quadrants({32, 32}), folder + file, encoder);
            ADD_FAILURE() << "no error for " << message.toStdString();
        } catch (const JpegError& error) {
            EXPECT_EQ(error.message(), message);
            EXPECT_EQ(error.code(), code);
            EXPECT_EQ(error.number(), 26001);
            EXPECT_EQ(error.source(), "publish_tests.mIntelJPEGLibrary"); // named after the running program
        }
        EXPECT_EQ(readFile(folder + "/temp.jpg"), old);
    }
    // The real encoder refuses an empty picture.
    EXPECT_THROW(saveFrameAsJpeg(QImage(), folder), JpegError);
    EXPECT_EQ(readFile(folder + "/temp.jpg"), old);
}

TEST(ImageCompare, EveryPixelMustMatchAndNullEqualsNothing) {
    QImage black(320, 240, QImage::Format_RGB32);
    black.fill(Qt::black);
    QImage oneOff = black.copy();
    oneOff.setPixel(319, 239, qRgb(0, 0, 1));
    EXPECT_TRUE(imagesEqual(black, black.copy()));
    EXPECT_TRUE(imagesEqual(black, black.convertToFormat(QImage::Format_RGB888)));
    EXPECT_FALSE(imagesEqual(black, oneOff));
    EXPECT_FALSE(imagesEqual(black, black.copy(0, 0, 320, 239)));
    EXPECT_FALSE(imagesEqual(black, QImage()) || imagesEqual(QImage(), QImage()));
}

} // namespace
} // namespace oculet
