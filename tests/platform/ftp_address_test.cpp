#include "platform/FtpAddress.h"

#include <gtest/gtest.h>

namespace oculet {
namespace {

TEST(FtpAddress, AddressMayCarryASchemeAndAPort) {
    struct Row { const char* address; const char* host; int port; }; // host null: the address is refused
    for (const Row& row : {Row{"ftp.example.org", "ftp.example.org", 21}, Row{"  ftp.example.org:2121 ", "ftp.example.org", 2121},
                           Row{"ftp://ftp.example.org/", "ftp.example.org", 21}, Row{"[::1]:2100", "::1", 2100},
                           Row{"[::1]", "::1", 21}, Row{"h:1", "h", 1}, Row{"h:65535", "h", 65535},
                           Row{"h:0", nullptr, 0}, Row{"h:65536", nullptr, 0}, Row{"h:abc", nullptr, 0},
                           Row{"", nullptr, 0}, Row{"evil@host", nullptr, 0}, Row{"host/path", nullptr, 0},
                           Row{"host\\path", nullptr, 0}, Row{"[::1", nullptr, 0}, Row{"[::1]x", nullptr, 0},
                           Row{"ftps://h", "h", 21}, Row{"SFTP://h", "h", 22}, Row{"sftp://h:2222/", "h", 2222},
                           Row{"http://h", nullptr, 0}}) {
        const FtpEndpoint e = parseFtpAddress(QString::fromLatin1(row.address), "u", "p");
        EXPECT_EQ(e.addressError.isEmpty(), row.host != nullptr) << row.address;
        if (row.host != nullptr) {
            EXPECT_EQ(e.host, QString::fromLatin1(row.host)) << row.address;
            EXPECT_EQ(e.port, row.port) << row.address;
        }
    }
    EXPECT_EQ(parseFtpAddress("ftps://h", {}, {}).scheme, FtpScheme::Ftps);
    EXPECT_EQ(FtpEndpoint::fromAddress("Sftp://h", {}, {}).scheme, FtpScheme::Sftp);
}

TEST(FtpAddress, FoldersAndNamesAreEncodedAndUnsafeOnesRefused) {
    const FtpEndpoint e = parseFtpAddress("h:2121", {}, {});
    // A name must name a file in the folder given: with "\" a server on Windows would climb out.
    for (const auto& [dir, name, url] : {std::tuple{"/", "temp.jpg", "ftp://h:2121/%2F/temp.jpg"},
                                         {"cam/", "temp.jpg", "ftp://h:2121/cam/temp.jpg"},
                                         {"/www/my cam/", "a b.jpg", "ftp://h:2121/%2Fwww/my%20cam/a%20b.jpg"},
                                         {"cam/", "", "ftp://h:2121/cam/"}, {"cam/", "x/y.jpg", ""},
                                         {"cam/", "..\\escape.jpg", ""}, {"/", "a\\b.jpg", ""},
                                         {"cam/", "x.jpg\r\nDELE index.html", ""}, {"cam\nDELE x/", "temp.jpg", ""}}) {
        EXPECT_EQ(ftpUrl(e, dir, name), QString(url)) << dir << " " << name;
    }
    EXPECT_EQ(ftpUrl(parseFtpAddress("[::1]", {}, {}), "/", "a.jpg"), "ftp://[::1]:21/%2F/a.jpg");
    // SFTP paths are absolute: the login folder is "~", and the top folder is taken for it.
    const FtpEndpoint sftp = parseFtpAddress("sftp://h", {}, {});
    for (const auto& [dir, url] : {std::pair{"/", "sftp://h:22/~/a.jpg"}, {"cam/", "sftp://h:22/~/cam/a.jpg"},
                                   {"/srv/cam/", "sftp://h:22/srv/cam/a.jpg"}}) {
        EXPECT_EQ(ftpUrl(sftp, dir, "a.jpg"), QString(url)) << dir;
    }
    // A quote in an SFTP command's path would end the path and start words of its own.
    EXPECT_EQ(sftpPath("/", "a\".jpg"), "\"a\\\".jpg\"");
    EXPECT_EQ(sftpPath("w\\x/", "a.jpg"), "\"w\\\\x/a.jpg\"");
}

} // namespace
} // namespace oculet
