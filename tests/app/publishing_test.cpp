// Publishing end to end: the real program against a real FTP server on loopback. What reaches
// the server (files and the commands it logged) is what a web page would show.
#include "tests/app/PublishSystemSupport.h"
#include "tests/support/FtpServer.h"

#include <QBuffer>
#include <QImage>

namespace oculet::test::publish_system {
namespace {

constexpr int kScreenCapture = 4;
const QString kPublished = QStringLiteral("cam_1.jpg");
const QString kTemp = QStringLiteral("temp.jpg");

SettingsFile ftpMode(const FtpServer& server, int offPicture,
                     const QString& password = FtpServer::password()) {
    SettingsFile s = quietFrame(kScreenCapture);
    s.set("ftp", "ftpon", "True")
        .set("ftp", "address", server.address())
        .set("ftp", "username", FtpServer::user())
        .set("ftp", "password", password)
        .set("ftp", "dir", QString())
        .set("ftp", "filename", kPublished)
        .set("ftpoff", "pic", offPicture);
    return s;
}

int commandCount(const FtpServer& server, const QString& verb) {
    int n = 0;
    for (const QString& line : server.log()) {
        n += line == verb || line.startsWith(verb + u' ') ? 1 : 0;
    }
    return n;
}

// Lets the program run for a while; the test's own events keep being handled meanwhile.
void runFor(int ms) {
    pollUntil(ms, [] { return false; });
}

QByteArray dataFile(const QString& name) { return readWholeFile(TestEnvironment::dataFolder() + u'/' + name); }

// Mean difference per channel between a decoded JPEG and the bitmap frame it was made from.
double meanDifference(const QImage& jpeg, const QImage& frame) {
    double sum = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb a = jpeg.pixel(x, y);
            const QRgb b = frame.pixel(x, y);
            sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                   std::abs(qBlue(a) - qBlue(b));
        }
    }
    return sum / (3.0 * frame.width() * frame.height());
}

class Publishing : public OculetSystemTest {};

TEST_F(Publishing, UploadsChangedFramesOnlyAndThePublishedFileIsTheFrame) {
    struct Row {
        const char* name;
        bool clock;
    };
    for (const Row& row : {Row{"unchanged frames go up once", false},
                           Row{"a ticking clock changes every frame", true}}) {
        SCOPED_TRACE(row.name);
        FtpServer server;
        ASSERT_TRUE(server.start());
        SettingsFile settings = ftpMode(server, 1);
        if (row.clock) {
            settings.forProgram("clockonz", kScreenCapture, 1);
        }
        OculetProcess oculet;
        ASSERT_TRUE(startOculet(oculet, settings));
        ASSERT_TRUE(pollUntil(5000, [&] { return server.exists(kPublished); }))
            << "nothing was published";
        runFor(3000);

        const int uploads = commandCount(server, QStringLiteral("STOR"));
        if (!row.clock) {
            EXPECT_EQ(uploads, 1) << server.log().join(u'\n').toStdString();
            const QByteArray published = server.file(kPublished);
            EXPECT_EQ(published, dataFile(kTemp))
                << "the published file is not the data folder's temp.jpg";
            const QImage decoded = QImage::fromData(published, "JPEG");
            ASSERT_EQ(decoded.size(), QSize(320, 240));
            const auto frame = waitForFreshFrame();
            ASSERT_TRUE(frame);
            EXPECT_LT(meanDifference(decoded.convertToFormat(QImage::Format_RGB32), *frame), 4.0)
                << "the published picture is not the frame";
        } else {
            EXPECT_GE(uploads, 2) << "a changing frame was not uploaded again";
        }
        EXPECT_EQ(commandCount(server, QStringLiteral("RNTO")), uploads)
            << "every upload takes the published name";
        EXPECT_FALSE(server.exists(kTemp));
        stopOculet(oculet);
    }
}

