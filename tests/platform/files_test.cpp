// The settings file and the files other programs read: what survives a load and save, what is
// refused, links, leftovers of a killed writer, and the private runtime folder.
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/FolderWatch.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/RegularFile.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>

#include <fcntl.h>
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

TEST(SettingsFile, CommentsAndLinesNotUnderstoodStayWhereTheyStood) {
    // A blank line ends what belongs to the section above; what follows it belongs to the next.
    IniFile ini = IniFile::parse("; written by hand\n[FTP]\n# the server\nhost=a\nno equals sign\n\n"
                                 "; about the clock\n[Clock]\nshown=1\n; the end\n");
    ini.setValue("ftp", "host", "b");
    ini.setValue("ftp", "port", "21");
    ini.setValue("new", "k", "v");
    EXPECT_EQ(ini.serialise(), QByteArray("; written by hand\n[ftp]\n# the server\nhost=b\nport=21\nno equals sign\n"
                                          "\n; about the clock\n[clock]\nshown=1\n\n[new]\nk=v\n; the end\n"));
}

TEST(SettingsFile, Utf16IsReadAndKeptAndTextWithoutAnySectionIsRefused) {
    const QString dir = TestEnvironment::makeTempDir("ini16");
    const QString text = QString::fromUtf8("; mine\r\n[ftp]\r\npassword=s\xc3\xa9" "cret\r\n");
    QByteArray utf16 = "\xff\xfe";
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    ASSERT_TRUE(writeFile(dir + "/utf16.ini", utf16));
    std::optional<IniFile> ini = IniFile::read(dir + "/utf16.ini");
    ASSERT_TRUE(ini.has_value());
    EXPECT_EQ(ini->value("ftp", "password"), QString::fromUtf8("s\xc3\xa9" "cret"));
    ini->setValue("ftp", "user", "me");
    const QString written = QString::fromUtf8("; mine\r\n[ftp]\r\npassword=s\xc3\xa9" "cret\r\nuser=me\r\n");
    EXPECT_EQ(ini->serialise(), QByteArray("\xff\xfe") + QByteArray(reinterpret_cast<const char*>(written.utf16()),
                                                                      written.size() * 2));
    EXPECT_EQ(IniFile::fromBytes("\xef\xbb\xbf[a]\nk=1\n")->value("a", "k"), QStringLiteral("1"));
    EXPECT_EQ(IniFile::fromBytes("[a]\r\nk=1\r\nj=2\n")->value("a", "k"), QStringLiteral("1")) << "CR LF among LF";

    ASSERT_TRUE(writeFile(dir + "/sectionless.ini", "host=example.org\npassword=secret\n"));
    ASSERT_TRUE(writeFile(dir + "/utf16-without-mark.ini", utf16.mid(2)));
    for (const char* name : {"/sectionless.ini", "/utf16-without-mark.ini"}) {
        QString error;
        EXPECT_FALSE(IniFile::read(dir + name, &error).has_value()) << name;
        EXPECT_FALSE(error.isEmpty()) << name;
    }
    std::optional<IniFile> commentOnly = IniFile::fromBytes("; nothing but a comment\n\n");
    ASSERT_TRUE(commentOnly.has_value());
    commentOnly->setValue("a", "k", "1"); // the comment stays on top, not inside the section
    EXPECT_EQ(commentOnly->serialise(), QByteArray("; nothing but a comment\n[a]\nk=1\n"));
}

// Files a user or another program may have put in Oculet's way are read only when they are
// plain files: a FIFO would stop the program in open() until someone wrote to it.
TEST(RegularFile, OnlyAPlainFileIsReadAndAnythingElseIsRefusedAtOnce) {
    const QString dir = TestEnvironment::makeTempDir("regular");
    ASSERT_TRUE(writeFile(dir + "/plain", "12345"));
    ASSERT_TRUE(QFile::link(dir + "/plain", dir + "/link"));
    QDir().mkpath(dir + "/folder");
    test::UnwrittenFifo fifo(dir + "/fifo");
    ASSERT_TRUE(fifo.made());
    using O = FileRead::Outcome;
    const std::tuple<QString, qint64, O> rows[] = {
        {dir + "/plain", 5, O::Read},       {dir + "/link", 5, O::Read},     {dir + "/plain", 4, O::TooLarge},
        {dir + "/missing", 5, O::Missing},  {dir + "/folder", 5, O::NotAFile}, {dir + "/fifo", 5, O::NotAFile},
        {"/dev/zero", 5, O::NotAFile},
    };
    for (const auto& [path, limit, outcome] : rows) {
        const auto started = std::chrono::steady_clock::now();
        const FileRead read = readRegularFile(path, limit);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << path.toStdString();
        EXPECT_EQ(read.outcome, outcome) << path.toStdString();
        EXPECT_EQ(read.bytes, outcome == O::Read ? QByteArray("12345") : QByteArray()) << path.toStdString();
        EXPECT_EQ(read.reason().isEmpty(), outcome == O::Read) << path.toStdString();
    }
}

