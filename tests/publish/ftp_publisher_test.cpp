#include "publish/FtpPublisher.h"
#include "publish/JpegWriter.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "tests/publish/PublishTestSupport.h"
#include "tests/support/FtpServer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"

#include <gtest/gtest.h>

namespace oculet {
namespace {

using test::FtpServer;
using test::pollUntil;

// A flat frame, black for seed 0.
QImage testFrame(int seed) {
    QImage frame(320, 240, QImage::Format_RGB32);
    frame.fill(seed == 0 ? QColor(Qt::black) : QColor::fromHsv(seed * 47 % 360, 200, 220));
    return frame;
}

class PublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        settings.ftpOn = true, settings.ftpDir = "cam", settings.ftpAddress = server.address();
        settings.ftpUsername = FtpServer::user(), settings.ftpPassword = FtpServer::password();
        server.putFile("cam/.keep", "");
    }
    void makePublisher(FtpTimeouts timeouts = {2000, 2000, 4000}, decltype(FtpPublisherOptions::saveJpeg) save = {}) {
        FtpPublisherOptions options;
        options.timeouts = timeouts, options.dataFolder = dataFolder, options.saveJpeg = save;
        publisher = std::make_unique<FtpPublisher>(settings, texts, messages, nullptr, options);
        QObject::connect(publisher.get(), &FtpPublisher::busy, [this](const QString& t) { seen << t; });
        QObject::connect(publisher.get(), &FtpPublisher::idle, [this] { seen << "idle"; });
    }
    bool connect() {
        publisher->testFtpConnection();
        return pollUntil(10000, [this] { return !publisher->isConnecting(); }) && publisher->isConnected();
    }
    // Runs one publish step to its end; false when `done` never came.
    bool publish(const QImage& frame) {
        int done = 0;
        publisher->publishFrame(frame, [&] { ++done; });
        return pollUntil(10000, [&] { return done > 0; }) && done == 1;
    }
    QByteArray published() const { return server.file("cam/cam_1.jpg"); }
    QByteArray localTemp() const { return test::readFile(dataFolder + "/temp.jpg"); }
    qsizetype count(const QString& command) const { return server.log().filter(command).size(); }

    FtpServer server;
    QString dataFolder = test::TestEnvironment::makeTempDir("data");
    Settings settings;
    InterfaceTexts texts;
    test::RecordingMessageBoxes messages;
    std::unique_ptr<FtpPublisher> publisher;
    QStringList seen; // busy texts and "idle", in order
};

