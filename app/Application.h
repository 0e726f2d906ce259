#pragma once

// The life of the program from start-up to shutdown: owns the settings model, the box model,
// the main window, the timers and the parts that work on a frame, wires them together and runs
// the start-up and shutdown sequences. The menus' items are dispatched by Menus.

#include "app/MainWindow.h"
#include "app/Menus.h"
#include "app/SettingsFile.h"
#include "compose/FrameCycle.h"
#include "compose/OverlayBoxes.h"
#include "compose/Overlays.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Paths.h"
#include "ui/MessageBoxes.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "source/SourceWindow.h"
#include "ui/BoxHandles.h"
#include "ui/BoxLayoutEditor.h"
#include "ui/Language.h"
#include "ui/LiveViewGroup.h"
#include "ui/OptionPanel.h"
#include "web/LiveView.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace oculet {

class ClockPanel;
class FtpPanel;
class FtpPublisher;
class HelpWindow;
class UpdateCheck;

class Application : public QObject {
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
    Messages& messages() { return messages_; }
    bool hasShutDown() const { return shuttingDown_; }
    // The help window, opened (once; shown again and raised later) over the main window.
    void openHelpWindow();

    // Opens the capture-region editor for a target; nothing while one is open.
    void openRegionEditor(RegionTarget target);

private:
    void runFrameCycle();
    void startPublishing();
    void openPublishingPanel();
    void closePublishingPanel();
    void armFrameTimer();
    void saveSettings();

    std::unique_ptr<Desktop> desktop_;
    Settings settings_;
    SettingsFile settingsFile_{Paths::settingsFile()};
    OverlayBoxes boxes_;
    EditState edit_;
    InterfaceTexts texts_;
    MainWindow window_;
    QtMessageBoxes messages_;
    SourceWindow source_;
    SystemClock clock_;
    std::unique_ptr<FrameCycle> cycle_;
    std::unique_ptr<Overlays> overlays_;
    std::unique_ptr<FtpPublisher> publisher_;
    LiveView liveView_;
    LiveViewGroup* liveViewGroup_ = nullptr;
    FtpPanel* ftpPanel_ = nullptr;
    std::unique_ptr<HelpWindow> helpWindow_;
    std::unique_ptr<UpdateCheck> updateCheck_;
    BoxLayoutEditor boxEditor_{settings_, boxes_, edit_};
    std::unique_ptr<BoxPreviewPainter> boxPreview_;
    BoxHandles* boxHandles_ = nullptr;
    std::unique_ptr<LanguageLoader> language_;
    QtPanelDialogs dialogs_;
    std::unique_ptr<PanelContext> panelContext_;
    ClockPanel* clockPanel_ = nullptr;
    std::unique_ptr<Menus> menus_;

    QTimer frameTimer_; // one frame cycle, re-armed when the cycle ends
    QTimer clockTimer_; // once a second while a clock is shown

    QString dataFolder_;
    bool started_ = false;
    bool cycleRunning_ = false;
    bool shuttingDown_ = false;
};

} // namespace oculet
