// The desktop session can end by the X server going away under Oculet. The process is then ended
// from under its event loop; the settings of the run must still be saved, whole.
#include "settings/SettingsTable.h"
#include "platform/IniFile.h"
#include "tests/support/OculetProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace oculet::test {
namespace {

// An X server of the test's own that it can take away.
class DisposableXServer {
public:
    DisposableXServer() {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(fds[0]);
        if (!number.empty()) {
            display_ = QStringLiteral(":") + QString::fromStdString(number);
        }
    }
    ~DisposableXServer() { kill(); }
    const QString& display() const { return display_; }
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    QString display_;
};

TEST(SessionEnd, SettingsAreSavedWholeWhenTheXServerGoesAway) {
    TestEnvironment::resetUserFolders();
    QFile ini(TestEnvironment::settingsFile());
    QDir().mkpath(QFileInfo(ini).absolutePath());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[program]\nprog=4\n[ftp]\naddress=ftp.example.org\n[text]\n2=third line\n");
    ini.close();

    DisposableXServer server;
    ASSERT_FALSE(server.display().isEmpty());
    OculetProcess oculet;
    ASSERT_TRUE(oculet.start({}, {{QStringLiteral("DISPLAY"), server.display()}}));
    // Running: the screen-capture source writes a frame every cycle.
    const QString frame = TestEnvironment::dataFolder() + QStringLiteral("/Cam_1.bmp");
    ASSERT_TRUE(pollUntil(10000, [&] { return QFileInfo::exists(frame); })) << oculet.standardError().constData();

    server.kill();
    const std::optional<int> code = oculet.waitForExit(10000);
    ASSERT_TRUE(code.has_value());
    EXPECT_FALSE(oculet.crashed());

    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    for (const char byte : saved) {
        ASSERT_TRUE(byte == '\n' || (byte >= 0x20 && byte < 0x7f)) << "unexpected byte " << int(byte);
    }
    const IniFile store = IniFile::parse(saved);
    for (const SettingEntry& e : settingsTable()) {
        const QString key = e.perIndex() ? QStringLiteral("0") : e.key;
        EXPECT_TRUE(store.value(e.section, key).has_value()) << e.section.toStdString();
    }
    EXPECT_EQ(store.value(QStringLiteral("Program"), QStringLiteral("prog")), QStringLiteral("4"));
    EXPECT_EQ(store.value(QStringLiteral("Ftp"), QStringLiteral("Address")), QStringLiteral("ftp.example.org"));
    EXPECT_EQ(store.value(QStringLiteral("Text"), QStringLiteral("2")), QStringLiteral("third line"));
}

} // namespace
} // namespace oculet::test
