#pragma once

// Runs the real Oculet binary (or any other program) as a child of the test, on the test
// program's own display and in its private HOME/XDG folders, and drives its windows the way a
// user would: wait for the main window, answer a message box with a key, stop it with SIGTERM.

#include "tests/support/X11Probe.h"

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

namespace oculet::test {

class OculetProcess {
  public:
    explicit OculetProcess(QString program = QStringLiteral(OCULET_BINARY));
    // Never leaves the process behind: SIGTERM, then SIGKILL if it does not go.
    ~OculetProcess();
    OculetProcess(const OculetProcess&) = delete;
    OculetProcess& operator=(const OculetProcess&) = delete;

    // The main window is the mapped top-level window of this process with this title and a
    // client area about this wide (the size the window manager may round).
    void setMainWindow(const QString& title, int width, int widthTolerance = 16);

    // Starts the program with the test environment plus `extraEnv`. True once it is running.
    bool start(const QStringList& args = {}, const QMap<QString, QString>& extraEnv = {});

    // Stays known after the process has ended, so its windows can still be looked for.
    qint64 pid() const { return m_pid; }
    bool isRunning() const;
    const QString& program() const { return m_program; }

    // Each wait gives up early when the process has ended.
    std::optional<ProbedWindow> waitForMainWindow(int timeout_ms = 5000);
    // Another top-level window of the process: transient for the main window, or simply not
    // the main window. Works before the main window exists (a box shown at start-up).
    std::optional<ProbedWindow> waitForMessageBox(int timeout_ms = 5000);
    // Presses `key` on the message box; true once the box has gone.
    bool answer(Key key, int timeout_ms = 5000);

    // SIGTERM, then waits for the exit. Returns the exit code, or minus the signal number when
    // the process died of a signal. A process still there after `timeout_ms` is killed and the
    // running test fails.
    int terminate(int timeout_ms = 5000);
    // The exit code (minus the signal number for a death by signal); empty on timeout.
    std::optional<int> waitForExit(int timeout_ms = 5000);
    bool crashed() const;

    // Waits until `text` has appeared on the process's standard output.
    bool waitForOutput(const QByteArray& text, int timeout_ms = 5000);
    bool writeLine(const QByteArray& line);
    QByteArray standardOutput();
    QByteArray standardError();

    X11Probe& probe() { return m_probe; }

  private:
    void drain();
    std::optional<int> result() const;
    bool isMainWindow(const ProbedWindow& w) const;

    QString m_program;
    QProcess m_process;
    X11Probe m_probe;
    QString m_mainTitle = QStringLiteral("Oculet");
    int m_mainWidth = 320;
    int m_mainWidthTolerance = 16;
    WindowId m_mainId = 0;
    qint64 m_pid = 0;
    QByteArray m_stdout;
    QByteArray m_stderr;
};

} // namespace oculet::test
