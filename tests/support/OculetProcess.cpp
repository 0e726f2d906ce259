#include "tests/support/OculetProcess.h"

#include <QProcessEnvironment>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <utility>

namespace oculet::test {

OculetProcess::OculetProcess(QString program) : program_(std::move(program)) {
    // Should the test program itself die, the kernel takes the child with it; nothing may
    // outlive the run and hold the test display or the single-instance lock.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

OculetProcess::~OculetProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(2000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
}

bool OculetProcess::start(const QMap<QString, QString>& extraEnv, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = extraEnv.cbegin(); it != extraEnv.cend(); ++it) {
        env.insert(it.key(), it.value());
    }
    process_.setProcessEnvironment(env);
    // Its messages go to the test's log, where a failure is read, and never fill a pipe.
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.start(program_, args);
    pid_ = process_.waitForStarted(5000) ? process_.processId() : 0;
    return pid_ != 0;
}

std::optional<ShownWindow> OculetProcess::waitForWindow(bool main, int timeout_ms) {
    std::optional<ShownWindow> found;
    pollUntil(timeout_ms, [&] {
        for (const ShownWindow& w : shownWindows(pid_)) {
            if ((w.geometry.size() == QSize(320, 262)) == main) {
                found = w;
            }
        }
        return found.has_value() || process_.state() != QProcess::Running;
    });
    return found;
}

std::optional<ShownWindow> OculetProcess::waitForMainWindow(int timeout_ms) { return waitForWindow(true, timeout_ms); }

std::optional<ShownWindow> OculetProcess::waitForMessageBox(int timeout_ms) { return waitForWindow(false, timeout_ms); }

bool OculetProcess::answer(const QString& key, int timeout_ms) {
    const auto box = waitForMessageBox(timeout_ms);
    // Focus, then the key through XTest: for the program indistinguishable from a real keyboard.
    const QString id = box ? QString::number(box->id) : QString();
    return box && xdotool({"windowraise", id, "windowfocus", "--sync", id, "key", key}) && pollUntil(timeout_ms, [&] {
               const QList<ShownWindow> shown = shownWindows(pid_);
               return std::none_of(shown.begin(), shown.end(), [&](const ShownWindow& w) { return w.id == box->id; });
           });
}

std::optional<int> OculetProcess::waitForExit(int timeout_ms) {
    if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(timeout_ms)) {
        return std::nullopt;
    }
    // For a death by signal QProcess reports the signal number as the exit code.
    return process_.exitStatus() == QProcess::CrashExit ? -process_.exitCode() : process_.exitCode();
}

int OculetProcess::terminate(int timeout_ms) {
    process_.terminate();
    if (const auto code = waitForExit(timeout_ms)) {
        return *code;
    }
    process_.kill();
    process_.waitForFinished(5000);
    ADD_FAILURE() << program_.toStdString() << " ignored SIGTERM for " << timeout_ms << " ms";
    return -SIGKILL;
}

} // namespace oculet::test
