#include "tests/support/TestEnvironment.h"

#include "tests/support/X11Probe.h"

#include <QDir>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace oculet::test {
namespace {

QString g_root;
pid_t g_openbox = -1;

void setEnv(const char* name, const QString& value) { ::setenv(name, value.toLocal8Bit().constData(), 1); }

} // namespace

UnwrittenFifo::UnwrittenFifo(const QString& path, int writerAfterMs) {
    const QByteArray name = QFile::encodeName(path);
    made_ = ::mkfifo(name.constData(), 0644) == 0;
    writer_ = std::thread([this, name, writerAfterMs] {
        const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(writerAfterMs);
        while (!stop_) {
            ::usleep(20000);
            // Opening to write without blocking succeeds only while a reader waits.
            const int fd = std::chrono::steady_clock::now() < due ? -1 : ::open(name.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                ::close(fd);
            }
        }
    });
}

UnwrittenFifo::~UnwrittenFifo() {
    stop_ = true;
    writer_.join();
}

pid_t startChild(const std::vector<std::string>& argv) {
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) { // the parent died before the line above
            ::_exit(127);
        }
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
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

bool TestEnvironment::createPrivateRoot() {
    char pattern[] = "/tmp/oculet-test-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return false;
    }
    g_root = QString::fromLocal8Bit(pattern);
    for (const QString& dir : {home(), g_root + QStringLiteral("/cache"), g_root + QStringLiteral("/tmp")}) {
        QDir().mkpath(dir);
    }
    resetUserFolders();
    setEnv("HOME", home());
    setEnv("XDG_CONFIG_HOME", configHome());
    setEnv("XDG_DATA_HOME", dataHome());
    setEnv("XDG_RUNTIME_DIR", runtimeDir());
    setEnv("XDG_CACHE_HOME", g_root + QStringLiteral("/cache"));
    ::unsetenv("WAYLAND_DISPLAY");
    // Nothing of the real user's SSH agent or certificate choices.
    ::unsetenv("SSH_AUTH_SOCK");
    ::unsetenv("SSL_CERT_FILE");
    ::setenv("LC_ALL", "C.UTF-8", 1);
    return true;
}

void TestEnvironment::removePrivateRoot() { QDir(g_root).removeRecursively(); }

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
    g_openbox = startChild({"openbox", "--sm-disable", "--startup", command});
    return g_openbox > 0 && pollUntil(5000, [&] { return QFile::exists(ready); });
}

void TestEnvironment::stopWindowManager() { stopChild(g_openbox); }

} // namespace oculet::test
