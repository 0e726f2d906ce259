#include "platform/FtpClient.h"
#include "publish/RemotePath.h"
#include "tests/support/FtpServer.h"
#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>

namespace oculet {
namespace {

using test::FtpServer;
using test::TestEnvironment;

TEST(FtpEndpoint, AddressMayCarryAPort) {
    struct Row {
        const char* address;
        const char* host;
        int port;
        bool valid;
    };
    for (const Row& row : {Row{"ftp.example.org", "ftp.example.org", 21, true},
                           Row{"  ftp.example.org:2121 ", "ftp.example.org", 2121, true},
                           Row{"ftp://ftp.example.org/", "ftp.example.org", 21, true},
                           Row{"[::1]:2100", "::1", 2100, true},
                           Row{"[::1]", "::1", 21, true},
                           Row{"host:0", "", 0, false},
                           Row{"host:70000", "", 0, false},
                           Row{"host:abc", "", 0, false},
                           Row{"", "", 0, false},
                           Row{"evil@host", "", 0, false},
                           Row{"host/path", "", 0, false},
                           Row{"[::1", "", 0, false}}) {
        const FtpEndpoint e = FtpEndpoint::fromAddress(QString::fromLatin1(row.address),
                                                       QStringLiteral("u"), QStringLiteral("p"));
        EXPECT_EQ(e.addressError.isEmpty(), row.valid) << row.address;
        if (row.valid) {
            EXPECT_EQ(e.host, QString::fromLatin1(row.host)) << row.address;
            EXPECT_EQ(e.port, row.port) << row.address;
        }
    }
}

TEST(FtpUrl, FoldersAndNamesAreEncodedAndUnsafeOnesRefused) {
    const FtpEndpoint e = FtpEndpoint::fromAddress(QStringLiteral("h:2121"), {}, {});
    struct Row {
        const char* webDirectory;
        const char* name;
        const char* url;
    };
    for (const Row& row : {Row{"", "temp.jpg", "ftp://h:2121/%2F/temp.jpg"},
                           Row{"cam", "temp.jpg", "ftp://h:2121/cam/temp.jpg"},
                           Row{"cam/", "temp.jpg", "ftp://h:2121/cam/temp.jpg"},
                           Row{"/www/my cam", "a b.jpg", "ftp://h:2121/%2Fwww/my%20cam/a%20b.jpg"},
                           Row{"cam", "", "ftp://h:2121/cam/"},
                           Row{"cam", "x/y.jpg", ""},
                           Row{"cam", "x.jpg\r\nDELE index.html", ""},
                           Row{"cam\nDELE x", "temp.jpg", ""}}) {
        EXPECT_EQ(ftpUrl(e, remoteDirectory(QString::fromLatin1(row.webDirectory)),
                         QString::fromLatin1(row.name)),
                  QString::fromLatin1(row.url))
            << row.webDirectory << " " << row.name;
    }
}

class FtpClientTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()); }

    FtpEndpoint endpoint(const QString& password = FtpServer::password()) const {
        return FtpEndpoint::fromAddress(server.address(), FtpServer::user(), password);
    }
    QString localFile(int size) {
        const QString path = TestEnvironment::makeTempDir(QStringLiteral("up")) + "/temp.jpg";
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>((i * 131 + 7) & 0xff);
        }
        file.write(bytes);
        return path;
    }
    static QByteArray bytesOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    FtpServer server;
    CurlFtpClient client;
    FtpStop never = [] { return false; };
};

