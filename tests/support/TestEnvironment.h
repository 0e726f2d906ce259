#pragma once

#include <QFile>
#include <QString>
#include <string>
#include <vector>

#include <atomic>
#include <thread>

#include <sys/types.h>

namespace oculet::test {

// What the test program's private environment looks like. Set up once by the test main before
// QApplication exists: an own Xvfb display and own HOME, XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_RUNTIME_DIR and XDG_CACHE_HOME below a fresh temporary root, so no test ever touches the
// real user's settings, data or screen.
struct TestEnvironment {
    // Makes the fresh temporary root and points HOME, the XDG folders and the rest of the
    // environment at it; false when it cannot be made.
    static bool createPrivateRoot();
    static void removePrivateRoot();

    static QString home();
    static QString configHome();   // $XDG_CONFIG_HOME
    static QString dataHome();     // $XDG_DATA_HOME
    static QString runtimeDir();   // $XDG_RUNTIME_DIR
    static QString settingsFile(); // $XDG_CONFIG_HOME/Oculet/Oculet.ini
    static QString dataFolder();   // $XDG_DATA_HOME/Oculet

    // A fresh, empty folder below the root for one test's files.
    static QString makeTempDir(const QString& name);

    // Empties the config, data and runtime folders, so a test starts from a fresh user.
    static void resetUserFolders();

    // Starts openbox on the test display (for tests where a window manager matters) and
    // waits until it has taken over. Idempotent; stopped when the test program ends.
    static bool startWindowManager();
    static void stopWindowManager();
};

// A FIFO nobody writes: whoever opens it to read waits for a writer. One comes by after
// `writerAfterMs`, so a reader that does wait ends up with an empty file instead of hanging the
// test; a test measures how long the reader took.
class UnwrittenFifo {
public:
    explicit UnwrittenFifo(const QString& path, int writerAfterMs = 3000);
    ~UnwrittenFifo();
    UnwrittenFifo(const UnwrittenFifo&) = delete;
    UnwrittenFifo& operator=(const UnwrittenFifo&) = delete;
    bool made() const { return made_; }

private:
    bool made_ = false;
    std::atomic<bool> stop_{false};
    std::thread writer_;
};

// Forks and runs `argv` (argv[0] found on PATH). The child ends with this test program even when
// it aborts (a sanitizer report, a crash), so no server outlives it holding CTest's output pipe.
pid_t startChild(const std::vector<std::string>& argv);
// Stops a child process, politely first.
void stopChild(pid_t& pid);

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the file whole; false when it could not.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace oculet::test
