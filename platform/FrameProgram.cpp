#include "platform/FrameProgram.h"

#include <QProcess>
#include <QTimer>

namespace oculet {

ProcessFrameProgram::ProcessFrameProgram(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {}

qint64 ProcessFrameProgram::start(const QString& text, QString* error) {
    auto* process = new QProcess(this);
    process->setProgram(path_);
    process->setArguments({text});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    if (!process->waitForStarted(3000)) {
        *error = process->errorString();
        delete process;
        return 0;
    }
    // Ends with its window; a frame program still running when Oculet ends is ended with it.
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    connect(process, &QObject::destroyed, this, [this, process] {
        if (running_ == process) {
            running_ = nullptr;
        }
    });
    running_ = process;
    return process->processId();
}

void ProcessFrameProgram::stop() {
    if (running_ != nullptr) {
        // Asked first, so it can leave the display cleanly; one that does not go is killed.
        running_->terminate();
        QTimer::singleShot(1000, running_, &QProcess::kill);
        running_ = nullptr;
    }
}

} // namespace oculet
