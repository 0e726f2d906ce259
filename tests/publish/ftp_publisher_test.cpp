#include "publish/FtpPublisher.h"
#include "publish/JpegWriter.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/FtpServer.h"
#include "tests/support/SshServer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"

#include <QDir>
#include <QElapsedTimer>
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
        options.backoff = Backoff(100, 800);
        publisher = std::make_unique<FtpPublisher>(settings, texts, messages, nullptr, options);
        QObject::connect(publisher.get(), &FtpPublisher::busy, [this](const QString& t) { seen << t; });
        QObject::connect(publisher.get(), &FtpPublisher::idle, [this] { seen << "idle"; });
    }
    bool connect() {
        publisher->testFtpConnection();
        return pollUntil(10000, [this] { return !publisher->isConnecting(); }) && publisher->isConnected();
    }
    bool reconnected() {
        return pollUntil(8000, [this] { return publisher->canPublish(); });
    }
    // Hands one frame over and waits until its transfer is over; false when it never ended.
    bool publish(const QImage& frame) {
        publisher->publishFrame(frame);
        return pollUntil(10000, [&] { return !publisher->isPublishing(); });
    }
    QByteArray published() const { return server.file("cam/cam_1.jpg"); }
    QByteArray localTemp() const { return test::readFile(dataFolder + "/temp.jpg"); }
    qsizetype count(const QString& command) const { return server.log().filter(command).size(); }

    FtpServer server;
    QString dataFolder = test::TestEnvironment::makeTempDir("data");
    Settings settings;
    InterfaceTexts texts;
    test::RecordingMessages messages;
    std::unique_ptr<FtpPublisher> publisher;
    QStringList seen; // busy texts and "idle", in order
};

TEST(Backoff, DoublesFromTheFirstPauseUpToTheLongestAndStartsOverAfterASuccess) {
    Backoff backoff;
    std::vector<int> pauses;
    for (int i = 0; i < 40; ++i) {
        pauses.push_back(backoff.nextPauseMs());
    }
    EXPECT_EQ(std::vector<int>(pauses.begin(), pauses.begin() + 9),
              std::vector<int>({2000, 4000, 8000, 16000, 32000, 64000, 128000, 256000, 300000}));
    EXPECT_EQ(pauses.back(), 300000);
    backoff.reset();
    EXPECT_EQ(backoff.nextPauseMs(), 2000);
}

