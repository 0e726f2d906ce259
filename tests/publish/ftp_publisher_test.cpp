#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "publish/FtpPublisher.h"
#include "publish/JpegWriter.h"
#include "tests/publish/PublishTestSupport.h"
#include "tests/support/FtpServer.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace oculet {
namespace {

using test::FtpServer;
using test::RecordingMessageBoxes;
using test::TestEnvironment;
using test::testFrame;
using test::waitUntil;

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        dataFolder = TestEnvironment::makeTempDir(QStringLiteral("data"));
        settings.ftpOn = true;
        settings.ftpAddress = server.address();
        settings.ftpUsername = FtpServer::user();
        settings.ftpPassword = FtpServer::password();
        settings.ftpDir = QStringLiteral("cam");
        settings.ftpFilename = QStringLiteral("cam_1.jpg");
        server.putFile(QStringLiteral("cam/.keep"), "");
    }

    void makePublisher(FtpPublisherOptions options = {}) {
        options.dataFolder = dataFolder;
        if (options.timeouts.connectMs == FtpTimeouts{}.connectMs) {
            options.timeouts = {2000, 2000, 4000};
        }
        publisher = std::make_unique<FtpPublisher>(settings, texts, messages, nullptr, options);
        QObject::connect(publisher.get(), &FtpPublisher::busy, [this](const QString& t) { busyTexts << t; });
        QObject::connect(publisher.get(), &FtpPublisher::idle, [this] { ++idles; });
    }

    bool connect() {
        publisher->testFtpConnection();
        return waitUntil([this] { return !publisher->isConnecting(); }) && publisher->isConnected();
    }

    // Runs one publish step to its end; false when `done` never came.
    bool publish(const QImage& frame) {
        int doneCalls = 0;
        publisher->publishFrame(frame, [&] { ++doneCalls; });
        const bool finished = waitUntil([&] { return doneCalls > 0; });
        QCoreApplication::processEvents();
        EXPECT_LE(doneCalls, 1);
        return finished;
    }

    QByteArray published() const { return server.file(QStringLiteral("cam/cam_1.jpg")); }
    QByteArray localTemp() const { return bytesOf(dataFolder + QStringLiteral("/temp.jpg")); }
    int count(const QString& command) const {
        int n = 0;
        for (const QString& line : server.log()) {
            n += line.startsWith(command) ? 1 : 0;
        }
        return n;
    }

    FtpServer server;
    QString dataFolder;
    Settings settings;
    InterfaceTexts texts;
    RecordingMessageBoxes messages;
    std::unique_ptr<FtpPublisher> publisher;
    QStringList busyTexts;
    int idles = 0;
};

TEST_F(PublisherTest, PublishesTheFrameUnderItsNameAndSkipsAnUnchangedOne) {
    makePublisher();
    EXPECT_FALSE(publisher->canPublish());
    ASSERT_TRUE(connect());
    EXPECT_EQ(busyTexts, QStringList{texts.connecting});
    EXPECT_EQ(idles, 1);
    EXPECT_TRUE(publisher->canPublish());

    // A black frame is a frame like any other; nothing was published before it.
    QImage black(320, 240, QImage::Format_RGB32);
    black.fill(Qt::black);
    ASSERT_TRUE(publish(black));
    EXPECT_EQ(published(), localTemp());
    EXPECT_FALSE(published().isEmpty());
    EXPECT_FALSE(server.exists(QStringLiteral("cam/temp.jpg")));

    ASSERT_TRUE(publish(testFrame(1)));
    ASSERT_TRUE(publish(testFrame(1)));
    EXPECT_EQ(count(QStringLiteral("STOR")), 2);
    EXPECT_EQ(published(), localTemp());
    EXPECT_EQ(QImage::fromData(published()).size(), QSize(320, 240));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PublisherTest, AFailedUploadLeavesThePublishedPictureAlone) {
    makePublisher();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    const QByteArray first = published();
    for (const char* fault : {"refuse_stor", "drop_data", "disk_full"}) {
        server.setFaults({QString::fromLatin1(fault)});
        ASSERT_TRUE(publish(testFrame(2))) << fault;
        EXPECT_EQ(published(), first) << fault;
        // The server answered, so the reconnect after the failure worked and publishing goes on.
        EXPECT_TRUE(publisher->canPublish()) << fault;
    }
    EXPECT_TRUE(busyTexts.contains(texts.reconnecting));
    server.setFaults({});
    ASSERT_TRUE(publish(testFrame(2)));
    EXPECT_EQ(published(), localTemp());
    EXPECT_NE(published(), first);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PublisherTest, RenameRefusals) {
    makePublisher();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    const QByteArray first = published();

    // Transient: nothing is deleted, the frame stays unpublished and is tried again.
    server.setFaults({QStringLiteral("rnto_busy")});
    ASSERT_TRUE(publish(testFrame(2)));
    EXPECT_EQ(published(), first);
    EXPECT_EQ(count(QStringLiteral("DELE")), 0);

    // A server that will not rename over a file still gets the new picture.
    server.setFaults({QStringLiteral("rnto_no_replace")});
    ASSERT_TRUE(publish(testFrame(2)));
    EXPECT_EQ(published(), localTemp());
    EXPECT_NE(published(), first);
    ASSERT_TRUE(publish(testFrame(3)));
    EXPECT_EQ(published(), localTemp());
    EXPECT_FALSE(server.exists(QStringLiteral("cam/temp.jpg")));
}