TEST_F(FtpClientTest, UploadRenameAndDeleteInTheRemoteFolder) {
    server.putFile(QStringLiteral("cam/keep.txt"), "x");
    // 1000 bytes: a multiple of 100 arrives whole, with nothing missing at the end.
    for (const int size : {1000, 1234}) {
        const QString local = localFile(size);
        ASSERT_TRUE(client.upload(endpoint(), local, QStringLiteral("cam/"),
                                  QStringLiteral("temp.jpg"), never).ok);
        EXPECT_EQ(server.file(QStringLiteral("cam/temp.jpg")), bytesOf(local));
        ASSERT_TRUE(client.rename(endpoint(), QStringLiteral("cam/"), QStringLiteral("temp.jpg"),
                                  QStringLiteral("cam_1.jpg"), never).ok);
        EXPECT_FALSE(server.exists(QStringLiteral("cam/temp.jpg")));
        EXPECT_EQ(server.file(QStringLiteral("cam/cam_1.jpg")), bytesOf(local));
    }
    ASSERT_TRUE(client.remove(endpoint(), QStringLiteral("/cam/"), QStringLiteral("cam_1.jpg"),
                              never).ok);
    EXPECT_FALSE(server.exists(QStringLiteral("cam/cam_1.jpg")));
    EXPECT_TRUE(server.exists(QStringLiteral("cam/keep.txt")));
    // The connection was kept for all of these.
    EXPECT_EQ(server.log().count(QStringLiteral("CONNECT")), 1);
}

TEST_F(FtpClientTest, RefusalsCarryTheReplyCodeAndNeverThePassword) {
    const FtpResult login = client.checkLogin(endpoint(QStringLiteral("wrong-pw-123")), never);
    EXPECT_FALSE(login.ok);
    EXPECT_EQ(login.replyCode, 530);
    EXPECT_FALSE(login.message.contains(QStringLiteral("wrong-pw-123")));

    server.setFaults({QStringLiteral("rnto_busy")});
    server.putFile(QStringLiteral("temp.jpg"), "new");
    const FtpResult busy = client.rename(endpoint(), QStringLiteral("/"), QStringLiteral("temp.jpg"),
                                         QStringLiteral("cam_1.jpg"), never);
    EXPECT_FALSE(busy.ok);
    EXPECT_EQ(busy.replyCode, 450);
    EXPECT_FALSE(busy.permanentRefusal());

    server.setFaults({QStringLiteral("refuse_stor")});
    const FtpResult stor = client.upload(endpoint(), localFile(300), QStringLiteral("/"),
                                         QStringLiteral("temp.jpg"), never);
    EXPECT_FALSE(stor.ok);
    EXPECT_EQ(stor.replyCode, 553);
    EXPECT_EQ(server.file(QStringLiteral("temp.jpg")), QByteArray("new"));
    // After a failure the next request starts on a fresh connection.
    server.setFaults({});
    server.clearLog();
    EXPECT_TRUE(client.checkLogin(endpoint(), never).ok);
    EXPECT_EQ(server.log().value(0), QStringLiteral("CONNECT"));
}

TEST_F(FtpClientTest, StopFlagAbandonsAnUpload) {
    const QString local = localFile(8 * 1024 * 1024);
    std::atomic<int> calls{0};
    const FtpResult result = client.upload(endpoint(), local, QStringLiteral("/"),
                                           QStringLiteral("temp.jpg"),
                                           [&] { return ++calls > 3; });
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.cancelled);
    EXPECT_NE(server.file(QStringLiteral("temp.jpg")).size(), 8 * 1024 * 1024);
}

TEST(FtpClientDeadServer, ANeverAnsweringServerEndsInFailureWithinTheTimeLimits) {
    FtpServer dead(FtpServer::Kind::Hang);
    ASSERT_TRUE(dead.start());
    CurlFtpClient client;
    client.setTimeouts({1000, 1000, 2000});
    QElapsedTimer timer;
    timer.start();
    const FtpResult result = client.checkLogin(
        FtpEndpoint::fromAddress(dead.address(), QStringLiteral("u"), QStringLiteral("p")),
        [] { return false; });
    EXPECT_FALSE(result.ok);
    EXPECT_LT(timer.elapsed(), 6000);
}

} // namespace
} // namespace oculet