TEST_F(PublisherTest, PublishesChangedFramesUnderTheirNameAndSkipsUnchangedOrUnencodedOnes) {
    bool encoderFails = false;
    makePublisher({2000, 2000, 4000}, [&](const QImage& frame, const QString& folder) {
        return encoderFails ? throw JpegError("Failed to save to JPG 28", 28) : saveFrameAsJpeg(frame, folder);
    });
    EXPECT_FALSE(publisher->canPublish());
    ASSERT_TRUE(connect());
    EXPECT_EQ(seen, QStringList({texts[Text::Connecting], "idle"}));
    EXPECT_EQ(publisher->status().caption(), "connected");
    // A black frame is a frame like any other; nothing was published before it.
    ASSERT_TRUE(publish(testFrame(0)));
    EXPECT_EQ(published(), localTemp());
    EXPECT_FALSE(server.exists("cam/temp.jpg"));
    ASSERT_TRUE(publish(testFrame(1)));
    ASSERT_TRUE(publish(testFrame(1)));
    // Frames that come while an upload hangs are not queued: the newest goes up once it is over.
    server.freeze(true);
    for (int seed : {3, 4, 5}) {
        publisher->publishFrame(testFrame(seed));
    }
    pollUntil(1000, [] { return false; });
    server.freeze(false);
    ASSERT_TRUE(pollUntil(8000, [&] { return publisher->reference() == testFrame(5) && !publisher->isPublishing(); }));
    EXPECT_EQ(published(), localTemp());
    encoderFails = true; // an older temp.jpg must not go up in its place
    ASSERT_TRUE(publish(testFrame(2)));
    EXPECT_EQ(count("STOR"), 4);
    EXPECT_EQ(publisher->reference(), testFrame(5));
    EXPECT_EQ(count("CONNECT"), 1); // one connection for all of it
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PublisherTest, ServerFaultsNeverLeaveThePublishedPictureMissingAndPublishingComesBackByItself) {
    // A frame that did not go up costs a reconnect after a pause, and a busy server never loses
    // the picture. One that will not rename over a file gets it deleted just before the rename;
    // one that cannot rename at all gets it uploaded under its name, never deleted, but only
    // until renaming works again.
    struct Case {
        const char* fault;
        bool replaced;
        int publishedDeleted;
        bool direct = false; // uploaded straight under the published name
    };
    const std::vector<std::vector<Case>> servers = {
        {{"refuse_stor", false, 0}, {"drop_data", false, 0}, {"disk_full", false, 0}, {"rnto_busy", false, 0}},
        {{"rnto_no_replace", true, 1}, {"rnto_no_replace", true, 1}},
        {{"no_rename", true, 0, true}, {"no_rename", true, 0, true}},
        {{"no_rename", true, 0, true}, {"", true, 0}, {"", true, 0}}};
    int seed = 1;
    for (const std::vector<Case>& cases : servers) {
        server.setFaults({});
        makePublisher();
        ASSERT_TRUE(connect());
        ASSERT_TRUE(publish(testFrame(seed++)));
        for (const Case& c : cases) {
            SCOPED_TRACE(c.fault);
            const QByteArray before = published();
            server.setFaults({c.fault});
            server.clearLog();
            if (!*c.fault) {
                pollUntil(900, [] { return false; }); // renames are tried again after a pause, 800 ms at most here
            }
            ASSERT_TRUE(publish(testFrame(seed)));
            EXPECT_EQ(published() != before, c.replaced);
            EXPECT_EQ(published() == localTemp(), c.replaced);
            EXPECT_EQ(count("DELE cam_1.jpg"), c.publishedDeleted);
            EXPECT_EQ(count("STOR cam_1.jpg"), c.direct ? 1 : 0);
            EXPECT_FALSE(c.direct && server.exists("cam/temp.jpg")) << "the temporary file stays on the server";
            EXPECT_EQ(publisher->status().state, c.replaced ? LinkState::Connected : LinkState::Retrying);
            if (c.replaced) {
                EXPECT_EQ(count("RNTO cam_1.jpg") > 0, !c.direct);
                EXPECT_EQ(publisher->status().detail.contains("cannot rename"), c.direct) << "not told as it is";
            }
            ASSERT_TRUE(reconnected());
            seed += c.replaced ? 1 : 0;
        }
    }
    EXPECT_FALSE(server.exists("cam/temp.jpg"));
    EXPECT_EQ(messages.shown, QStringList{"Ftp connection failed"}) << "one message a run, never more";

    // A server gone and back: retried with growing pauses until it answers again.
    server.setFaults({});
    const int port = server.port();
    server.stop();
    ASSERT_TRUE(publish(testFrame(seed)));
    ASSERT_TRUE(pollUntil(3000, [&] { return publisher->status().state == LinkState::Retrying; }));
    EXPECT_GT(publisher->status().retryInSeconds, 0) << "the wait is not told";
    ASSERT_TRUE(server.start(port));
    ASSERT_TRUE(reconnected());
    ASSERT_TRUE(publish(testFrame(seed)));
    EXPECT_EQ(published(), localTemp());
}

TEST_F(PublisherTest, RefusedLoginsAndUploadsBackOffInsteadOfStorming) {
    makePublisher();
    ASSERT_TRUE(connect());
    // Every frame refused, four frames a second for two seconds.
    server.setFaults({"refuse_stor"});
    server.clearLog();
    for (int i = 0; i < 8; ++i) {
        publisher->publishFrame(testFrame(i + 1));
        pollUntil(250, [] { return false; });
    }
    EXPECT_LE(count("CONNECT"), 4) << server.log().join(' ').toStdString();

    // A refused login is not tried again until the login details change.
    server.setFaults({"refuse_login", "refuse_stor"});
    ASSERT_TRUE(pollUntil(8000, [&] {
        publisher->publishFrame(testFrame(99)); // the open connection fails, then logging in again does
        return publisher->status().state == LinkState::LoginRefused;
    }));
    server.clearLog();
    publisher->testFtpConnection(); // the panel closed with nothing changed
    pollUntil(1500, [] { return false; });
    EXPECT_EQ(count("CONNECT"), 0);
    EXPECT_EQ(publisher->status().caption(), "login refused");
    EXPECT_FALSE(publisher->status().toolTip().contains(FtpServer::password()));
    server.setFaults({});
    settings.ftpUsername = FtpServer::user() + " ";
    settings.ftpUsername = FtpServer::user(); // typed away and back: the same details
    publisher->testFtpConnection();
    EXPECT_FALSE(publisher->isConnecting());
    settings.ftpDir = "cam/";
    publisher->testFtpConnection();
    ASSERT_TRUE(reconnected());

    // A folder that cannot be entered is said in the status; nothing goes anywhere else.
    settings.ftpDir = "no-such-folder";
    ASSERT_TRUE(publish(testFrame(20)));
    EXPECT_EQ(publisher->status().state, LinkState::Retrying);
    EXPECT_TRUE(publisher->status().detail.contains("no-such-folder/")) << publisher->status().detail.toStdString();
    EXPECT_FALSE(server.exists("cam_1.jpg") || server.exists("temp.jpg"));
}