QByteArray offPictureJpeg() {
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(QColor(200, 0, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG", 90);
    return bytes;
}

TEST_F(Publishing, ShutdownLeavesTheOffPictureOrWithdrawsThePublishedOne) {
    struct Row {
        const char* name;
        int offPicture;
        bool camOffPresent;
    };
    const std::vector<Row> rows = {
        {"ticked, with an off picture", 1, true},
        {"ticked, without an off picture: the last frame stays", 1, false},
        {"unticked: withdrawn", 0, true},
    };
    const QByteArray camOff = offPictureJpeg();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FtpServer server;
        ASSERT_TRUE(server.start());
        OculetProcess oculet;
        ASSERT_TRUE(startOculet(oculet, ftpMode(server, row.offPicture), [&] {
            if (row.camOffPresent) {
                QFile file(TestEnvironment::dataFolder() + QStringLiteral("/CamOff.jpg"));
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.write(camOff);
            }
        }));
        ASSERT_TRUE(pollUntil(5000, [&] { return server.exists(kPublished); }))
            << "nothing was published";
        const QByteArray lastFrame = dataFile(kTemp);
        EXPECT_LT(stopOculet(oculet), 5000);

        EXPECT_FALSE(server.exists(kTemp)) << "temp.jpg left on the server";
        if (row.offPicture == 0) {
            EXPECT_FALSE(server.exists(kPublished)) << "the published picture was not withdrawn";
            EXPECT_GE(commandCount(server, QStringLiteral("DELE")), 1);
        } else if (row.camOffPresent) {
            EXPECT_EQ(server.file(kPublished), camOff)
                << "the off picture is not what stays published";
            // A webcam program reading Cam_1.bmp gets the off picture too.
            const QImage bmp = readCamBitmap();
            ASSERT_FALSE(bmp.isNull());
            EXPECT_TRUE(isNear(bmp.pixel(160, 120), QColor(200, 0, 200), 20));
        } else {
            EXPECT_EQ(server.file(kPublished), lastFrame)
                << "the last frame did not stay published";
        }
    }
}

TEST_F(Publishing, WithoutAConnectionTheFailureIsShownAndShutdownTouchesNothing) {
    struct Row {
        const char* name;
        bool serverDown;
        QString password;
    };
    const std::vector<Row> rows = {
        {"server down", true, FtpServer::password()},
        {"login refused", false, QStringLiteral("wrong-password")},
    };
    const QByteArray oldPicture("the picture published before");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FtpServer server;
        ASSERT_TRUE(server.start());
        server.putFile(kPublished, oldPicture);
        if (row.serverDown) {
            server.stop();
        }
        OculetProcess oculet;
        ASSERT_TRUE(startOculet(oculet, ftpMode(server, 0, row.password)));
        // "Ftp connection failed", and only that box.
        ASSERT_TRUE(oculet.waitForMessageBox(8000)) << "the failed connection was not reported";
        ASSERT_TRUE(oculet.answer(Key::Return));
        EXPECT_FALSE(oculet.waitForMessageBox(500)) << "a second message box";

        if (row.serverDown) {
            // The server is back, but nothing retries on its own.
            ASSERT_TRUE(server.restart());
        }
        server.clearLog();
        EXPECT_TRUE(waitForFreshFrame()) << "frames stopped after the failure";
        runFor(1000);
        EXPECT_LT(stopOculet(oculet), 3000)
            << "the shutdown waited for a connection it does not have";

        EXPECT_EQ(server.log(), QStringList()) << "the server was contacted";
        EXPECT_EQ(server.file(kPublished), oldPicture);
        EXPECT_FALSE(server.exists(kTemp));
    }
}

