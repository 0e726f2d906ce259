#include "platform/TurboJpeg.h"
#include "publish/DibSection.h"
#include "publish/ImageCompare.h"
#include "publish/JpegWriter.h"
#include "tests/platform/PixelCheck.h"
#include "tests/publish/PublishTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QPainter>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace oculet {
namespace {

using test::bytesOf;
using test::TestEnvironment;

// Clearly different colours in each quarter: a picture stored upside down or with red and blue
// swapped decodes with the wrong colour in every corner.
QImage quadrants(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    const int w = size.width() / 2, h = size.height() / 2;
    painter.fillRect(0, 0, w, h, Qt::blue);
    painter.fillRect(w, 0, size.width() - w, h, Qt::red);
    painter.fillRect(0, h, w, size.height() - h, Qt::yellow);
    painter.fillRect(w, h, size.width() - w, size.height() - h, Qt::green);
    return picture;
}

TEST(JpegWriter, FrameDecodesUprightInItsColoursAtTheQualityAsked) {
    const QString folder = TestEnvironment::makeTempDir("jpeg");
    for (const QSize size : {QSize(320, 240), QSize(321, 241)}) {
        DibSection dib;
        dib.createFromPicture(quadrants(size));
        ASSERT_TRUE(writeJpegFile(dib, folder + "/q.jpg", 65));
        const QImage decoded(folder + "/q.jpg");
        ASSERT_EQ(decoded.size(), size);
        const int w = size.width() / 2 - 1, h = size.height() / 2 - 1;
        EXPECT_TRUE(test::allPixels(decoded, {0, 0, w, h}, qRgb(0, 0, 255), 24));
        EXPECT_TRUE(test::allPixels(decoded, {w + 3, 0, w - 2, h}, qRgb(255, 0, 0), 24));
        EXPECT_TRUE(test::allPixels(decoded, {0, h + 3, w, h - 2}, qRgb(255, 255, 0), 24));
        EXPECT_TRUE(test::allPixels(decoded, {w + 3, h + 3, w - 2, h - 2}, qRgb(0, 255, 0), 24));
    }
    // The published frame is written at quality 65; a better one takes more bytes.
    saveFrameAsJpeg(quadrants({321, 241}), folder);
    EXPECT_EQ(bytesOf(folder + "/temp.jpg"), bytesOf(folder + "/q.jpg"));
    DibSection dib;
    dib.createFromPicture(quadrants({321, 241}));
    writeJpegFile(dib, folder + "/q.jpg", 95);
    EXPECT_GT(bytesOf(folder + "/q.jpg").size(), bytesOf(folder + "/temp.jpg").size());
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

class ScriptedEncoder final : public JpegEncoder {
public:
    ScriptedEncoder(int init, int encode) : init_(init), encode_(encode) {}
    int initialise() override { return init_; }
    int encodeBgrBottomUp(const std::uint8_t*, int, int, int, int, std::vector<std::uint8_t>& jpeg) override {
        jpeg.assign(3, 'x');
        return encode_;
    }

private:
    int init_, encode_;
};

TEST(JpegWriter, FailuresCarryTheEncodersCodeAndLeaveTheOldFile) {
    const QString folder = TestEnvironment::makeTempDir("jpeg");
    saveFrameAsJpeg(quadrants({32, 32}), folder);
    const QByteArray old = bytesOf(folder + "/temp.jpg");
    DibSection dib;
    dib.createFromPicture(quadrants({32, 32}));
    struct Case {
        int init, encode;
        QString path, message;
        int code;
    };
    for (const Case& c : {Case{7, 0, folder + "/temp.jpg", "Failed to initialise the IJL library: 7", 7},
                          Case{0, -2, folder + "/temp.jpg", "Failed to save to JPG -2", -2},
                          Case{0, 0, folder + "/no/such/temp.jpg", QString("Failed to save to JPG %1").arg(ENOENT), ENOENT}}) {
        ScriptedEncoder encoder(c.init, c.encode);
        try {
            writeJpegFile(dib, c.path, 65, encoder);
            ADD_FAILURE() << "no error for " << c.message.toStdString();
        } catch (const JpegError& error) {
            EXPECT_EQ(error.message(), c.message);
            EXPECT_EQ(error.code(), c.code);
            EXPECT_EQ(error.number(), 26001);
            EXPECT_TRUE(error.source().endsWith(".mIntelJPEGLibrary") && !error.source().startsWith(u'.'));
        }
        EXPECT_EQ(bytesOf(folder + "/temp.jpg"), old);
    }
    // The real encoder refuses an empty picture.
    EXPECT_THROW(writeJpegFile(DibSection(), folder + "/empty.jpg", 65), JpegError);
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
