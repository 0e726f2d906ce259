#include "platform/FtpClient.h"
#include "publish/RemotePath.h"
#include "tests/support/FtpServer.h"
#include "tests/publish/PublishTestSupport.h"

#include <gtest/gtest.h>

namespace oculet {
namespace {

using test::FtpServer;

TEST(FtpEndpoint, AddressMayCarryAPort) {
    struct Row { const char* address; const char* host; int port; }; // host null: the address is refused
    for (const Row& row : {Row{"ftp.example.org", "ftp.example.org", 21}, Row{"  ftp.example.org:2121 ", "ftp.example.org", 2121},
                           Row{"ftp://ftp.example.org/", "ftp.example.org", 21}, Row{"[::1]:2100", "::1", 2100},
                           Row{"[::1]", "::1", 21}, Row{"h:1", "h", 1}, Row{"h:65535", "h", 65535},
                           Row{"h:0", nullptr, 0}, Row{"h:65536", nullptr, 0}, Row{"h:abc", nullptr, 0},
                           Row{"", nullptr, 0}, Row{"evil@host", nullptr, 0}, Row{"host/path", nullptr, 0},
                           Row{"[::1", nullptr, 0}, Row{"[::1]x", nullptr, 0}, Row{"ftps://h", "h", 21},
                           Row{"SFTP://h", "h", 22}, Row{"sftp://h:2222/", "h", 2222}, Row{"http://h", nullptr, 0}}) {
        const FtpEndpoint e = FtpEndpoint::fromAddress(QString::fromLatin1(row.address), "u", "p");
        EXPECT_EQ(e.addressError.isEmpty(), row.host != nullptr) << row.address;
        if (row.host != nullptr) {
            EXPECT_EQ(e.host, QString::fromLatin1(row.host)) << row.address;
            EXPECT_EQ(e.port, row.port) << row.address;
        }
    }
    EXPECT_EQ(FtpEndpoint::fromAddress("ftps://h", {}, {}).scheme, FtpScheme::Ftps);
    EXPECT_EQ(FtpEndpoint::fromAddress("Sftp://h", {}, {}).scheme, FtpScheme::Sftp);
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
    // SFTP paths are absolute: the login folder is "~", and the top folder is taken for it.
    const FtpEndpoint sftp = FtpEndpoint::fromAddress("sftp://h", {}, {});
    for (const auto& [dir, url] : {std::pair{"/", "sftp://h:22/~/a.jpg"}, {"cam/", "sftp://h:22/~/cam/a.jpg"},
                                   {"/srv/cam/", "sftp://h:22/srv/cam/a.jpg"}}) {
        EXPECT_EQ(ftpUrl(sftp, dir, "a.jpg"), QString(url)) << dir;
    }
}

TEST(FtpClient, AFailedRequestShowsNoPasswordAndTheNextStartsAfreshAsDoesAStoppedOne) {
    FtpServer server;
    ASSERT_TRUE(server.start());
    const auto endpoint = [&](const QString& password) {
        return FtpEndpoint::fromAddress(server.address(), FtpServer::user(), password);
    };
    CurlFtpClient client;
    const FtpStop never = [] { return false; };
    const FtpResult login = client.checkLogin(endpoint("wrong pw/123"), never);
    EXPECT_EQ(login.replyCode, 530);
    EXPECT_TRUE(!login.ok && login.refused);
    EXPECT_FALSE(login.message.contains("wrong pw/123") || login.message.contains("wrong%20pw%2F123"));
    EXPECT_TRUE(client.checkLogin(endpoint(FtpServer::password()), never).ok);
    EXPECT_EQ(server.log().count("CONNECT"), 2);
    // A line break or NUL in the login would end the command and smuggle in one of its own.
    const QString pass = FtpServer::password(), user = FtpServer::user(), lf = "\nDELE x", nul(1, QChar(0));
    for (const auto& [u, p] : {std::pair{user + "\r" + lf, pass}, {user, pass + lf}, {user + nul, pass}, {user, nul}}) {
        EXPECT_FALSE(client.checkLogin(FtpEndpoint::fromAddress(server.address(), u, p), never).ok);
    }
    EXPECT_EQ(server.log().count("CONNECT"), 2) << "a login with a line break reached the server";

    int calls = 0;
    const QByteArray bytes = QByteArray("0123456789abcdefghi").repeated(500000);
    const FtpResult stopped =
        client.upload(endpoint(FtpServer::password()), bytes, "/", "temp.jpg", [&] { return ++calls > 3; });
    EXPECT_TRUE(!stopped.ok && stopped.cancelled);
    EXPECT_NE(server.file("temp.jpg"), bytes);
    EXPECT_TRUE(client.checkLogin(endpoint(FtpServer::password()), never).ok);
    EXPECT_EQ(server.log().count("CONNECT"), 3);
}

} // namespace
} // namespace oculet
