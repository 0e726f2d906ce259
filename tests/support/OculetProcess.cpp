#include "tests/support/OculetProcess.h"

#include <QProcessEnvironment>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <utility>

namespace oculet::test {

OculetProcess::OculetProcess(QString program) : m_program(std::move(program)) {
    // Should the test program itself die (a crash, a fatal assertion in another thread), the
    // kernel takes the child with it; nothing may outlive the run and hold the test display.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

OculetProcess::~OculetProcess() {
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(2000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

void OculetProcess::setMainWindow(const QString& title, int width, int widthTolerance) {
    m_mainTitle = title;
    m_mainWidth = width;
    m_mainWidthTolerance = widthTolerance;
}

bool OculetProcess::start(const QStringList& args, const QMap<QString, QString>& extraEnv) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = extraEnv.cbegin(); it != extraEnv.cend(); ++it) {
        env.insert(it.key(), it.value());
    }
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_stdout.clear();
    m_stderr.clear();
    m_mainId = 0;
    m_process.start(m_program, args);
    const bool started = m_process.waitForStarted(5000);
    m_pid = started ? m_process.processId() : 0;
    return started;
}

bool OculetProcess::isRunning() const {
    return m_process.state() == QProcess::Running;
}

bool OculetProcess::isMainWindow(const ProbedWindow& w) const {
    return w.mapped && w.title == m_mainTitle &&
           std::abs(w.geometry.width() - m_mainWidth) <= m_mainWidthTolerance;
}

std::optional<ProbedWindow> OculetProcess::waitForMainWindow(int timeout_ms) {
    const qint64 processId = pid();
    if (processId == 0) {
        return std::nullopt; // never started: a pid of 0 would match every window
    }
    std::optional<ProbedWindow> found;
    pollUntil(timeout_ms, [&] {
        for (const ProbedWindow& w : m_probe.find(processId)) {
            if (isMainWindow(w)) {
                found = w;
                return true;
            }
        }
        return !isRunning();
    });
    if (found) {
        m_mainId = found->id;
    }
    return found;
}

std::optional<ProbedWindow> OculetProcess::waitForMessageBox(int timeout_ms) {
    const qint64 processId = pid();
    if (processId == 0) {
        return std::nullopt; // never started: a pid of 0 would match every window
    }
    std::optional<ProbedWindow> found;
    pollUntil(timeout_ms, [&] {
        std::optional<ProbedWindow> other;
        for (const ProbedWindow& w : m_probe.find(processId)) {
            if (!w.mapped || w.id == m_mainId) {
                continue;
            }
            if (w.transientFor != 0) {
                found = w;
                return true;
            }
            // Without a known main window, something shaped like it is taken for it.
            if (!other && (m_mainId != 0 || !isMainWindow(w))) {
                other = w;
            }
        }
        found = other;
        return found.has_value() || !isRunning();
    });
    return found;
}

bool OculetProcess::answer(Key key, int timeout_ms) {
    const auto box = waitForMessageBox(timeout_ms);
    if (!box) {
        return false;
    }
    return m_probe.sendKey(box->id, key) && m_probe.waitUntilGone(box->id, timeout_ms);
}

std::optional<int> OculetProcess::result() const {
    if (m_process.state() != QProcess::NotRunning) {
        return std::nullopt;
    }
    // For a death by signal QProcess reports the signal number as the exit code.
    return m_process.exitStatus() == QProcess::CrashExit ? -m_process.exitCode()
                                                         : m_process.exitCode();
}

bool OculetProcess::crashed() const {
    return m_process.state() == QProcess::NotRunning &&
           m_process.exitStatus() == QProcess::CrashExit;
}

int OculetProcess::terminate(int timeout_ms) {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(timeout_ms)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            drain();
            ADD_FAILURE() << m_program.toStdString() << " ignored SIGTERM for " << timeout_ms
                          << " ms and was killed; its error output:\n"
                          << m_stderr.toStdString();
        }
    }
    drain();
    return result().value_or(-SIGKILL);
}

std::optional<int> OculetProcess::waitForExit(int timeout_ms) {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.waitForFinished(timeout_ms);
    }
    drain();
    return result();
}

bool OculetProcess::waitForOutput(const QByteArray& text, int timeout_ms) {
    return pollUntil(timeout_ms,
                     [&] {
                         drain();
                         return m_stdout.contains(text) || !isRunning();
                     }) &&
           m_stdout.contains(text);
}

bool OculetProcess::writeLine(const QByteArray& line) {
    if (!isRunning()) {
        return false;
    }
    QByteArray data = line;
    data.append('\n');
    if (m_process.write(data) != data.size()) {
        return false;
    }
    return m_process.waitForBytesWritten(2000) || m_process.bytesToWrite() == 0;
}

QByteArray OculetProcess::standardOutput() {
    drain();
    return m_stdout;
}

QByteArray OculetProcess::standardError() {
    drain();
    return m_stderr;
}

void OculetProcess::drain() {
    m_stdout += m_process.readAllStandardOutput();
    m_stderr += m_process.readAllStandardError();
}

} // namespace oculet::test
