#pragma once

// Runs the real Oculet binary as a child of the test, on the test program's own display and in
// its private HOME/XDG folders, and drives it the way a user would: wait for the main window,
// answer a message box with a key, stop it with a signal.

#include "tests/support/X11Probe.h"

#include <QMap>
#include <QProcess>
#include <optional>

namespace oculet::test {

class OculetProcess {
public:
    explicit OculetProcess(QString program = QStringLiteral(OCULET_BINARY));
    // Never leaves the process behind: SIGTERM, then SIGKILL if it does not go.
    ~OculetProcess();
    OculetProcess(const OculetProcess&) = delete;
    OculetProcess& operator=(const OculetProcess&) = delete;

    // Starts the program with the test environment plus `extraEnv`. True once it is running.
    bool start(const QMap<QString, QString>& extraEnv = {}, const QStringList& args = {});
    qint64 pid() const { return pid_; }

    // Each wait gives up early when the process has ended. The main window is the process's
    // window of the main window's fixed size; a message box is any other window of it.
    std::optional<ShownWindow> waitForMainWindow(int timeout_ms = 5000);
    std::optional<ShownWindow> waitForMessageBox(int timeout_ms = 5000);
    // Presses `key` on the message box; true once the box has gone.
    bool answer(const QString& key, int timeout_ms = 5000);

    // SIGTERM, then waits for the exit; a process still there after `timeout_ms` is killed and
    // the running test fails. The exit code, or minus the signal number for a death by signal.
    int terminate(int timeout_ms = 5000);
    // The same, without sending anything; empty on timeout.
    std::optional<int> waitForExit(int timeout_ms = 5000);

private:
    std::optional<ShownWindow> waitForWindow(bool main, int timeout_ms);

    QString program_;
    QProcess process_;
    qint64 pid_ = 0;
};

} // namespace oculet::test
