#include "platform/FtpClient.h"
#include "publish/RemotePath.h"
#include "tests/support/FtpServer.h"

#include <gtest/gtest.h>

namespace oculet {
namespace {

using test::FtpServer;

TEST(RemotePath, AnEmptyWebDirectoryIsTheTopFolderAndEveryFolderEndsInASlash) {
    for (const auto& [box, dir] : {std::pair{"", "/"}, {"cam", "cam/"}, {"cam/", "cam/"}, {"/www/cam", "/www/cam/"}}) {
        EXPECT_EQ(remoteDirectory(box), dir) << box;
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
    EXPECT_FALSE(client.rename(endpoint(FtpServer::password()), "/", "temp.jpg", "..\\escape.jpg", never).ok);
    EXPECT_EQ(server.log().count("CONNECT"), 2) << "a name with a backslash reached the server";

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