TEST_F(PublisherTest, WithALeastIntervalOnlyTheNewestChangedFrameGoesUpWhenThePauseEnds) {
    settings.ftpInterval = 1;
    makePublisher();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(publish(testFrame(1)));
    const QByteArray first = published();
    server.clearLog();
    ASSERT_TRUE(publish(testFrame(2)));
    ASSERT_TRUE(publish(testFrame(3)));
    EXPECT_EQ(published(), first) << "uploaded before the pause was over";
    EXPECT_TRUE(pollUntil(3000, [&] { return publisher->reference() == testFrame(3); }));
    EXPECT_EQ(published(), localTemp());
    EXPECT_EQ(count("STOR"), 1) << server.log().join(' ').toStdString();
}

TEST_F(PublisherTest, AFolderThatCannotBeEnteredIsNamedAsTheCauseNotTheConnection) {
    settings.ftpDir = "no-such-folder";
    makePublisher();
    ASSERT_TRUE(connect()); // the login itself works
    ASSERT_TRUE(publish(testFrame(1)));
    ASSERT_TRUE(publish(testFrame(2)));
    EXPECT_EQ(messages.shown, QStringList{"Ftp folder no-such-folder/ cannot be entered"});
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

    // Ticked without an off picture, or not ticked: the live frame is withdrawn, not left.
    for (const int offPic : {1, 0}) {
        QFile::remove(dataFolder + "/CamOff.jpg");
        settings.ftpOffPic = offPic;
        makePublisher();
        ASSERT_TRUE(connect());
        ASSERT_TRUE(publish(testFrame(2 + offPic)));
        ASSERT_TRUE(server.exists("cam/cam_1.jpg"));
        publisher->shutdown();
        EXPECT_FALSE(server.exists("cam/cam_1.jpg")) << offPic;
    }
    server.putFile("cam/cam_1.jpg", "old picture");
    server.clearLog();
    makePublisher(); // never connected
    publisher->shutdown();
    EXPECT_EQ(published(), "old picture");
    EXPECT_TRUE(server.log().isEmpty());
}

TEST_F(PublisherTest, FailedOrFrozenServersNeverHoldTheWindow) {
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

    // A server that freezes in the middle of an upload, with time limits far beyond the closing's.
    settings.ftpAddress = server.address(), settings.ftpPassword = FtpServer::password();
    makePublisher({20000, 20000, 60000});
    ASSERT_TRUE(connect());
    server.freeze(true);
    publisher->publishFrame(testFrame(5));
    QElapsedTimer closing;
    closing.start();
    publisher->shutdown();
    EXPECT_LT(closing.elapsed(), 5200);
    server.freeze(false);
}

