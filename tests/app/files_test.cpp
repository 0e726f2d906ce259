// Files and links other users and programs leave in the real program's way: FIFOs where pictures
// should be, a link planted in a shared program folder, a settings file in UTF-16 with comments,
// a language file of another version.
#include "tests/app/SystemTest.h"

#include <QStringEncoder>

#include <sys/stat.h>
#include <unistd.h>

namespace oculet::test {
namespace {

TEST(Files, NothingPlantedHoldsUpStartOrEndAndNothingTheUserWroteIsLost) {
    const QString settings = QStringLiteral("; my station\r\n[program]\r\nprog=4\r\n[captureleft]\r\n4=1400\r\n"
                                            "[capturetop]\r\n4=700\r\n; the server\r\n[ftp]\r\nftpon=False\r\n"
                                            "address=ftp.example.org\r\nusername=pa3xyz\r\npassword=g\u00e9heim\r\n");
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    freshUser(utf16.encode(settings));
    const QString languages = TestEnvironment::dataFolder() + QStringLiteral("/Languages");
    ASSERT_TRUE(QDir().mkpath(languages));
    ASSERT_TRUE(writeFile(languages + "/Oculet_Spanish.Language", "Oculet 1.0\ntraducido\n"));
    UnwrittenFifo offPicture(TestEnvironment::dataFolder() + QStringLiteral("/CamOff.jpg"), 60000);

    // A program folder everybody may write, where another user left a FIFO and a link to a
    // file of the user running Oculet.
    const QString folder = TestEnvironment::makeTempDir(QStringLiteral("shared-program"));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
    const QString binary = folder + QStringLiteral("/oculet");
    ASSERT_TRUE(QFile::copy(QStringLiteral(OCULET_BINARY), binary));
    UnwrittenFifo oldOffPicture(folder + QStringLiteral("/CamOff.jpg"), 60000);
    const QString mine = TestEnvironment::home() + QStringLiteral("/notes.txt");
    ASSERT_TRUE(writeFile(mine, "my notes"));
    ASSERT_TRUE(QFile::link(mine, camBitmap(folder)));
    const bool asAnotherUser = ::lchown(QFile::encodeName(camBitmap(folder)).constData(), 65534, 65534) == 0;

    OculetProcess oculet(binary);
    ASSERT_TRUE(oculet.start());
    ASSERT_TRUE(oculet.waitForMainWindow(8000)) << "start-up held up";
    EXPECT_FALSE(waitForFrame().isNull());
    EXPECT_EQ(readFile(languages + "/Oculet_Spanish.Language.bak"), QByteArray("Oculet 1.0\ntraducido\n"));
    EXPECT_EQ(oculet.terminate(), 0);

    if (asAnotherUser) {
        EXPECT_EQ(readFile(mine), QByteArray("my notes")) << "written through another user's link";
        EXPECT_TRUE(QFileInfo(camBitmap(folder)).isSymLink());
    }
    const QByteArray saved = readFile(TestEnvironment::settingsFile());
    ASSERT_TRUE(saved.startsWith("\xff\xfe"));
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(saved.constData() + 2), (saved.size() - 2) / 2);
    for (const QString& kept : {QStringLiteral("; my station\r\n[program]"), QStringLiteral("; the server\r\n[ftp]"),
                                QStringLiteral("address=ftp.example.org"), QStringLiteral("username=pa3xyz"),
                                QStringLiteral("password=g\u00e9heim")}) {
        EXPECT_TRUE(text.contains(kept)) << kept.toStdString();
    }
}

} // namespace
} // namespace oculet::test