TEST_F(PublisherTest, RefusedLoginIsReportedAndStopsPublishing) {
    settings.ftpPassword = QStringLiteral("not-the-password");
    makePublisher();
    EXPECT_FALSE(connect());
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Ftp connection failed")});
    EXPECT_FALSE(publisher->canPublish());
    EXPECT_EQ(idles, 1);
}

TEST_F(PublisherTest, ServerRestartBetweenFramesIsSurvived) {
    makePublisher();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    ASSERT_TRUE(server.restart());
    for (int i = 2; i < 5 && published() != localTemp(); ++i) {
        ASSERT_TRUE(publish(testFrame(i)));
    }
    EXPECT_EQ(published(), localTemp());
    EXPECT_EQ(QImage::fromData(published()).size(), QSize(320, 240));
    EXPECT_TRUE(publisher->canPublish());
}

TEST_F(PublisherTest, AFrameThatCouldNotBeEncodedIsNotSent) {
    FtpPublisherOptions options;
    bool fail = false;
    options.saveJpeg = [&fail](const QImage& frame, const QString& folder) {
        if (fail) {
            throw JpegError(QStringLiteral("Failed to save to JPG 28"), 28);
        }
        saveFrameAsJpeg(frame, folder);
    };
    makePublisher(options);
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    fail = true;
    ASSERT_TRUE(publish(testFrame(2)));
    EXPECT_EQ(count(QStringLiteral("STOR")), 1);
    EXPECT_EQ(publisher->reference(), testFrame(1));
}

TEST_F(PublisherTest, ShutdownKeepsExactlyTheOffPicture) {
    settings.ftpOffPic = 1;
    makePublisher();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    const QByteArray offPicture = [] {
        QImage picture(160, 120, QImage::Format_RGB32);
        picture.fill(Qt::darkRed);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "JPG");
        return bytes;
    }();
    QFile camOff(dataFolder + QStringLiteral("/CamOff.jpg"));
    ASSERT_TRUE(camOff.open(QIODevice::WriteOnly));
    camOff.write(offPicture);
    camOff.close();

    publisher->shutdown();
    EXPECT_EQ(published(), offPicture);
    EXPECT_FALSE(server.exists(QStringLiteral("cam/temp.jpg")));
    EXPECT_FALSE(publisher->canPublish());
}

TEST_F(PublisherTest, ShutdownWithdrawsWhenNotKeepingAndTouchesNothingWithoutAConnection) {
    settings.ftpOffPic = 0;
    makePublisher();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    publisher->shutdown();
    EXPECT_FALSE(server.exists(QStringLiteral("cam/cam_1.jpg")));
    EXPECT_FALSE(server.exists(QStringLiteral("cam/temp.jpg")));

    server.putFile(QStringLiteral("cam/cam_1.jpg"), "old picture");
    server.clearLog();
    makePublisher(); // never connected
    publisher->shutdown();
    EXPECT_EQ(published(), QByteArray("old picture"));
    EXPECT_TRUE(server.log().isEmpty());
}

TEST_F(PublisherTest, WebcamModeWithdrawsAndDisconnects) {
    makePublisher();
    ASSERT_TRUE(connect());
    settings.ftpDir = QStringLiteral("elsewhere"); // the last transfer's folder is used
    settings.ftpDir = QStringLiteral("cam");
    ASSERT_TRUE(publish(testFrame(1)));
    ASSERT_TRUE(server.exists(QStringLiteral("cam/cam_1.jpg")));
    bool withdrawn = false;
    QObject::connect(publisher.get(), &FtpPublisher::withdrawn, [&] { withdrawn = true; });
    settings.ftpOn = false;
    publisher->testFtpConnection();
    EXPECT_FALSE(publisher->canPublish());
    ASSERT_TRUE(waitUntil([&] { return withdrawn; }));
    EXPECT_FALSE(server.exists(QStringLiteral("cam/cam_1.jpg")));
}

class DeadServerTest : public PublisherTest {};

TEST_F(DeadServerTest, TheWindowKeepsRunningWhileADeadServerIsTried) {
    FtpServer dead(FtpServer::Kind::Hang);
    ASSERT_TRUE(dead.start());
    settings.ftpAddress = dead.address();
    FtpPublisherOptions options;
    options.timeouts = {1500, 1500, 3000};
    makePublisher(options);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    publisher->testFtpConnection();
    EXPECT_TRUE(publisher->isConnecting());
    ASSERT_TRUE(waitUntil([&] { return !publisher->isConnecting(); }, 8000));
    EXPECT_GE(ticks, 10); // about 1.5 s of 50 ms ticks went by while connecting
    EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Ftp connection failed")});
    EXPECT_FALSE(publisher->canPublish());
}

TEST_F(DeadServerTest, ShutdownAgainstAServerThatStoppedAnsweringIsBounded) {
    settings.ftpOffPic = 1;
    FtpPublisherOptions options;
    options.shutdownBudgetMs = 1500;
    options.timeouts = {20000, 20000, 60000}; // only the shutdown budget can end the wait
    makePublisher(options);
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    const int port = server.port();
    server.stop();
    FtpServer dead(FtpServer::Kind::Hang);
    ASSERT_TRUE(dead.start(port));
    QElapsedTimer timer;
    timer.start();
    publisher->shutdown();
    EXPECT_LT(timer.elapsed(), 1500 + 1500 + 1500);
}

} // namespace
} // namespace oculet
