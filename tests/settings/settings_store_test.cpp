#include "settings/SettingValues.h"
#include "settings/SettingsTable.h"
#include "platform/IniFile.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRect>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace oculet {
namespace {

const VirtualScreen kScreen{0, 0, 1920, 1080};

Settings loadFrom(const QByteArray& ini, const VirtualScreen& screen = kScreen) {
    return loadSettings(IniFile::parse(ini), screen);
}

TEST(SettingsStore, FreshStoreGivesTheDefaults) {
    const Settings s = loadFrom({});
    for (int p = 0; p < kProgramCount; ++p) {
        EXPECT_EQ(QRect(s.captureLeft[p], s.captureTop[p], s.captureWidth[p], s.captureHeight[p]),
                  QRect(400, 400, 400, 300));
        EXPECT_EQ(s.clockLeft[p], 220);
        EXPECT_EQ(s.clockTop[p], 5);
        EXPECT_EQ(s.clockOnZ[p], 1);
        EXPECT_EQ(s.clockOnL[p], 1);
        EXPECT_EQ(s.txtOn[p], 1);
        EXPECT_EQ(s.txtTop[p], 100);
        EXPECT_EQ(s.fTxtOn[p], 0);
        EXPECT_EQ(s.fTxtLeft[p], 10);
        EXPECT_EQ(s.fTxtTop[p], 50);
        EXPECT_TRUE(s.lastRx[p]);
        EXPECT_EQ(s.lastRxLeft[p], 200);
        EXPECT_EQ(s.lastRxWidth[p], 120);
        EXPECT_FALSE(s.smOn[p]);
        EXPECT_FALSE(s.aux1On[p]);
        EXPECT_FALSE(s.aux2On[p]);
    }
    EXPECT_EQ(s.textFont, (FontSetting{QStringLiteral("Arial"), true, false, 16, false}));
    EXPECT_EQ(s.textColour, 0x00FFFFu);    // yellow: red and green
    EXPECT_EQ(s.textBkgColour, 0xFF0000u); // blue
    EXPECT_FALSE(s.ftpOn);
    EXPECT_EQ(s.ftpFilename, QStringLiteral("cam_1.jpg"));
    EXPECT_EQ(s.ftpOffPic, 1);
    EXPECT_EQ(s.language, 0);
    EXPECT_EQ(s.program, 0);
}

TEST(SettingsStore, LoadCorrectsRectanglesAndBoxes) {
    const Settings s = loadFrom("[CaptureWidth]\n0=50\n1=400\n"
                                "[CaptureHeight]\n0=99\n"
                                "[CaptureLeft]\n1=5000\n2=-20\n"
                                "[CaptureTop]\n3=2000\n"
                                "[lblAux1Height]\n0=10\n"
                                "[lblAux1Top]\n1=235\n"
                                "[lblAux1Height]\n1=50\n"
                                "[lblAux2Width]\n2=3\n"
                                "[lblAux2Left]\n2=400\n3=-4\n"
                                "[aux1Left]\n0=3000\n1=-1\n"
                                "[aux2Top]\n0=1081\n"
                                "[Capture]\nbarY=1080\nbarHt=7\n");
    EXPECT_EQ(s.captureWidth[0], 400);
    EXPECT_EQ(s.captureHeight[0], 300);
    EXPECT_EQ(s.captureLeft[1], 1520); // 1920 - 400
    EXPECT_EQ(s.captureLeft[2], 0);
    EXPECT_EQ(s.captureTop[3], 780); // 1080 - 300
    EXPECT_EQ(s.lblAux1Height[0], 15);
    EXPECT_EQ(s.lblAux1Top[1], 190); // 240 - 50
    EXPECT_EQ(s.lblAux2Width[2], 20);
    EXPECT_EQ(s.lblAux2Left[2], 300);
    EXPECT_EQ(s.lblAux2Left[3], 0);
    EXPECT_EQ(s.aux1Left[0], 0);
    EXPECT_EQ(s.aux1Left[1], 0);
    EXPECT_EQ(s.aux2Top[0], 0);
    EXPECT_EQ(s.barY, 1073);
}

TEST(SettingsStore, CaptureIsCheckedAgainstTheScreenSizeNotItsRightEdge) {
    // On a desktop whose virtual screen starts left of 0 the upper bound stays width - capture
    // width, as stored captures have always been checked.
    const Settings s = loadFrom("[CaptureLeft]\n0=1600\n1=-1500\n", VirtualScreen{-1280, 0, 3200, 1080});
    EXPECT_EQ(s.captureLeft[0], 1600);
    EXPECT_EQ(s.captureLeft[1], -1280);
    const Settings t = loadFrom("[CaptureLeft]\n0=2900\n", VirtualScreen{-1280, 0, 3200, 1080});
    EXPECT_EQ(t.captureLeft[0], 2800);
}

TEST(SettingsStore, NamesDifferingOnlyInLetterCaseAreOneEntry) {
    const Settings s = loadFrom("[lblaux1Left]\n2=123\n[TxtTop]\n4=-5\n[FTxtLeft]\n0=77\n");
    EXPECT_EQ(s.lblAux1Left[2], 123);
    EXPECT_EQ(s.txtTop[4], -5);
    EXPECT_EQ(s.fTxtLeft[0], 77);
}

TEST(SettingsStore, ValuesThatAreNotOfTheirTypeFallBackToTheDefault) {
    const Settings s = loadFrom("[CaptureWidth]\n0=abc\n1=\n2=1e3\n3=0x200\n"
                                "[ClockLeft]\n0=99999\n1=12.5\n2=13.5\n"
                                "[SMOn]\n0=maybe\n1=-1\n2=0\n3=true\n"
                                "[Text]\nColor=-1\nBkgColor=yellow\n"
                                "[Program]\nprog=7\n"
                                "[Me]\nLeft=inf\nTop=1234.5\n"
                                "[Font]\nSize=0\n");
    EXPECT_EQ(s.captureWidth[0], 400);
    EXPECT_EQ(s.captureWidth[1], 400);
    EXPECT_EQ(s.captureWidth[2], 400);
    EXPECT_EQ(s.captureWidth[3], 400);
    EXPECT_EQ(s.clockLeft[0], 220); // beyond a 16-bit value
    EXPECT_EQ(s.clockLeft[1], 12);  // halves go to the even number
    EXPECT_EQ(s.clockLeft[2], 14);
    EXPECT_FALSE(s.smOn[0]);
    EXPECT_TRUE(s.smOn[1]);
    EXPECT_FALSE(s.smOn[2]);
    EXPECT_TRUE(s.smOn[3]);
    EXPECT_EQ(s.textColour, 0xFFFFFFFFu);
    EXPECT_EQ(s.textBkgColour, 16711680u);
    EXPECT_EQ(s.program, 0);
    EXPECT_EQ(s.meLeft, 6000);
    EXPECT_EQ(s.meTop, 1234.5);
    EXPECT_EQ(s.textFont.size, 16);
}

TEST(SettingsStore, SaveWritesEveryKeyInItsTextFormAndReadsBackTheSame) {
    Settings s;
    s.scrollTexts = {QStringLiteral("first"), QStringLiteral("  second, with comma "),
                     QStringLiteral("\"quoted\""), QStringLiteral("line\nbreak"), QStringLiteral("fifth=5")};
    s.captureLeft[3] = 1200;
    s.smOn[1] = true;
    s.clockColour = 0x123456;
    s.meLeft = 1500.5;
    s.ftpPassword = QStringLiteral("p=a ss;#");
    s.program = 3;
    IniFile store;
    saveSettings(s, store, true);
    const QString text = QString::fromUtf8(store.serialise());

    for (const SettingEntry& e : settingsTable()) {
        if (e.perIndex()) {
            for (int i = 0; i < kProgramCount; ++i) {
                EXPECT_TRUE(store.value(e.section, QString::number(i))) << e.section.toStdString() << i;
            }
        } else {
            EXPECT_TRUE(store.value(e.section, e.key)) << e.section.toStdString() << e.key.toStdString();
        }
    }
    EXPECT_TRUE(text.contains(QStringLiteral("[capturewidth]\n0=400\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("[lblaux1left]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("[smon]\n0=False\n1=True\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("[clock]\ncolor=1193046\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("left=1500.5\n")));

    const Settings back = loadSettings(IniFile::parse(store.serialise()), kScreen);
    EXPECT_EQ(back, s);
    EXPECT_EQ(back.scrollTexts, s.scrollTexts);
}

TEST(SettingsStore, AMinimisedWindowKeepsThePreviouslyStoredPosition) {
    IniFile store = IniFile::parse("[Me]\nLeft=300\nTop=450\n");
    Settings s;
    s.meLeft = -32000; // what a minimised window reports
    saveSettings(s, store, false);
    EXPECT_EQ(store.value(QStringLiteral("Me"), QStringLiteral("Left")), QStringLiteral("300"));
    saveSettings(s, store, true);
    EXPECT_EQ(store.value(QStringLiteral("Me"), QStringLiteral("Left")), QStringLiteral("-32000"));
}

class SettingsFileTest : public ::testing::Test {
protected:
    QString dir = test::TestEnvironment::makeTempDir(QStringLiteral("settings"));
    QString path = dir + QStringLiteral("/Oculet/Oculet.ini");
};

TEST_F(SettingsFileTest, WrittenFileIsReadableByItsOwnerOnly) {
    IniFile store;
    saveSettings(Settings{}, store, true);
    QString error;
    ASSERT_TRUE(store.write(path, &error)) << error.toStdString();
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(loadSettings(IniFile::read(path), kScreen), Settings{});
}

TEST_F(SettingsFileTest, AFailedWriteLeavesThePreviousFileWhole) {
    Settings before;
    before.ftpAddress = QStringLiteral("ftp.example.org");
    IniFile store;
    saveSettings(before, store, true);
    ASSERT_TRUE(store.write(path));
    const QByteArray original = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    // A disk that fills up half-way through the write: the file size limit makes the write fail
    // part way, exactly as a full disk does.
    Settings after = before;
    after.scrollTexts[0] = QString(4096, u'x');
    IniFile changed;
    saveSettings(after, changed, true);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = changed.write(path, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), original);
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{QStringLiteral("Oculet.ini")});
}

TEST_F(SettingsFileTest, AFolderThatCannotBeWrittenFailsWithoutHarm) {
    IniFile store;
    saveSettings(Settings{}, store, true);
    // A plain file where the settings folder should be: nothing can be created below it.
    QFile blocker(dir + QStringLiteral("/blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("not a folder");
    blocker.close();
    QString error;
    EXPECT_FALSE(store.write(dir + QStringLiteral("/blocked/Oculet.ini"), &error));
    EXPECT_FALSE(error.isEmpty());
    QFile again(dir + QStringLiteral("/blocked"));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), QByteArray("not a folder"));
}

TEST(SettingValues, NumbersBooleansAndColoursAreReadLeniently) {
    EXPECT_EQ(parseInteger(QStringLiteral(" 42 "), -10, 100), 42);
    EXPECT_EQ(parseInteger(QStringLiteral("-10"), -10, 100), -10);
    EXPECT_EQ(parseInteger(QStringLiteral("-11"), -10, 100), std::nullopt);
    EXPECT_EQ(parseInteger(QStringLiteral("2.5"), -10, 100), 2);
    EXPECT_EQ(parseInteger(QStringLiteral("3.5"), -10, 100), 4);
    EXPECT_EQ(parseInteger(QStringLiteral("1,5"), -10, 100), std::nullopt);
    EXPECT_EQ(parseBoolean(QStringLiteral("FALSE")), false);
    EXPECT_EQ(parseBoolean(QStringLiteral("7")), true);
    EXPECT_EQ(parseBoolean(QStringLiteral("yes")), std::nullopt);
    EXPECT_EQ(parseColour(QStringLiteral("4294967295")), 0xFFFFFFFFu);
    EXPECT_EQ(parseColour(QStringLiteral("4294967296")), std::nullopt);
    EXPECT_EQ(parseColour(QStringLiteral("1.5")), std::nullopt);
}

} // namespace
} // namespace oculet
