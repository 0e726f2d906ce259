// Publishing end to end: the real program against a real FTP server on loopback. What reaches the
// server (files and the commands it logged) is what a web page would show.
#include "tests/app/SystemTest.h"
#include "tests/support/FtpServer.h"

#include <QElapsedTimer>
#include <QSet>

#include <sys/stat.h>
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

    EXPECT_EQ(oculet.terminate(), 0); // within 5 s
    EXPECT_EQ(server.file(kPublished), offPicture) << "the off picture is not what stays published";
    // A webcam program reading Cam_1.bmp gets the off picture too.
    EXPECT_TRUE(near(QImage(camBitmap()).pixel(160, 120), QColor(200, 0, 200), 20));
}

// Frames written to Cam_1.bmp in the next `ms` milliseconds: each one is a new file put in place.
int framesWrittenIn(int ms) {
    // The time stamp, to the nanosecond, tells one write from the next (inode numbers come back).
    QSet<qint64> seen;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        struct stat info{};
        if (::stat(QFile::encodeName(camBitmap()).constData(), &info) == 0) {
            seen.insert(qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec);
        }
        pollUntil(15, [] { return false; });
    }
    return int(seen.size());
}

TEST(Publishing, ServerTroubleNeverStopsTheFramesNorHoldsUpTheEnd) {
    enum Trouble { NeverAnswers, DownThenBack, FreezesWhenConnected };
    for (const Trouble trouble : {NeverAnswers, DownThenBack, FreezesWhenConnected}) {
        SCOPED_TRACE(trouble);
        FtpServer server(trouble == NeverAnswers ? FtpServer::Kind::Hang : FtpServer::Kind::Ftp);
        ASSERT_TRUE(server.start());
        const QByteArray before("the picture published before");
        server.putFile(kPublished, before);
        const int port = server.port();
        if (trouble == DownThenBack) {
            server.stop();
        }
        freshUser(ftpMode(server, true));
        OculetProcess oculet;
        ASSERT_TRUE(oculet.start());
        ASSERT_TRUE(oculet.waitForMainWindow());
        if (trouble == NeverAnswers) {
            // The connection is still being made: frames must go on meanwhile.
            EXPECT_GE(framesWrittenIn(3000), 4) << "frames stopped while connecting";
            EXPECT_FALSE(oculet.waitForMessageBox(0)) << "the connection attempt ended early";
        } else if (trouble == DownThenBack) {
            // "Ftp connection failed", once, waiting for nobody; publishing resumes by itself.
            ASSERT_TRUE(oculet.waitForMessageBox(8000)) << "the failure was not reported";
            EXPECT_GE(framesWrittenIn(2000), 4) << "frames wait for the message to be answered";
            ASSERT_TRUE(server.start(port));
            EXPECT_TRUE(pollUntil(12000, [&] { return server.file(kPublished) != before; }))
                << "publishing did not come back with the server";
        } else {
            ASSERT_TRUE(pollUntil(8000, [&] { return commandCount(server, QStringLiteral("STOR")) >= 1; }));
            server.freeze(true);
            EXPECT_GE(framesWrittenIn(3000), 4) << "frames wait for a frozen server";
        }
        QElapsedTimer stopping;
        stopping.start();
        EXPECT_EQ(oculet.terminate(7000), 0);
        // A server that was never reached is not waited for at all; a frozen one only so long.
        EXPECT_LT(stopping.elapsed(), trouble == FreezesWhenConnected ? 6500 : 3000);
        server.freeze(false);
    }
}

} // namespace
} // namespace oculet::test
