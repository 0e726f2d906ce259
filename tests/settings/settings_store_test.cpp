#include "settings/SettingValues.h"
#include "settings/SettingsTable.h"
#include "platform/IniFile.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace oculet {
namespace {

const VirtualScreen kScreen{0, 0, 1920, 1080};

// Loads the stored text and tells one value as the settings would save it again.
QString loadedValue(const QByteArray& ini, const char* section, const char* key, const VirtualScreen& screen = kScreen) {
    IniFile saved;
    saveSettings(loadSettings(IniFile::parse(ini), screen), saved, true);
    return saved.value(QString::fromLatin1(section), QString::fromLatin1(key)).value_or(QStringLiteral("(none)"));
}

TEST(SettingsStore, LoadGivesDefaultsCorrectsWhatItReadAndIgnoresValuesNotOfTheirType) {
    const VirtualScreen leftOfZero{-1280, 0, 3200, 1080};
    struct Case {
        const char* ini;
        const char* section;
        const char* key;
        const char* value;
        VirtualScreen screen = kScreen;
    };
    const Case cases[] = {
        {"", "CaptureLeft", "4", "400"}, {"", "Text", "Color", "65535"}, {"", "Ftp", "Filename", "cam_1.jpg"},
        // The load runs the corrections (Corrections.h) on what it read, for every program.
        {"[CaptureLeft]\n1=5000\n", "CaptureLeft", "1", "1520"},
        {"[lblAux1Top]\n3=235\n[lblAux1Height]\n3=50\n", "lblAux1Top", "3", "190"},
        {"[smLeft]\n2=-1\n", "smLeft", "2", "-1", leftOfZero},
        {"[smLeft]\n1=-1\n[Program]\nprog=1\n", "smLeft", "1", "0", leftOfZero},
        {"[Me]\nLeft=-15\n", "Me", "Left", "0"},
        // Names differing only in letter case are one entry.
        {"[lblaux1Left]\n2=123\n", "lblAux1Left", "2", "123"},
        {"[TxtTop]\n4=-5\n", "TxTTop", "4", "-5"},
        // Values that are not of their type keep the default; halves go to the even number.
        {"[CaptureWidth]\n2=1e3\n", "CaptureWidth", "2", "400"}, // plain decimals only
        {"[ClockLeft]\n0=99999\n", "ClockLeft", "0", "220"}, // beyond a 16-bit value
        {"[ClockLeft]\n1=12.5\n", "ClockLeft", "1", "12"},
        {"[ClockLeft]\n2=13.5\n", "ClockLeft", "2", "14"},
        {"[Default]\nLanguage=32767.4\n", "Default", "Language", "32767"},
        {"[Default]\nLanguage=32767.5\n", "Default", "Language", "0"}, // rounds to 32768
        {"[Default]\nLanguage=-32768.5\n", "Default", "Language", "-32768"},
        {"[Default]\nLanguage=-32768.6\n", "Default", "Language", "0"},
        {"[LastRx]\n0=FALSE\n", "LastRx", "0", "False"},
        {"[LastRx]\n0=yes\n", "LastRx", "0", "True"},
        {"[SMOn]\n1=-1\n", "SMOn", "1", "True"},
        {"[Text]\nColor=4294967296\n", "Text", "Color", "65535"},
        {"[Text]\nColor=-2147483648\n", "Text", "Color", "2147483648"},
        {"[Text]\nColor=-2147483649\n", "Text", "Color", "65535"},
        {"[Text]\nBkgColor=yellow\n", "Text", "BkgColor", "16711680"},
        {"[Text]\nBkgColor=1.5\n", "Text", "BkgColor", "16711680"},
        {"[Program]\nprog=7\n", "Program", "prog", "0"},
        {"[Program]\nprog=4\n", "Program", "prog", "4"},
        {"[Me]\nLeft=inf\n", "Me", "Left", "6000"},
        {"[Me]\nTop=1234.5\n", "Me", "Top", "1234.5"},
        {"[Font]\nSize=0\n", "Font", "Size", "16"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(loadedValue(c.ini, c.section, c.key, c.screen), QString::fromLatin1(c.value))
            << c.ini << " " << c.section << "/" << c.key;
    }
}

TEST(SettingsStore, SaveWritesEveryKeyInItsTextFormAndReadsBackTheSame) {
    Settings s;
    s.scrollTexts = {QStringLiteral("first"), QStringLiteral("  second, with comma "),
                     QStringLiteral("\"quoted\""), QStringLiteral("line\nbreak"), QStringLiteral("fifth=5")};
    s.captureLeft[3] = 1200;
    s.epDir[2] = QStringLiteral("/srv/pictures/");
    s.ckFile2 = 1;
    s.copiedRegions[SignalMeterBox][1].on = true;
    s.copiedRegions[Aux2Box][4].place.top = 120;
    s.clockColour = 0x123456;
    s.meLeft = 1500.5;
    s.meTop = 0x1p-17; // written in plain digits, as no exponent is read
    s.ftpPassword = QStringLiteral("p=a ss;#");
    s.program = 3;
    IniFile store;
    saveSettings(s, store, true);
    const QString text = QString::fromUtf8(store.serialise());
    // Every setting is written: 50 with a value per source program, 43 single ones.
    const QStringList lines = text.split(u'\n');
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const QString& l) { return l.contains(u'='); }), 50 * 5 + 43);
    for (const char* line : {"[capturewidth]\n0=400\n", "[smon]\n0=False\n1=True\n", "[clock]\ncolor=1193046\n",
                             "left=1500.5\n", "top=0.00000762939453125\n",
                             "[web]\non=False\nport=8421\nlan=False\npassword=\n"}) {
        EXPECT_TRUE(text.contains(QString::fromLatin1(line))) << line;
    }
    // The copied boxes under the names files have always had.
    for (const char* box : {"sm", "lblsm", "aux1", "lblaux1", "aux2", "lblaux2"}) {
        for (const char* edge : {"left", "top", "width", "height"}) {
            EXPECT_TRUE(text.contains(u'[' + QLatin1String(box) + QLatin1String(edge) + QLatin1String("]\n"))) << box << edge;
        }
    }
    EXPECT_TRUE(text.contains(QStringLiteral("[aux1on]\n")) && text.contains(QStringLiteral("[aux2on]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("[lblaux2top]\n0=100\n1=100\n2=100\n3=100\n4=120\n")));
    const Settings back = loadSettings(IniFile::parse(store.serialise()), kScreen);
    EXPECT_EQ(back, s);
    EXPECT_EQ(back.scrollTexts, s.scrollTexts);

    // A minimised window's position is not saved over the stored one, unless asked for.
    s.meLeft = -32000;
    saveSettings(s, store, false);
    EXPECT_EQ(store.value(QStringLiteral("Me"), QStringLiteral("Left")), QStringLiteral("1500.5"));
    saveSettings(s, store, true);
    EXPECT_EQ(store.value(QStringLiteral("Me"), QStringLiteral("Left")), QStringLiteral("-32000"));
}

TEST(SettingsStore, TheFileIsTheOwnersOnlyAndAFailedWriteLeavesThePreviousOneWhole) {
    const QString dir = test::TestEnvironment::makeTempDir(QStringLiteral("settings"));
    const QString path = dir + QStringLiteral("/Oculet/Oculet.ini");
    Settings before;
    before.ftpAddress = QStringLiteral("ftp.example.org");
    IniFile store;
    saveSettings(before, store, true);
    QString error;
    ASSERT_TRUE(store.write(path, &error)) << error.toStdString();
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(loadSettings(IniFile::read(path).value(), kScreen), before);

    // The file size limit makes the write fail part way, exactly as a full disk does.
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
    const bool written = changed.write(path, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_EQ(loadSettings(IniFile::read(path).value(), kScreen), before);
    EXPECT_EQ(QDir(dir + QStringLiteral("/Oculet")).entryList(QDir::Files), QStringList{QStringLiteral("Oculet.ini")});
}

} // namespace
} // namespace oculet
