#pragma once

// The capture-region editor (`frmCap`): sets one of the five screen rectangles the frames are
// copied from. The rectangle is shown on the desktop by the frame program (tools/), a window the
// user moves and sizes; the editor starts it, places it on the stored rectangle, nudges it with
// its eight buttons and, every 100 ms, reads it back into the live settings, so the next frames
// already use it. Closing the editor closes the frame window.

#include "platform/Desktop.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "source/SourceWindow.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QProcess;
class QPushButton;

namespace oculet {

class Messages;

// Which rectangle the editor sets; 0 while it is closed.
enum class RegionTarget : int { None = 0, Capture, ProgressStrip, SignalMeter, Aux1, Aux2 };

// Starts the frame program.
class FrameProgram {
public:
    virtual ~FrameProgram() = default;
    // Starts it with the command text; its process id, or 0 with the system's reason in *error.
    virtual qint64 start(const QString& text, QString* error) = 0;
    // Ends a frame program whose window never came.
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

class RegionEditor : public QWidget {
    Q_OBJECT
public:
    RegionEditor(Settings& settings, Desktop& desktop, const SourceWindow& source, Messages& messages,
                 const InterfaceTexts& texts, FrameProgram& program);

    // Opens the editor for a target below the main window (its outer frame, screen pixels);
    // `programCaption` is the source program's name on the menu bar.
    void open(RegionTarget target, const QRect& mainWindow, const QString& programCaption);
    // `cmdClose`: closes the frame window and the editor. Nothing when it is closed.
    void closeEditor();
    RegionTarget target() const { return target_; }

    // One poll: the frame window's rectangle into the shown numbers and the live settings.
    void poll();

    // How long a frame program has to show its window before the editor gives up on it.
    static constexpr int kWindowWait_ms = 3000;

signals:
    // The editor closed: the main window takes input again and publishing may resume.
    void closed();
    // A poll wrote the rectangle into the settings.
    void polled();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void nudgePressed(int code);
    void nudgeReleased();
    void repeat();
    void nudge(int code, int step);
    void checkClicked(bool on);
    void placeFrame();
    QRect storedRect() const;
    void store(const QRect& placement, const QRect& clamped);

    Settings& settings_;
    Desktop& desktop_;
    const SourceWindow& source_;
    Messages& messages_;
    const InterfaceTexts& texts_;
    FrameProgram& program_;

    RegionTarget target_ = RegionTarget::None;
    WindowId frame_ = 0;
    qint64 pid_ = 0;
    bool started_ = false;
    bool loading_ = false;
    int held_ = 0; // 1 X up, 2 X down, 3 Y up, 4 Y down, 5 W up, 6 W down, 7 H up, 8 H down
    std::array<int, 4> value_{}; // X, Y, W, H
    QElapsedTimer sinceStart_;

    QTimer pollTimer_;   // `Timer1`
    QTimer repeatTimer_; // `Timer2`
    QLabel* help_;
    std::array<QLabel*, 4> headings_{};
    std::array<QLabel*, 4> values_{};
    std::array<QPushButton*, 8> nudges_{};
    QCheckBox* check_;
    QPushButton* close_;
};

} // namespace oculet
