// The settings file and the files other programs read: what survives a load and save, what is
// refused, links, leftovers of a killed writer, and the private runtime folder.
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/FolderWatch.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace oculet {
namespace {

using test::TestEnvironment;
using test::writeFile;

TEST(SettingsFile, KeepsTheBytesOfUnchangedValuesAndReadsLatin1AsText) {
    IniFile ini = IniFile::parse("[Ftp]\nPassword=caf\xe9\nUsername=ren\xc3\xa9\n");
    EXPECT_EQ(ini.value("ftp", "password"), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(ini.value("FTP", "USERNAME"), QString::fromUtf8("ren\xc3\xa9"));
    ini.setValue("Ftp", "Password", QString::fromUtf8("caf\xc3\xa9")); // as a load and save does
    ini.setValue("Ftp", "Username", QStringLiteral("new"));
    EXPECT_EQ(ini.serialise(), QByteArray("[ftp]\npassword=caf\xe9\nusername=new\n"));
    // A later entry of the same key wins, and quoting survives the round trip.
    ini = IniFile::parse("[a]\nk=1\nK=2\n[b]\nv=\"  x \\\"q\\\"\\n\"\n");
    EXPECT_EQ(ini.value("a", "k"), QStringLiteral("2"));
    EXPECT_EQ(IniFile::parse(ini.serialise()).value("b", "v"), QStringLiteral("  x \"q\"\n"));
}

TEST(SettingsFile, AFileThatCannotBeReadWholeIsRefusedAndAMissingOneIsEmpty) {
    const QString dir = TestEnvironment::makeTempDir("ini");
    QString error;
    EXPECT_TRUE(IniFile::read(dir + "/missing.ini", &error).has_value());

    ASSERT_TRUE(writeFile(dir + "/huge.ini", "[a]\n" + QByteArray(IniFile::kMaxFileSize, ';')));
    QDir().mkpath(dir + "/folder.ini");
    ASSERT_TRUE(writeFile(dir + "/locked.ini", "[a]\nk=1\n"));
    ::chmod(QFile::encodeName(dir + "/locked.ini").constData(), 0);
    std::vector<QString> refused = {dir + "/huge.ini", dir + "/folder.ini"};
    if (::geteuid() != 0) { // the superuser reads a file of mode 0000 all the same
        refused.push_back(dir + "/locked.ini");
    }
    for (const QString& path : refused) {
        error.clear();
        EXPECT_FALSE(IniFile::read(path, &error).has_value()) << path.toStdString();
        EXPECT_FALSE(error.isEmpty()) << path.toStdString();
    }
}

TEST(AtomicFile, WritesThroughALinkAndClearsOnlyItsOwnLeftovers) {
    const QString dir = TestEnvironment::makeTempDir("atomic");
    QDir().mkpath(dir + "/real");
    ASSERT_TRUE(QFile::link(dir + "/real/Oculet.ini", dir + "/Oculet.ini"));
    ASSERT_EQ(replaceFile(dir + "/Oculet.ini", "[a]\n", {.mode = 0600}), 0);
    EXPECT_TRUE(QFileInfo(dir + "/Oculet.ini").isSymLink());
    EXPECT_EQ(test::readFile(dir + "/real/Oculet.ini"), QByteArray("[a]\n"));

    for (const char* name : {".Oculet.ini.Ab12Cd", ".Oculet.ini.short", ".Oculet.ini.toolong1", ".other.ini.Ab12Cd"}) {
        ASSERT_TRUE(writeFile(dir + "/real/" + name, "password=secret\n"));
    }
    removeStaleTemporaries(dir + "/Oculet.ini");
    EXPECT_EQ(QDir(dir + "/real").entryList(QDir::Files | QDir::Hidden),
              QStringList({".Oculet.ini.short", ".Oculet.ini.toolong1", ".other.ini.Ab12Cd", "Oculet.ini"}));
}

// Frames go into a spare file that then swaps places with the frame; a reader must notice no
// difference from a rename, even one that keeps a frame open for longer than two frames.
TEST(AtomicFile, AFrequentFileNeverChangesAFrameAReaderHoldsAndLeavesOnlyItself) {
    const QString dir = TestEnvironment::makeTempDir("frames");
    const QString path = dir + "/Cam_1.bmp";
    const auto hidden = [&] { return QDir(dir).entryList(QDir::Files | QDir::Hidden); };
    ASSERT_TRUE(writeFile(dir + "/.Cam_1.bmp.Ab12Cd", "the spare of a writer that was killed"));
    {
        FrequentFile frames(path);
        EXPECT_TRUE(hidden().isEmpty());
        ASSERT_EQ(frames.replace("first"), 0) << "nothing there yet";
        QFile reader(path);
        ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
        for (const char* next : {"second frame", "third", "fourth, longer than the others"}) {
            ASSERT_EQ(frames.replace(next), 0);
            EXPECT_EQ(test::readFile(path), QByteArray(next));
        }
        EXPECT_EQ(reader.readAll(), QByteArray("first")) << "an open reader keeps the whole old frame";
        reader.close();
        ASSERT_EQ(frames.replace("fifth"), 0);
        const QStringList afterFifth = hidden();
        EXPECT_EQ(afterFifth.size(), 2) << "the frame and one spare";
        ASSERT_EQ(frames.replace("sixth"), 0);
        ASSERT_EQ(frames.replace("seventh"), 0);
        EXPECT_EQ(test::readFile(path), QByteArray("seventh")) << "a spare of a longer frame is cut to size";
        EXPECT_EQ(hidden(), afterFifth) << "once nobody reads it, the spare is written again, not made anew";
    }
    EXPECT_EQ(hidden(), QStringList({"Cam_1.bmp"})) << "the spare goes with the writer";

    // A folder where the frame should be is neither swapped away nor replaced.
    QDir().mkpath(dir + "/temp.jpg");
    FrequentFile blocked(dir + "/temp.jpg");
    EXPECT_NE(blocked.replace("jpeg"), 0);
    EXPECT_TRUE(QFileInfo(dir + "/temp.jpg").isDir());
}

// The received pictures' folder is searched only when something in it changed; every kind of
// change a picture program makes must count, and a quiet folder must not.
TEST(FolderWatch, AnyChangeInTheFolderCountsAndAQuietFolderIsLookedAtOnlyNowAndThen) {
    const QString dir = TestEnvironment::makeTempDir("received");
    FolderWatch watch;
    EXPECT_TRUE(watch.changed(dir)) << "the first look";
    EXPECT_FALSE(watch.changed(dir));
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"a new picture", [&] { writeFile(dir + "/rx1.jpg", "jpeg"); }},
        {"a picture written in place", [&] {
             QFile file(dir + "/rx1.jpg");
             ASSERT_TRUE(file.open(QIODevice::Append));
             file.write("more");
         }},
        {"a picture touched", [&] { ::utimes(QFile::encodeName(dir + "/rx1.jpg").constData(), nullptr); }},
        {"a picture renamed", [&] { QFile::rename(dir + "/rx1.jpg", dir + "/rx2.jpg"); }},
        {"a picture deleted", [&] { QFile::remove(dir + "/rx2.jpg"); }},
        {"the folder made anew", [&] {
             QDir(dir).removeRecursively();
             QDir().mkpath(dir);
         }},
    };
    for (const auto& [what, change] : changes) {
        change();
        EXPECT_TRUE(watch.changed(dir)) << what;
        EXPECT_FALSE(watch.changed(dir)) << what << ": then quiet again";
    }
    int quiet = 1; // the one just above
    while (!watch.changed(dir) && quiet < 2 * FolderWatch::kLooksBetweenRescans) {
        ++quiet;
    }
    EXPECT_EQ(quiet, FolderWatch::kLooksBetweenRescans - 1) << "a quiet folder is still searched now and then";
    EXPECT_TRUE(watch.changed(dir + "/other")) << "another folder";
    EXPECT_TRUE(watch.changed(dir + "/missing")) << "a folder that cannot be watched";
    EXPECT_TRUE(watch.changed(dir + "/missing"));
}

TEST(Paths, TheRuntimeFolderIsNeverOneAnotherUserCanHoldOrRead) {
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray savedTmp = qgetenv("TMPDIR");
    const QString tmp = TestEnvironment::makeTempDir("tmp");
    qputenv("XDG_RUNTIME_DIR", "relative/runtime"); // ignored, as XDG says of relative paths
    qputenv("TMPDIR", QFile::encodeName(tmp));
    const QString shared = tmp + QStringLiteral("/oculet-%1").arg(::getuid());

    EXPECT_EQ(Paths::runtimeFolder(), shared) << "made private when missing";
    struct Case {
        const char* name;
        std::function<void()> plant;
    };
    const Case cases[] = {
        {"a folder others may write", [&] { ::chmod(QFile::encodeName(shared).constData(), 0777); }},
        {"a link to another folder",
         [&] {
             QDir(shared).removeRecursively();
             QDir().mkpath(tmp + "/elsewhere");
             ::chmod(QFile::encodeName(tmp + "/elsewhere").constData(), 0700);
             QFile::link(tmp + "/elsewhere", shared);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.plant();
        const QString chosen = Paths::runtimeFolder();
        EXPECT_NE(chosen, shared);
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(chosen).constData(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 077, 0u);
    }
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
    qputenv("TMPDIR", savedTmp);
}

TEST(LocalTime, TheOffsetIsAskedAgainEachMinuteAndFollowsADaylightSavingChange) {
    // Central European time, written out so that no time-zone files are needed.
    const QByteArray savedZone = qgetenv("TZ");
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    ::tzset();
    // Summer time began on 29 March 2026 at 01:00 UTC.
    const qint64 change = QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC).toMSecsSinceEpoch();
    LocalTimeOffset offset;
    EXPECT_EQ(offset.secondsAt(change - 60'000), 3600);
    EXPECT_EQ(offset.secondsAt(change - 1), 3600);
    EXPECT_EQ(offset.secondsAt(change), 7200);
    EXPECT_EQ(offset.secondsAt(change + 59'999), 7200);

    const SystemClock clock;
    const QDateTime before = QDateTime::currentDateTime();
    const QDateTime local = clock.localNow();
    EXPECT_EQ(local.offsetFromUtc(), before.offsetFromUtc());
    // The same moment, with the same offset: the same wall-clock time.
    EXPECT_LE(std::abs(before.msecsTo(local)), 1000);
    if (savedZone.isNull()) {
        qunsetenv("TZ");
    } else {
        qputenv("TZ", savedZone);
    }
    ::tzset();
}

} // namespace
} // namespace oculet
