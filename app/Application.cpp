#include "app/Application.h"

#include "app/StartupRules.h"
#include "app/Version.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "ui/FtpPanel.h"
#include "publish/FtpPublisher.h"
#include "source/SourcePrograms.h"
#include "ui/HelpWindow.h"
#include "ui/MenuBar.h"
#include "ui/UpdateCheck.h"

#include "ui/ClockPanel.h"
#include "ui/LastRxPanel.h"
#include "ui/TextPanel.h"

#include <QApplication>

#include <cstdio>

namespace oculet {

Application::Application(std::unique_ptr<Desktop> desktop)
    : desktop_(std::move(desktop)), messages_(&window_), source_(*desktop_), dialogs_(&window_) {
    frameTimer_.setInterval(250);
    frameTimer_.setSingleShot(true);
    clockTimer_.setInterval(1000);
    connect(&frameTimer_, &QTimer::timeout, this, &Application::runFrameCycle);
    connect(&clockTimer_, &QTimer::timeout, this, [this] {
        overlays_->clockTick();
        if (clockPanel_->isVisible()) {
            clockPanel_->showTimes(clock_.utcNow(), clock_.localNow());
        }
    });
    connect(&window_, &MainWindow::closeRequested, this, &Application::shutdown);
    connect(&window_, &MainWindow::publishingPanelRequested, this, &Application::openPublishingPanel);
    // A frame on its way when the layout editing starts shows the old layout; frames are
    // published again as soon as nothing holds them.
    edit_.layout.setHooks(
        [this] {
            if (publisher_) {
                publisher_->cancelTransfer();
            }
        },
        [this] { armFrameTimer(); });

    // The panel hooks reach the overlays, which exist once start-up has made them.
    PanelHooks hooks{[this](bool shown) { shown ? clockTimer_.start() : clockTimer_.stop(); },
                     [this] { overlays_->restartScrolling(); }, [this] { overlays_->raiseMinuteFlag(); },
                     [this] { overlays_->forgetLastReceived(); }};
    panelContext_ = std::make_unique<PanelContext>(PanelContext{settings_, boxes_, dialogs_, messages_, hooks});
    clockPanel_ = new ClockPanel(*panelContext_, window_.frameArea());
    menus_ = std::make_unique<Menus>(
        settings_, boxes_, texts_, window_, *desktop_, source_, edit_.layout,
        std::array<OptionPanel*, 3>{new LastRxPanel(*panelContext_, window_.frameArea()),
                                    new TextPanel(*panelContext_, window_.frameArea()), clockPanel_},
        [this] { openHelpWindow(); });
}

Application::~Application() = default;

void Application::start() {
    if (!desktop_->readsWindowContent()) {
        std::fprintf(stderr, "oculet: %s\n", qPrintable(screenCopyNote()));
        window_.menuBar()->program()->setToolTip(screenCopyNote());
    }
    dataFolder_ = Paths::dataFolder();
    // Nothing installs these folders here: start-up makes them so every later write has a place.
    const QString languages = dataFolder_ + QStringLiteral("/Languages");
    installShippedFiles(dataFolder_, languages, versionText(), messages_);
    language_ = std::make_unique<LanguageLoader>(texts_, messages_, languages, versionText());
    moveOffPictureIntoDataFolder(Paths::programFolder(), dataFolder_);
    removeStaleTemporaries(Paths::settingsFile(), dataFolder_, Paths::programFolder());

    const QRect screenRect = desktop_->virtualScreen();
    const VirtualScreen screen{screenRect.left(), screenRect.top(), screenRect.width(), screenRect.height()};
    QString unreadable;
    settings_ = settingsFile_.load(screen, &unreadable);
    started_ = true;

    window_.setProgramCaption(sourceMenuCaption(settings_.program));
    language_->load(settings_.language);
    window_.move(qRound(settings_.meLeft / kTwipsPerPixel), qRound(settings_.meTop / kTwipsPerPixel));
    boxes_ = placeBoxesAtStartup(settings_);
    window_.showBoxes(boxes_);
    window_.show();

    cycle_ = std::make_unique<FrameCycle>(settings_, boxes_, edit_, *desktop_, source_, messages_, window_,
                                          FrameFiles{dataFolder_, Paths::programFolder()});
    overlays_ = std::make_unique<Overlays>(settings_, boxes_, clock_, messages_, texts_, Paths::easyPalFolder());
    cycle_->setOverlays(overlays_.get());
    boxPreview_ = std::make_unique<BoxPreviewPainter>(settings_, *desktop_,
                                                      [this] { return overlays_->lastReceivedPicture(); });
    BoxHandleParts handleParts = window_.boxHandleParts();
    handleParts.eraseFromFrame = [this](const QRect& place) { cycle_->eraseBox(place); };
    boxHandles_ = new BoxHandles(boxEditor_, *boxPreview_, std::move(handleParts), texts_);
    window_.setDragPreview(boxHandles_->preview());
    // The per-minute text runs once straight away, not only after the first minute.
    overlays_->raiseMinuteFlag();
    if (settings_.clockShown()) {
        clockTimer_.start();
    }
    source_.setFragment(titleFragmentFor(settings_.program, window_.programCaption()));
    if (settings_.ftpOn) {
        cycle_->startupRedraw();
    }
    startPublishing();
    menus_->attach(language_.get(), ftpPanel_, dataFolder_);
    menus_->applyTexts();
    armFrameTimer();
    // The update question never comes over a panel or the region editor; it waits for them.
    UpdateCheck::Hooks hooks;
    hooks.mayAsk = [this] { return !edit_.layout.paused() && QApplication::activeModalWidget() == nullptr; };
    updateCheck_ = std::make_unique<UpdateCheck>(settings_.updateVersionPage, settings_.updateDownloadPage,
                                                 versionText(), texts_, messages_, hooks);
    updateCheck_->start();
    if (!settingsFile_.savable()) {
        messages_.warn(settingsFile_.unreadableNotice(unreadable));
    }
}

void Application::startPublishing() {
    // The publishing panel shows the off picture (CamOff.jpg) and owns it from here on.
    ftpPanel_ = new FtpPanel(*panelContext_, window_.frameArea(), dataFolder_);
    connect(ftpPanel_, &FtpPanel::closed, this, &Application::closePublishingPanel);
    // The live view stands before the publish step and shares each frame's JPEG with it.
    publisher_ = std::make_unique<FtpPublisher>(settings_, texts_, messages_, nullptr, liveView_.publisherOptions());
    liveView_.setPublisher(publisher_.get());
    cycle_->setPublisher(&liveView_);
    liveView_.apply(settings_);
    liveViewGroup_ = new LiveViewGroup(settings_, liveView_, texts_);
    ftpPanel_->addGroup(liveViewGroup_);
    connect(menus_.get(), &Menus::textsApplied, liveViewGroup_, &LiveViewGroup::applyTexts);
    connect(publisher_.get(), &FtpPublisher::statusChanged, this,
            [this](const LinkStatus& status) { liveView_.setPublishing(status.caption()); });
    connect(liveViewGroup_, &LiveViewGroup::viewersLineChanged, &window_, &MainWindow::showLiveViewers);
    connect(publisher_.get(), &FtpPublisher::busy, &window_, &MainWindow::showMessage);
    connect(publisher_.get(), &FtpPublisher::statusChanged, &window_, &MainWindow::showPublishingStatus);
    connect(publisher_.get(), &FtpPublisher::statusChanged, ftpPanel_,
            [this](const LinkStatus& status) { ftpPanel_->offerHostKey(status.unknownHostKey); });
    connect(ftpPanel_, &FtpPanel::hostKeyAccepted, publisher_.get(), &FtpPublisher::acceptHostKey);
    connect(publisher_.get(), &FtpPublisher::idle, this, [this] {
        if (!shuttingDown_) {
            window_.hideMessage();
        }
    });
    if (settings_.ftpOn) {
        // Connects in the background; frames are composed meanwhile and published once connected.
        publisher_->testFtpConnection();
    }
}

void Application::armFrameTimer() {
    // A cycle still waiting for its publish step re-arms the timer itself when it ends.
    if (!cycleRunning_ && !shuttingDown_ && !frameTimer_.isActive()) {
        frameTimer_.start();
    }
}

void Application::openPublishingPanel() {
    edit_.layout.pause(PauseReason::PublishingPanel);
    ftpPanel_->openPanel();
}

void Application::closePublishingPanel() {
    publisher_->testFtpConnection();
    edit_.layout.resume(PauseReason::PublishingPanel);
}

void Application::openRegionEditor(RegionTarget target) {
    if (!shuttingDown_ && started_) {
        menus_->openRegionEditor(target);
    }
}

void Application::runFrameCycle() {
    if (cycleRunning_) {
        return;
    }
    cycleRunning_ = true;
    cycle_->run([this] {
        cycleRunning_ = false;
        if (!shuttingDown_) {
            window_.showFrameArea();
            frameTimer_.start();
        }
    });
}

void Application::openHelpWindow() {
    if (!helpWindow_) {
        helpWindow_ = std::make_unique<HelpWindow>();
    }
    helpWindow_->openOver(window_);
}

void Application::saveSettings() {
    // A minimised window has no meaningful place: the stored one is kept.
    const bool minimised = window_.isMinimized();
    if (!minimised) {
        settings_.meLeft = window_.x() * kTwipsPerPixel;
        settings_.meTop = window_.y() * kTwipsPerPixel;
    }
    settingsFile_.save(settings_, !minimised);
}

void Application::saveSettingsIfNotShutDown() {
    if (!started_ || shuttingDown_) {
        return;
    }
    shuttingDown_ = true;
    saveSettings();
}

void Application::shutdown() {
    if (shuttingDown_) {
        return;
    }
    shuttingDown_ = true;
    frameTimer_.stop();
    clockTimer_.stop();
    // The frame program goes with Oculet; what the region editor set is in the settings saved below.
    menus_->close();
    // An open box must not hold the end, and its answer must not come after what it acts on is gone.
    messages_.closeAll();
    updateCheck_.reset(); // a page still on its way is dropped, not waited for
    if (helpWindow_) {
        helpWindow_->close();
    }

    window_.showMessage(texts_[Text::Closing]);
    if (settings_.offPictureOnShutdown() && ftpPanel_ != nullptr) {
        cycle_->writeOffPictureAsFrame(ftpPanel_->offPicture());
    }
    saveSettings();
    liveView_.stop();
    // Publishes the off picture, or withdraws the published one, and closes the connection.
    // Bounded: a dead server holds the closing for a few seconds at most.
    if (publisher_) {
        publisher_->shutdown();
    }

    window_.allowClose();
    window_.close();
    QCoreApplication::quit();
}

} // namespace oculet