// In a folder everyone may write (as a shared program folder can be), a link another user left
// under one of Oculet's names must not make Oculet write where that user chose.
TEST(AtomicFile, OnlyTrustedLinksAreFollowedAndOnlyPlainFilesReplaced) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "making a link owned by another user needs the superuser";
    }
    const QString dir = TestEnvironment::makeTempDir("shared");
    const QString shared = dir + "/program";
    QDir().mkpath(shared);
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    ASSERT_TRUE(writeFile(dir + "/mine", "the user's own file"));
    test::UnwrittenFifo fifo(dir + "/fifo", 0);
    const auto plant = [&](const QString& name, const QString& target, uid_t owner) {
        ASSERT_TRUE(QFile::link(target, shared + u'/' + name));
        ASSERT_EQ(::lchown(QFile::encodeName(shared + u'/' + name).constData(), owner, owner), 0);
    };
    plant("Cam_1.bmp", dir + "/mine", 65534);
    plant("temp.jpg", dir + "/chosen", 65534);
    plant("Oculet_English.Language", dir + "/fifo", ::geteuid());
    plant("own.bmp", dir + "/own", ::geteuid());

    FrequentFile frames(shared + "/Cam_1.bmp");
    EXPECT_NE(frames.replace("BM"), 0);
    EXPECT_NE(replaceFile(shared + "/Cam_1.bmp", "BM"), 0);
    EXPECT_EQ(test::readFile(dir + "/mine"), QByteArray("the user's own file"));
    EXPECT_NE(replaceFile(shared + "/temp.jpg", "jpeg"), 0);
    EXPECT_FALSE(QFileInfo::exists(dir + "/chosen")) << "a dangling link made a file where its planter chose";
    EXPECT_NE(replaceFile(shared + "/Oculet_English.Language", "Oculet"), 0);
    FrequentFile toFifo(shared + "/Oculet_English.Language");
    EXPECT_NE(toFifo.replace("Oculet"), 0);
    struct stat st {};
    EXPECT_TRUE(::stat(QFile::encodeName(dir + "/fifo").constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    for (const QString& name : {QStringLiteral("Cam_1.bmp"), QStringLiteral("temp.jpg")}) {
        EXPECT_TRUE(QFileInfo(shared + u'/' + name).isSymLink()) << name.toStdString();
    }
    // A hard link to the user's file becomes the spare after one swap; it is never written into.
    ASSERT_EQ(::link(QFile::encodeName(dir + "/mine").constData(), QFile::encodeName(shared + "/hard.bmp").constData()), 0);
    FrequentFile hard(shared + "/hard.bmp");
    for (const char* frame : {"BM1", "BM2", "BM3"}) {
        EXPECT_EQ(hard.replace(frame), 0);
    }
    EXPECT_EQ(test::readFile(dir + "/mine"), QByteArray("the user's own file"));
    EXPECT_EQ(replaceFile(shared + "/own.bmp", "BM"), 0) << "the user's own link is followed";
    EXPECT_EQ(test::readFile(dir + "/own"), QByteArray("BM"));
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

TEST(Paths, AWindowsDrivePathIsTheFolderInTheWinePrefixOrElseTheDataFolderAndAnyOtherStaysAsStored) {
    const QString prefix = TestEnvironment::makeTempDir("wine");
    QDir().mkpath(prefix + "/drive_c/EasyPal/rx");
    const QString data = QStringLiteral("/data/Oculet");
    const std::pair<QString, QString> cases[] = {
        {"c:\\EasyPal", prefix + "/drive_c/EasyPal/"},
        {"C:\\EasyPal\\rx\\", prefix + "/drive_c/EasyPal/rx/"},
        {"c:/EasyPal", prefix + "/drive_c/EasyPal/"},
        {"c:\\MMSSTV\\History", data + "/"}, // not in the prefix
        {"d:\\EasyPal", data + "/"},
        {"/home/op/rx/", "/home/op/rx/"}, // the user's own choice
        {"rx", "rx"},
        {"", ""},
    };
    for (const auto& [stored, expected] : cases) {
        EXPECT_EQ(Paths::hostFolder(stored, prefix, data), expected) << stored.toStdString();
    }
    const QByteArray saved = qgetenv("WINEPREFIX");
    qputenv("WINEPREFIX", QFile::encodeName(prefix));
    EXPECT_EQ(Paths::hostFolder("c:\\EasyPal"), prefix + "/drive_c/EasyPal/");
    qputenv("WINEPREFIX", saved);
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