// The same publishing rules whatever the scheme: each frame arrives whole under its name, and the
// picture is withdrawn at the end.
TEST_F(PublisherTest, EverySchemePublishesWholeFramesAndWithdrawsThemAtTheEnd) {
    FtpServer ftps(FtpServer::Kind::Ftps);
    ASSERT_TRUE(ftps.start());
    ftps.putFile("cam/.keep", "");
    test::SshServer sshd;
    ASSERT_TRUE(sshd.start());
    QDir().mkpath(sshd.folder() + "/cam");
    qputenv("SSL_CERT_FILE", FtpServer::testCertificateAuthority().toUtf8());
    const std::shared_ptr<void> trustNoMore(nullptr, [](void*) { qunsetenv("SSL_CERT_FILE"); });
    struct Row {
        const char* scheme;
        QString address, user, password, dir;
        std::function<QByteArray(const QString&)> file;
    };
    const Row rows[] = {
        {"ftp", server.address(), FtpServer::user(), FtpServer::password(), "cam",
         [&](const QString& name) { return server.file("cam/" + name); }},
        {"ftps", ftps.address(), FtpServer::user(), FtpServer::password(), "cam",
         [&](const QString& name) { return ftps.file("cam/" + name); }},
        {"sftp", sshd.address(), test::SshServer::user(), "", sshd.folder() + "/cam",
         [&](const QString& name) { return test::readFile(sshd.folder() + "/cam/" + name); }}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scheme);
        std::tie(settings.ftpAddress, settings.ftpUsername, settings.ftpPassword, settings.ftpDir, settings.ftpOffPic) =
            std::tuple(row.address, row.user, row.password, row.dir, 0);
        makePublisher();
        publisher->acceptHostKey(sshd.hostKeyFingerprint()); // connects
        ASSERT_TRUE(pollUntil(10000, [&] { return !publisher->isConnecting(); }) && publisher->isConnected())
            << publisher->status().toolTip().toStdString();
        for (int i = 1; i <= 20; ++i) {
            ASSERT_TRUE(publish(testFrame(i)));
            ASSERT_EQ(row.file("cam_1.jpg"), localTemp()) << "frame " << i << ": " << publisher->status().toolTip().toStdString();
        }
        EXPECT_TRUE(row.file("temp.jpg").isEmpty() && row.file("temp2.jpg").isEmpty());
        publisher->shutdown();
        EXPECT_TRUE(row.file("cam_1.jpg").isEmpty()) << "not withdrawn";
    }
}

TEST_F(PublisherTest, UntrustedCertificatesAndHostKeysAreRefusedAndNothingIsSent) {
    FtpServer ftps(FtpServer::Kind::Ftps);
    ASSERT_TRUE(ftps.start());
    settings.ftpAddress = ftps.address();
    makePublisher();
    EXPECT_FALSE(connect());
    EXPECT_EQ(publisher->status().state, LinkState::Untrusted);
    EXPECT_TRUE(publisher->status().detail.startsWith("certificate not trusted: /CN=127.0.0.1, unable to get local issuer"))
        << publisher->status().detail.toStdString();
    EXPECT_TRUE(ftps.log().filter("USER").isEmpty() && ftps.log().filter("PASS").isEmpty()) << "the login went out";

    // An unknown host key is offered to the user; once accepted it is known from then on, but a
    // key that changes is refused whatever the user accepts.
    test::SshServer sshd;
    ASSERT_TRUE(sshd.start());
    QDir().mkpath(sshd.folder() + "/cam");
    std::tie(settings.ftpAddress, settings.ftpUsername, settings.ftpPassword, settings.ftpDir) =
        std::tuple(sshd.address(), test::SshServer::user(), "", sshd.folder() + "/cam");
    makePublisher();
    EXPECT_FALSE(connect());
    EXPECT_EQ(publisher->status().unknownHostKey, sshd.hostKeyFingerprint()) << publisher->status().toolTip().toStdString();
    EXPECT_TRUE(publisher->status().detail.contains(sshd.hostKeyFingerprint()));
    publisher->acceptHostKey(sshd.hostKeyFingerprint());
    ASSERT_TRUE(pollUntil(10000, [&] { return publisher->isConnected(); }));
    makePublisher();
    ASSERT_TRUE(connect()) << "the accepted key was not kept";
    EXPECT_FALSE(QFileInfo(test::TestEnvironment::home() + "/.ssh").permissions().testAnyFlags(
        QFile::ReadGroup | QFile::ReadOther)) << "others can read the folder of the known hosts";
    sshd.stop();
    ASSERT_TRUE(sshd.newHostKey() && sshd.start(sshd.port()));
    makePublisher();
    publisher->acceptHostKey(sshd.hostKeyFingerprint());
    ASSERT_TRUE(pollUntil(10000, [&] { return !publisher->isConnecting(); }));
    EXPECT_FALSE(publisher->isConnected());
    EXPECT_TRUE(publisher->status().detail.startsWith("host key changed")) << publisher->status().detail.toStdString();
    EXPECT_FALSE(publish(testFrame(1)) && QFile::exists(sshd.folder() + "/cam/temp.jpg"));
}

} // namespace
} // namespace oculet