TEST_F(PublisherTest, PublishesChangedFramesUnderTheirNameAndSkipsUnchangedOrUnencodedOnes) {
    bool encoderFails = false;
    makePublisher({2000, 2000, 4000}, [&](const QImage& frame, const QString& folder) {
        encoderFails ? throw JpegError("Failed to save to JPG 28", 28) : saveFrameAsJpeg(frame, folder);
    });
    EXPECT_FALSE(publisher->canPublish());
    ASSERT_TRUE(connect());
    EXPECT_EQ(seen, QStringList({texts[Text::Connecting], "idle"}));
    // A black frame is a frame like any other; nothing was published before it.
    ASSERT_TRUE(publish(testFrame(0)));
    EXPECT_EQ(published(), localTemp());
    EXPECT_FALSE(server.exists("cam/temp.jpg"));
    ASSERT_TRUE(publish(testFrame(1)));
    ASSERT_TRUE(publish(testFrame(1)));
    encoderFails = true; // an older temp.jpg must not go up in its place
    ASSERT_TRUE(publish(testFrame(2)));
    EXPECT_EQ(count("STOR"), 2);
    EXPECT_EQ(published(), localTemp());
    EXPECT_EQ(publisher->reference(), testFrame(1));
    EXPECT_EQ(count("CONNECT"), 1); // one connection for all of it
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PublisherTest, ServerFaultsLeaveThePublishedPictureAloneUntilItCanBeReplaced) {
    makePublisher();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    // A frame that did not go up is tried again with the next one; a server that will not rename
    // over a file gets it deleted first from then on, but a busy one never loses it.
    int seed = 2;
    for (const auto& [fault, replaced] : {std::pair{"refuse_stor", false}, {"drop_data", false}, {"disk_full", false},
                                          {"rnto_busy", false}, {"rnto_no_replace", true}, {"rnto_no_replace", true},
                                          {"", true}}) {
        const QByteArray before = published();
        server.setFaults({fault});
        ASSERT_TRUE(publish(testFrame(seed))) << fault;
        EXPECT_EQ(published() != before, replaced) << fault;
        EXPECT_EQ(published() == localTemp(), replaced) << fault;
        EXPECT_TRUE(publisher->canPublish()) << fault;
        seed += replaced ? 1 : 0;
    }
    EXPECT_EQ(count("DELE"), 3);
    EXPECT_FALSE(server.exists("cam/temp.jpg"));
    EXPECT_TRUE(seen.contains(texts[Text::Reconnecting]));
    EXPECT_TRUE(messages.shown.isEmpty());
    // A server gone for good ends publishing, with the message.
    server.stop();
    ASSERT_TRUE(publish(testFrame(seed)));
    EXPECT_FALSE(publisher->canPublish());
    EXPECT_EQ(messages.shown, QStringList{"Ftp connection failed"});
}

TEST_F(PublisherTest, WebcamModeAndShutdownWithdrawOrLeaveTheOffPictureButOnlyWhenConnected) {
    makePublisher();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    // Withdrawn from the folder of the last transfer; then the same frame is new again.
    settings.ftpDir = "elsewhere", settings.ftpOn = false;
    publisher->testFtpConnection();
    EXPECT_FALSE(publisher->canPublish());
    ASSERT_TRUE(pollUntil(10000, [&] { return !server.exists("cam/cam_1.jpg"); }));
    settings.ftpDir = "cam", settings.ftpOn = true;
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    ASSERT_TRUE(server.exists("cam/cam_1.jpg"));

    test::writeFile(dataFolder + "/CamOff.jpg", "the off picture");
    publisher->shutdown();
    EXPECT_EQ(published(), "the off picture");
    EXPECT_FALSE(publisher->canPublish());
    publisher->testFtpConnection(); // nothing connects again once it has ended
    EXPECT_FALSE(publisher->isConnecting());
    EXPECT_TRUE(publish(testFrame(2))); // still finishes, sending nothing

    settings.ftpOffPic = 0;
    makePublisher();
    ASSERT_TRUE(connect());
    publisher->shutdown();
    EXPECT_FALSE(server.exists("cam/cam_1.jpg"));
    server.putFile("cam/cam_1.jpg", "old picture");
    server.clearLog();
    makePublisher(); // never connected
    publisher->shutdown();
    EXPECT_EQ(published(), "old picture");
    EXPECT_TRUE(server.log().isEmpty());
}

TEST_F(PublisherTest, FailedConnectionsAreReportedAndNeverHoldTheWindow) {
    settings.ftpPassword = "not-the-password";
    makePublisher();
    EXPECT_FALSE(connect());
    FtpServer hung(FtpServer::Kind::Hang);
    ASSERT_TRUE(hung.start());
    settings.ftpAddress = hung.address();
    makePublisher({1000, 1000, 2000});
    publisher->testFtpConnection();
    EXPECT_TRUE(publisher->isConnecting()); // returned at once; the attempt runs on
    ASSERT_TRUE(pollUntil(8000, [&] { return !publisher->isConnecting(); }));
    EXPECT_EQ(messages.shown, QStringList({"Ftp connection failed", "Ftp connection failed"}));
    EXPECT_FALSE(publisher->canPublish());
}

} // namespace
} // namespace oculet
