#pragma once

// The life of the program from start-up to shutdown: owns the settings model, the box model, the
// main window, the timers and the parts that work on a frame, and runs the start-up and shutdown
// sequences. Widgets only show and forward; what to do lives here or in the parts it owns.

#include "app/MainWindow.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "compose/EditState.h"
#include "compose/FrameCycle.h"
#include "compose/OverlayBoxes.h"
#include "compose/Overlays.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxes.h"
#include "source/SourceMenu.h"
#include "source/SourceWindow.h"

class QWidget;

#include <QImage>
#include <QObject>
#include <QTimer>

#include <memory>

namespace oculet {

class FtpPanel;
class FtpPublisher;

class Application : public QObject, private FrameCycleView {
    Q_OBJECT
public:
    explicit Application(std::unique_ptr<Desktop> desktop);
    ~Application() override;

    // Runs the start-up sequence; the frame timer runs when it returns.
    void start();
    // Runs the shutdown sequence once (later calls do nothing) and ends the event loop.
    void shutdown();
    // Saves the settings when the program is ending without its shutdown, as when the X server
    // goes away with the desktop session and the process is ended from under the event loop.
    void saveSettingsIfNotShutDown();

    MainWindow& window() { return window_; }
    const Settings& settings() const { return settings_; }

private:
    // FrameCycleView
    void showFrame(const QImage& frame) override;
    void showBoxes(const OverlayBoxes& boxes) override;
    void showSourceMissing(bool missing) override;
    void hideDragPreview() override;
    void requestShutdown() override;

    void onFrameTimer();
    void onClockTimer();
    void applySourceChoice();
    void showSourceMenu();
    VirtualScreen virtualScreen() const;
    void writeOffPictureAsFrame();
    void openPublishingPanel();
    void closePublishingPanel();
    void armFrameTimer();
    void saveSettings();

    std::unique_ptr<Desktop> desktop_;
    Settings settings_;
    IniFile store_;
    OverlayBoxes boxes_;
    EditState edit_;
    InterfaceTexts texts_;
    MainWindow window_;
    QtMessageBoxes messages_;
    SourceWindow source_;
    SourceMenu sourceMenu_;
    SystemClock clock_;
    std::unique_ptr<FrameCycle> cycle_;
    std::unique_ptr<Overlays> overlays_;
    std::unique_ptr<FtpPublisher> publisher_;
    FtpPanel* ftpPanel_ = nullptr;

    QTimer timer1_; // frame cycle
    QTimer timer2_; // clock, once a second
    QTimer timer3_; // update check, once after start-up
    QTimer timer4_; // option-panel layout after a menu choice
    QTimer timer5_; // applies a new source choice

    QString dataFolder_;
    QString easyPalFolder_;
    bool started_ = false;
    bool cycleRunning_ = false;
    bool shuttingDown_ = false;
};

} // namespace oculet
