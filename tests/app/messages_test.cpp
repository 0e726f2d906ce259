// Message boxes of the real program never hold the frames or the end: while one stands,
// Cam_1.bmp goes on being written, and a signal or the window's close ends the program at once
// with its settings saved.
#include "tests/app/SystemTest.h"
#include "tests/support/HttpServer.h"

#include <csignal>

namespace oculet::test {
namespace {

// Screen capture of an empty part of the screen, and no last received picture drawn.
const QByteArray kScreenCapture =
    "[program]\nprog=4\n[captureleft]\n4=1400\n[capturetop]\n4=700\n[lastrx]\n4=False\n";

QString englishFile() {
    return TestEnvironment::dataFolder() + QStringLiteral("/Languages/Oculet_English.Language");
}

QByteArray shippedEnglish() {
    return readFile(QStringLiteral(OCULET_SOURCE_DIR "/data/Languages/Oculet_English.Language"));
}
// The shipped English file without its version line.
QByteArray englishTexts() {
    return shippedEnglish().mid(shippedEnglish().indexOf('\n') + 1);
}

// The English file as a translator might leave it: the right version line, then `rest`. Start-up
// keeps a file that names this version.
void writeEnglish(const QByteArray& rest) {
    QDir().mkpath(QFileInfo(englishFile()).absolutePath());
    ASSERT_TRUE(
        writeFile(englishFile(), shippedEnglish().left(shippedEnglish().indexOf('\n') + 1) + rest));
}

QByteArray binaryBytes() {
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i) {
        bytes += char(i % 256);
    }
    return bytes;
}

enum class End { Sigterm, Sigint, CloseRequest };

TEST(Messages, FramesGoOnWhileABoxStandsAndEveryEndClosesItAndSaves) {
    HttpServer server;
    struct Row {
        const char* name;
        QByteArray ini;
        std::function<void()> prepare;
        End end;
    };
    const Row rows[] = {
        {"missing source", "[program]\nprog=0\n[lastrx]\n0=False\n", {}, End::Sigterm},
        {"language 7", kScreenCapture + "[Default]\nLanguage=7\n", {}, End::Sigterm},
        {"language -1", kScreenCapture + "[Default]\nLanguage=-1\n", {}, End::CloseRequest},
        {"language 32767", kScreenCapture + "[Default]\nLanguage=32767\n", {}, End::Sigint},
        {"truncated language file", kScreenCapture, [] { writeEnglish(englishTexts().left(300)); },
         End::Sigterm},
        {"binary language file", kScreenCapture, [] { writeEnglish(binaryBytes()); }, End::Sigterm},
        {"language file over 256 KiB", kScreenCapture,
         [] { writeEnglish(englishTexts() + QByteArray(300 * 1024, '\n')); }, End::Sigterm},
        {"directory for a language file", kScreenCapture,
         [] { ASSERT_TRUE(QDir().mkpath(englishFile())); }, End::CloseRequest},
        {"text too long to fit", kScreenCapture + "[lastrx]\n4=True\n",
         [] {
             QByteArray english = englishTexts();
             const qsizetype at = english.indexOf("NoPicture");
             writeEnglish(english.replace(at, english.indexOf('\r', at) - at,
                                          "NoPicture = " + QByteArray(3000, 'W')));
         },
         End::Sigterm},
        // The crash this guards against: the answer arriving for an update check already gone.
        {"update question",
         kScreenCapture + "[update]\nversionpage=" + server.page("/newer").toUtf8() + "\n",
         {},
         End::Sigterm},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // A row that fails ends there; the next one still runs.
        [&] {
            freshUser(row.ini);
            if (row.prepare) {
                row.prepare();
            }
            OculetProcess oculet;
            ASSERT_TRUE(oculet.start());
            ASSERT_TRUE(oculet.waitForMessageBox(8000)) << "nothing was said";
            const auto main = oculet.waitForMainWindow();
            ASSERT_TRUE(main) << "no main window while the box stands";
            // Two frames in a row: the cycle runs on while the box waits for an answer.
            EXPECT_FALSE(waitForFrame().isNull()) << "no frame while the box stands";
            EXPECT_FALSE(waitForFrame().isNull()) << "frames stopped while the box stands";
            ASSERT_TRUE(oculet.waitForMessageBox(0)) << "the box went by itself";

            std::optional<int> code;
            switch (row.end) {
            case End::Sigterm:
                code = oculet.terminate();
                break;
            case End::Sigint:
                ASSERT_EQ(::kill(pid_t(oculet.pid()), SIGINT), 0);
                code = oculet.waitForExit();
                break;
            case End::CloseRequest:
                ASSERT_TRUE(requestClose(main->id));
                code = oculet.waitForExit();
                break;
            }
            ASSERT_TRUE(code.has_value()) << "still running behind the box";
            EXPECT_EQ(*code, 0);
            const IniFile saved = savedSettings();
            EXPECT_EQ(missingSettings(saved), QStringList());
            EXPECT_EQ(saved.value("Default", "Language"),
                      IniFile::parse(row.ini).value("Default", "Language").value_or("0"));
        }();
    }
}

} // namespace
} // namespace oculet::test
