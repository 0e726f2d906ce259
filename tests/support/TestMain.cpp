// Entry point of every test program: gives the run its own X display and user folders, then
// creates the QApplication and runs the GoogleTest cases.
#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace oculet::test {
namespace {

QString g_root;
pid_t g_xvfb = -1;
pid_t g_openbox = -1;

void setEnv(const char* name, const QString& value) {
    ::setenv(name, value.toLocal8Bit().constData(), 1);
}

void stopChild(pid_t& pid) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        ::usleep(20000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    pid = -1;
}

// Starts Xvfb on the first free display; -displayfd makes the server choose the number and
// report it once it accepts connections, so there is no race and no fixed display number.
bool startXvfb() {
    int fds[2];
    if (::pipe(fds) != 0) {
        return false;
    }
    g_xvfb = ::fork();
    if (g_xvfb == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24",
                 "-nolisten", "tcp", "-noreset", "+extension", "MIT-SHM", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (g_xvfb < 0) {
        ::close(fds[0]);
        return false;
    }
    std::string number;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        return false;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

} // namespace

QString TestEnvironment::home() { return g_root + QStringLiteral("/home"); }
QString TestEnvironment::configHome() { return g_root + QStringLiteral("/config"); }
QString TestEnvironment::dataHome() { return g_root + QStringLiteral("/data"); }
QString TestEnvironment::runtimeDir() { return g_root + QStringLiteral("/runtime"); }
QString TestEnvironment::settingsFile() { return configHome() + QStringLiteral("/Oculet/Oculet.ini"); }
QString TestEnvironment::dataFolder() { return dataHome() + QStringLiteral("/Oculet"); }

QString TestEnvironment::makeTempDir(const QString& name) {
    static int counter = 0;
    const QString path = g_root + QStringLiteral("/tmp/%1-%2").arg(name).arg(++counter);
    QDir().mkpath(path);
    return path;
}

void TestEnvironment::resetUserFolders() {
    for (const QString& dir : {configHome(), dataHome(), runtimeDir()}) {
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
    }
    ::chmod(runtimeDir().toLocal8Bit().constData(), 0700);
}

bool TestEnvironment::startWindowManager() {
    if (g_openbox > 0) {
        return true;
    }
    // openbox runs its startup command once it manages windows; a window mapped while it is still
    // taking over the display can stay unmanaged.
    const QString ready = g_root + QStringLiteral("/openbox-ready");
    QFile::remove(ready);
    const std::string command = "touch " + ready.toStdString(); // the root has no blanks
    g_openbox = ::fork();
    if (g_openbox == 0) {
        ::execlp("openbox", "openbox", "--sm-disable", "--startup", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return g_openbox > 0 && pollUntil(5000, [&] { return QFile::exists(ready); });
}

void TestEnvironment::stopWindowManager() { stopChild(g_openbox); }

} // namespace oculet::test

int main(int argc, char** argv) {
    using oculet::test::TestEnvironment;
    ::testing::InitGoogleTest(&argc, argv);

    char pattern[] = "/tmp/oculet-test-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    oculet::test::g_root = QString::fromLocal8Bit(pattern);
    for (const QString& dir : {TestEnvironment::home(), oculet::test::g_root + QStringLiteral("/cache"),
                               oculet::test::g_root + QStringLiteral("/tmp")}) {
        QDir().mkpath(dir);
    }
    TestEnvironment::resetUserFolders();
    oculet::test::setEnv("HOME", TestEnvironment::home());
    oculet::test::setEnv("XDG_CONFIG_HOME", TestEnvironment::configHome());
    oculet::test::setEnv("XDG_DATA_HOME", TestEnvironment::dataHome());
    oculet::test::setEnv("XDG_RUNTIME_DIR", TestEnvironment::runtimeDir());
    oculet::test::setEnv("XDG_CACHE_HOME", oculet::test::g_root + QStringLiteral("/cache"));
    ::unsetenv("WAYLAND_DISPLAY");
    // Nothing of the real user's SSH agent or certificate choices.
    ::unsetenv("SSH_AUTH_SOCK");
    ::unsetenv("SSL_CERT_FILE");
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);

    if (!oculet::test::startXvfb()) {
        std::fprintf(stderr, "could not start Xvfb; install the xvfb package\n");
        return 2;
    }

    int result = 1;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    oculet::test::stopChild(oculet::test::g_openbox);
    oculet::test::stopChild(oculet::test::g_xvfb);
    QDir(oculet::test::g_root).removeRecursively();
    return result;
}
