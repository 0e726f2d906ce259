#pragma once

// The frame program (tools/): the window on the desktop with which the user marks a screen
// rectangle for the capture-region editor.

#include <QObject>
#include <QString>

class QProcess;

namespace oculet {

// Starts the frame program.
class FrameProgram {
public:
    virtual ~FrameProgram() = default;
    // Starts it with the command text; its process id, or 0 with the system's reason in *error.
    virtual qint64 start(const QString& text, QString* error) = 0;
    // Ends the frame program started last, if it still runs.
    virtual void stop() = 0;
};

// The frame program beside the running executable.
class ProcessFrameProgram final : public QObject, public FrameProgram {
public:
    explicit ProcessFrameProgram(QString path, QObject* parent = nullptr);
    qint64 start(const QString& text, QString* error) override;
    void stop() override;

private:
    QString path_;
    QProcess* running_ = nullptr;
};

} // namespace oculet