TEST_F(Publishing, WindowKeepsRespondingWhileTheServerNeverAnswers) {
    FtpServer server(FtpServer::Kind::Hang);
    ASSERT_TRUE(server.start());
    QElapsedTimer sinceStart;
    sinceStart.start();
    OculetProcess oculet;
    const auto window = startOculet(oculet, ftpMode(server, 0));
    ASSERT_TRUE(window);

    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(waitForFreshFrame(2000))
            << "the frame timer stopped while connecting (frame " << i << ")";
    }
    const QImage before = shownFrame(oculet, *window);
    ASSERT_TRUE(oculet.probe().click(window->id, kCamModeLabel));
    // The panel covers most of the frame once it is shown.
    EXPECT_TRUE(pollUntil(2000, [&] {
        return differingPixels(before, shownFrame(oculet, *window)) > 320 * 240 / 2;
    })) << "the publishing panel did not open";
    EXPECT_TRUE(waitForFreshFrame(2000)) << "frames stopped with the panel open";

    // All of that happened while the connection was still being made: the attempt gives up only
    // after its connect time limit, with a message box.
    EXPECT_FALSE(oculet.waitForMessageBox(100)) << "the connection attempt ended early";
    EXPECT_LT(sinceStart.elapsed(), 9000) << "too slow to prove anything about the pending connect";

    EXPECT_LT(stopOculet(oculet), 3000) << "the pending connect held up the shutdown";
}

TEST_F(Publishing, PanelSwitchesBetweenWebcamAndFtpThroughTheWindow) {
    const PanelPlaces panel = publishingPanelPlaces();
    FtpServer server;
    ASSERT_TRUE(server.start());
    OculetProcess oculet;
    // Unchanged frames: what is on the server must not depend on the frame changing.
    const auto window = startOculet(oculet, ftpMode(server, 1));
    ASSERT_TRUE(window);
    ASSERT_TRUE(pollUntil(5000, [&] { return server.exists(kPublished); }))
        << "nothing was published";
    const QImage frameOnly = shownFrame(oculet, *window);

    auto openPanel = [&] {
        const QImage before = shownFrame(oculet, *window);
        EXPECT_TRUE(oculet.probe().click(window->id, kCamModeLabel));
        return pollUntil(2000, [&] {
            return differingPixels(before, shownFrame(oculet, *window)) > 320 * 240 / 2;
        });
    };

    // "WebCam 7 - XP": the published picture is withdrawn and nothing goes up any more.
    ASSERT_TRUE(openPanel()) << "the publishing panel did not open";
    ASSERT_TRUE(oculet.probe().click(window->id, panel.webcam));
    ASSERT_TRUE(oculet.probe().click(window->id, panel.closeButton));
    EXPECT_TRUE(pollUntil(5000, [&] { return !server.exists(kPublished); }))
        << "the picture was not withdrawn";
    EXPECT_TRUE(pollUntil(2000, [&] {
        return differingPixels(frameOnly, shownFrame(oculet, *window)) < 320 * 240 / 50;
    })) << "the panel did not close";
    server.clearLog();
    EXPECT_TRUE(waitForFreshFrame());
    runFor(1000);
    EXPECT_EQ(commandCount(server, QStringLiteral("STOR")), 0) << "uploads went on in webcam mode";
    EXPECT_EQ(commandCount(server, QStringLiteral("CONNECT")), 0)
        << "the connection was not dropped";

    // "FTP upload" again: closing the panel connects and the next cycle publishes, although the
    // frame is the same as the one published before the withdrawal.
    ASSERT_TRUE(openPanel()) << "the publishing panel did not open again";
    ASSERT_TRUE(oculet.probe().click(window->id, panel.ftpUpload));
    ASSERT_TRUE(oculet.probe().click(window->id, panel.closeButton));
    EXPECT_TRUE(pollUntil(5000, [&] { return server.exists(kPublished); }))
        << "not published again after switching back to FTP upload";
    EXPECT_GE(commandCount(server, QStringLiteral("CONNECT")), 1);

    stopOculet(oculet);
}

} // namespace
} // namespace oculet::test::publish_system
