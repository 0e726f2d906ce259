#include "platform/FtpClient.h"
#include "publish/RemotePath.h"
#include "tests/support/FtpServer.h"
#include "tests/publish/PublishTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace oculet {
namespace {

using test::FtpServer;

TEST(FtpEndpoint, AddressMayCarryAPort) {
    struct Row {
        const char* address;
        const char* host; // null: the address is refused
        int port;
    };
    for (const Row& row : {Row{"ftp.example.org", "ftp.example.org", 21}, Row{"  ftp.example.org:2121 ", "ftp.example.org", 2121},
                           Row{"ftp://ftp.example.org/", "ftp.example.org", 21}, Row{"[::1]:2100", "::1", 2100},
                           Row{"[::1]", "::1", 21}, Row{"h:1", "h", 1}, Row{"h:65535", "h", 65535},
                           Row{"h:0", nullptr, 0}, Row{"h:65536", nullptr, 0}, Row{"h:abc", nullptr, 0},
                           Row{"", nullptr, 0}, Row{"evil@host", nullptr, 0}, Row{"host/path", nullptr, 0},
                           Row{"[::1", nullptr, 0}, Row{"[::1]x", nullptr, 0}}) {
        const FtpEndpoint e = FtpEndpoint::fromAddress(QString::fromLatin1(row.address), "u", "p");
        EXPECT_EQ(e.addressError.isEmpty(), row.host != nullptr) << row.address;
        if (row.host != nullptr) {
            EXPECT_EQ(e.host, QString::fromLatin1(row.host)) << row.address;
            EXPECT_EQ(e.port, row.port) << row.address;
        }
    }
}

TEST(FtpUrl, FoldersAndNamesAreEncodedAndUnsafeOnesRefused) {
    const FtpEndpoint e = FtpEndpoint::fromAddress("h:2121", {}, {});
    for (const auto& [webDirectory, name, url] : {std::tuple{"", "temp.jpg", "ftp://h:2121/%2F/temp.jpg"},
                                                  {"cam", "temp.jpg", "ftp://h:2121/cam/temp.jpg"},
                                                  {"cam/", "temp.jpg", "ftp://h:2121/cam/temp.jpg"},
                                                  {"/www/my cam", "a b.jpg", "ftp://h:2121/%2Fwww/my%20cam/a%20b.jpg"},
                                                  {"cam", "", "ftp://h:2121/cam/"}, {"cam", "x/y.jpg", ""},
                                                  {"cam", "x.jpg\r\nDELE index.html", ""}, {"cam\nDELE x", "temp.jpg", ""}}) {
        EXPECT_EQ(ftpUrl(e, remoteDirectory(webDirectory), name), QString(url)) << webDirectory << " " << name;
    }
    EXPECT_EQ(ftpUrl(FtpEndpoint::fromAddress("[::1]", {}, {}), "/", "a.jpg"), "ftp://[::1]:21/%2F/a.jpg");
}

TEST(FtpClient, RequestsShareAConnectionUntilOneFailsAndNeverShowThePassword) {
    FtpServer server;
    ASSERT_TRUE(server.start());
    server.putFile("cam/keep.txt", "x");
    const auto endpoint = [&](const QString& password) {
        return FtpEndpoint::fromAddress(server.address(), FtpServer::user(), password);
    };
    const FtpEndpoint good = endpoint(FtpServer::password());
    CurlFtpClient client;
    const FtpStop never = [] { return false; };
    const QByteArray bytes = QByteArray("0123456789abcdefghi").repeated(500000);
    // 1000 bytes: a multiple of 100 arrives whole, with nothing missing at the end.
    const QString local = test::TestEnvironment::makeTempDir("up") + "/temp.jpg";
    ASSERT_TRUE(test::writeFile(local, bytes.left(1000)));
    ASSERT_TRUE(client.upload(good, local, "cam/", "temp.jpg", never).ok);
    ASSERT_TRUE(client.rename(good, "cam/", "temp.jpg", "cam_1.jpg", never).ok);
    EXPECT_EQ(server.file("cam/cam_1.jpg"), bytes.left(1000));
    ASSERT_TRUE(client.remove(good, "/cam/", "cam_1.jpg", never).ok);
    EXPECT_FALSE(server.exists("cam/cam_1.jpg") || server.exists("cam/temp.jpg"));
    EXPECT_EQ(server.log().count("CONNECT"), 1);

    const FtpResult login = client.checkLogin(endpoint("wrong pw/123"), never);
    EXPECT_EQ(login.replyCode, 530);
    EXPECT_TRUE(!login.ok && login.permanentRefusal());
    EXPECT_FALSE(login.message.contains("wrong pw/123") || login.message.contains("wrong%20pw%2F123"));
    EXPECT_TRUE(client.checkLogin(good, never).ok);
    EXPECT_EQ(server.log().count("CONNECT"), 3); // a fresh one after the failure

    int calls = 0;
    ASSERT_TRUE(test::writeFile(local, bytes));
    const FtpResult stopped = client.upload(good, local, "/", "temp.jpg", [&] { return ++calls > 3; });
    EXPECT_TRUE(!stopped.ok && stopped.cancelled);
    EXPECT_NE(server.file("temp.jpg"), bytes);
}

} // namespace
} // namespace oculet
