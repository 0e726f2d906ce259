// The live view of the real program: off unless asked for; on, a real browser shows its page and
// picture, and clients that misbehave do not stop the frames.
#include "tests/app/SystemTest.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace oculet::test {
namespace {

// Screen capture of an empty part of the screen with the UTC clock, so the frame changes each
// second; publishing off.
QByteArray clockFrames(const QByteArray& web) {
    return "[program]\nprog=4\n[me]\nleft=0\ntop=0\n[captureleft]\n4=1400\n[capturetop]\n4=700\n"
           "[clockonz]\n4=1\n[clockonl]\n4=0\n[txton]\n4=0\n[ftxton]\n4=1\n[ftext]\n0=PA3XYZ live\n"
           "[lastrx]\n4=False\n" + web;
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool listening(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(1000);
}

TEST(LiveView, NothingListensUnlessTurnedOn) {
    freshUser(clockFrames({}));
    OculetProcess oculet;
    ASSERT_TRUE(oculet.start());
    ASSERT_TRUE(oculet.waitForMainWindow());
    ASSERT_FALSE(waitForFrame().isNull());
    EXPECT_FALSE(listening(8421));
    EXPECT_EQ(oculet.terminate(), 0);
    EXPECT_EQ(savedSettings().value("web", "on"), QStringLiteral("False"));
    EXPECT_EQ(savedSettings().value("web", "port"), QStringLiteral("8421"));
}

TEST(LiveView, ABrowserShowsThePictureAndMisbehavingClientsDoNotStopTheFrames) {
    const quint16 port = freePort();
    freshUser(clockFrames(QStringLiteral("[web]\non=True\nport=%1\n").arg(port).toUtf8()));
    OculetProcess oculet;
    ASSERT_TRUE(oculet.start());
    ASSERT_TRUE(oculet.waitForMainWindow());
    ASSERT_TRUE(pollUntil(5000, [&] { return listening(port); }));

    // Clients that never read or flood the server: the frames keep coming to Cam_1.bmp.
    std::vector<std::unique_ptr<QTcpSocket>> hostile;
    for (int i = 0; i < 400; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->setReadBufferSize(1);
        socket->connectToHost(QHostAddress::LocalHost, port);
        if (i < 20) {
            socket->waitForConnected(1000);
            socket->write("GET /stream.mjpg HTTP/1.1\r\nHost: x\r\n\r\n");
            socket->flush();
        }
        hostile.push_back(std::move(socket));
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(waitForFrame({}, 2000).isNull()) << "the frames stopped under the clients";
    }
    hostile.clear();

    QTemporaryDir folder;
    const QString ready = folder.filePath("ready");
    const QString stopped = folder.filePath("stopped");
    QProcess browser;
    browser.setProcessChannelMode(QProcess::MergedChannels);
    browser.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral(OCULET_SOURCE_DIR "/tests/app/live_view_browser.py"),
                   QStringLiteral("http://127.0.0.1:%1/").arg(port), QStringLiteral("PA3XYZ live"), ready, stopped});
    ASSERT_TRUE(browser.waitForStarted());
    const bool pageChecked = pollUntil(90000, [&] { return QFile::exists(ready) || browser.state() == QProcess::NotRunning; });
    EXPECT_TRUE(pageChecked);
    EXPECT_EQ(oculet.terminate(), 0); // within 5 s, viewers connected or not
    QFile(stopped).open(QIODevice::WriteOnly);
    ASSERT_TRUE(browser.waitForFinished(60000) || browser.state() == QProcess::NotRunning);
    EXPECT_EQ(browser.exitCode(), 0) << browser.readAll().toStdString();
}

} // namespace
} // namespace oculet::test
