// Publishing end to end: the real program against a real FTP server on loopback. What reaches the
// server (files and the commands it logged) is what a web page would show.
#include "tests/app/SystemTest.h"
#include "tests/support/FtpServer.h"

#include <QElapsedTimer>
#include <algorithm>

namespace oculet::test {
namespace {

const QString kPublished = QStringLiteral("cam_1.jpg");

// Screen capture of an empty part of the screen, the clock off unless asked for, publishing on.
QByteArray ftpMode(const FtpServer& server, bool clock) {
    return QStringLiteral("[program]\nprog=4\n[me]\nleft=0\ntop=0\n[captureleft]\n4=1400\n[capturetop]\n4=700\n"
                          "[clockonz]\n4=%1\n[clockonl]\n4=0\n[clockleft]\n4=40\n[clocktop]\n4=20\n"
                          "[txton]\n4=0\n[ftxton]\n4=0\n[lastrx]\n4=False\n[ftpoff]\npic=1\n"
                          "[ftp]\nftpon=True\naddress=%2\nusername=%3\npassword=%4\ndir=\nfilename=%5\n")
        .arg(clock ? 1 : 0)
        .arg(server.address(), FtpServer::user(), FtpServer::password(), kPublished)
        .toUtf8();
}

int commandCount(const FtpServer& server, const QString& verb) {
    const QStringList log = server.log();
    return int(std::count_if(log.begin(), log.end(), [&](const QString& line) { return line.startsWith(verb); }));
}

// The clock's yellow text in its box, 40 right and 20 down.
bool showsClock(const QImage& frame) {
    int yellow = 0;
    for (int y = 20; y < 50; ++y) {
        for (int x = 40; x < 160; ++x) {
            yellow += near(frame.pixel(x, y), Qt::yellow, 90) ? 1 : 0;
        }
    }
    return yellow > 20;
}

TEST(Publishing, PublishesEveryChangedFrameAndLeavesTheOffPictureAtTheEnd) {
    FtpServer server;
    ASSERT_TRUE(server.start());
    freshUser(ftpMode(server, true));
    QImage magenta(320, 240, QImage::Format_RGB32);
    magenta.fill(QColor(200, 0, 200));
    QDir().mkpath(TestEnvironment::dataFolder());
    ASSERT_TRUE(magenta.save(TestEnvironment::dataFolder() + QStringLiteral("/CamOff.jpg"), "JPEG"));
    const QByteArray offPicture = readFile(TestEnvironment::dataFolder() + QStringLiteral("/CamOff.jpg"));

    OculetProcess oculet;
    ASSERT_TRUE(oculet.start());
    ASSERT_TRUE(oculet.waitForMainWindow());
    EXPECT_TRUE(showsClock(waitForFrame(showsClock))) << "no clock in Cam_1.bmp";
    // The clock changes the frame every second, and every changed frame goes up.
    ASSERT_TRUE(pollUntil(6000, [&] { return commandCount(server, QStringLiteral("STOR")) >= 2; }))
        << server.log().join(u'\n').toStdString();
    // The pale notice the window shows over the picture while publishing goes once it is done.
    EXPECT_TRUE(pollUntil(2000, [] { return !near(screenPixel({21, 177}), QColor(255, 255, 225), 8); }))
        << "the publishing notice stayed over the picture";
    const QImage published = QImage::fromData(server.file(kPublished), "JPEG");
    ASSERT_EQ(published.size(), QSize(320, 240));
    EXPECT_TRUE(showsClock(published)) << "the published picture is not the frame";

    QElapsedTimer stopping;
    stopping.start();
    EXPECT_EQ(oculet.terminate(), 0);
    EXPECT_LT(stopping.elapsed(), 5000);
    EXPECT_EQ(server.file(kPublished), offPicture) << "the off picture is not what stays published";
    EXPECT_FALSE(server.exists(QStringLiteral("temp.jpg"))) << "the upload's temporary file stayed";
    // A webcam program reading Cam_1.bmp gets the off picture too.
    EXPECT_TRUE(near(QImage(camBitmap()).pixel(160, 120), QColor(200, 0, 200), 20));
}

TEST(Publishing, DeadServerNeitherStopsTheFramesNorHoldsUpTheEnd) {
    for (const bool hangs : {true, false}) {
        SCOPED_TRACE(hangs ? "a server that never answers" : "a server that is down");
        FtpServer server(hangs ? FtpServer::Kind::Hang : FtpServer::Kind::Ftp);
        ASSERT_TRUE(server.start());
        const QByteArray before("the picture published before");
        server.putFile(kPublished, before);
        const int port = server.port();
        if (!hangs) {
            server.stop();
        }
        freshUser(ftpMode(server, false));
        OculetProcess oculet;
        ASSERT_TRUE(oculet.start());
        ASSERT_TRUE(oculet.waitForMainWindow());
        if (hangs) {
            // The connection is still being made: frames must go on meanwhile.
            for (int i = 0; i < 3; ++i) {
                EXPECT_FALSE(waitForFrame({}, 2000).isNull()) << "frames stopped while connecting";
            }
            EXPECT_FALSE(oculet.waitForMessageBox(0)) << "the connection attempt ended early";
        } else {
            // "Ftp connection failed", once; nothing retries when the server is back.
            ASSERT_TRUE(oculet.answer(QStringLiteral("Return"), 8000)) << "the failure was not reported";
            EXPECT_FALSE(oculet.waitForMessageBox(500)) << "a second message box";
            ASSERT_TRUE(server.start(port));
            server.clearLog();
            EXPECT_FALSE(waitForFrame().isNull()) << "frames stopped after the failure";
            pollUntil(1000, [] { return false; });
        }
        QElapsedTimer stopping;
        stopping.start();
        EXPECT_EQ(oculet.terminate(), 0);
        EXPECT_LT(stopping.elapsed(), 3000) << "the end waited for a connection it does not have";
        if (!hangs) {
            EXPECT_EQ(server.log(), QStringList()) << "the server was contacted";
            EXPECT_EQ(server.file(kPublished), before);
        }
    }
}

} // namespace
} // namespace oculet::test
