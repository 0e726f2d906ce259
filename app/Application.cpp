#include "app/Application.h"

#include "app/StartupRules.h"
#include "app/Version.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "publish/FtpPanel.h"
#include "publish/FtpPublisher.h"
#include "settings/SettingsTable.h"
#include "compose/CopiedBoxes.h"
#include "source/SourcePrograms.h"
#include "ui/HelpWindow.h"
#include "ui/UpdateCheck.h"

#include "ui/Captions.h"
#include "ui/ClockPanel.h"
#include "ui/LastRxPanel.h"
#include "ui/TextPanel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include <cstdio>

namespace oculet {

Application::Application(std::unique_ptr<Desktop> desktop)
    : desktop_(std::move(desktop)), messages_(&window_), source_(*desktop_), sourceMenu_(&window_),
      frameProgram_(Paths::programFolder() + QStringLiteral("/oculet-frame")),
      languageMenu_(&window_), optionsMenu_(languageMenu_, &window_), dialogs_(&window_) {
    frameTimer_.setInterval(250);
    frameTimer_.setSingleShot(true);
    clockTimer_.setInterval(1000);
    sourceChoiceTimer_.setInterval(100);
    sourceChoiceTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, &Application::runFrameCycle);
    connect(&clockTimer_, &QTimer::timeout, this, [this] {
        overlays_->clockTick();
        if (clockPanel_->isVisible()) {
            clockPanel_->showTimes(clock_.utcNow(), clock_.localNow());
        }
    });
    connect(&sourceChoiceTimer_, &QTimer::timeout, this, &Application::applySourceChoice);
    connect(&window_, &MainWindow::closeRequested, this, &Application::shutdown);
    connect(&window_, &MainWindow::sourceMenuRequested, this,
            [this] { sourceMenu_.popup(window_.menuPosition(), settings_.program); });
    connect(&window_, &MainWindow::publishingPanelRequested, this, &Application::openPublishingPanel);
    connect(&sourceMenu_, &SourceMenu::chosen, this, [this](int index) {
        settings_.program = index;
        sourceChoiceTimer_.start();
    });

    dispatchTimer_.setInterval(100);
    dispatchTimer_.setSingleShot(true);
    connect(&dispatchTimer_, &QTimer::timeout, this, &Application::dispatchOptionsItem);
    connect(window_.menuBar(), &MenuBar::pointed, this, &Application::menuBarPointed);
    connect(window_.menuBar(), &MenuBar::optionsClicked, this, &Application::showOptionsMenu);
    connect(&optionsMenu_, &OptionsMenu::chosen, this, [this](int item) {
        chosenItem_ = item;
        dispatchTimer_.start();
    });
    connect(&languageMenu_, &LanguageMenu::chosen, this, &Application::chooseLanguage);

    // The panel hooks reach the overlays, which exist once start-up has made them.
    PanelHooks hooks{[this](bool shown) { shown ? clockTimer_.start() : clockTimer_.stop(); },
                     [this] { overlays_->restartScrolling(); }, [this] { overlays_->raiseMinuteFlag(); },
                     [this] { overlays_->forgetLastReceived(); }};
    panelContext_ = std::make_unique<PanelContext>(PanelContext{settings_, boxes_, dialogs_, messages_, hooks});
    clockPanel_ = new ClockPanel(*panelContext_, window_.frameArea());
    panels_ = {new LastRxPanel(*panelContext_, window_.frameArea()), new TextPanel(*panelContext_, window_.frameArea()),
               clockPanel_};
    for (OptionPanel* panel : panels_) {
        connect(panel, &OptionPanel::closed, this, &Application::closePanel);
    }
}

Application::~Application() = default;

void Application::start() {
    dataFolder_ = Paths::dataFolder();
    // Nothing installs these folders here: start-up makes them so every later write has a place.
    const QString languages = dataFolder_ + QStringLiteral("/Languages");
    installShippedFiles(dataFolder_, languages, versionText());
    language_ = std::make_unique<LanguageLoader>(texts_, messages_, languages, versionText());
    moveOffPictureIntoDataFolder(Paths::programFolder(), dataFolder_);
    // A kill in the moment before a rename leaves the temporary file behind; this copy holds the
    // instance lock, so nothing else is writing them.
    for (const QString& written : {Paths::settingsFile(), dataFolder_ + u'/' + FrameCycle::camBitmapName(),
                                   Paths::programFolder() + u'/' + FrameCycle::camBitmapName(),
                                   dataFolder_ + QStringLiteral("/temp.jpg"), dataFolder_ + u'/' + Paths::offPictureName()}) {
        removeStaleTemporaries(written);
    }

    const QRect screenRect = desktop_->virtualScreen();
    const VirtualScreen screen{screenRect.left(), screenRect.top(), screenRect.width(), screenRect.height()};
    QString unreadable;
    std::optional<IniFile> stored = IniFile::read(Paths::settingsFile(), &unreadable);
    settingsSavable_ = stored.has_value();
    store_ = std::move(stored).value_or(IniFile{});
    settings_ = loadSettings(store_, screen);
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
    BoxHandleParts handleParts;
    for (BoxId id : kAllBoxes) {
        handleParts.labels[static_cast<std::size_t>(id)] = window_.boxLabel(id);
    }
    handleParts.frameArea = window_.frameArea();
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
    applyTexts();
    armFrameTimer();
    // The update question never comes over a panel or the region editor; it waits for them.
    UpdateCheck::Hooks hooks;
    hooks.mayAsk = [this] { return !edit_.layoutEditing && QApplication::activeModalWidget() == nullptr; };
    updateCheck_ = std::make_unique<UpdateCheck>(settings_.updateVersionPage, settings_.updateDownloadPage,
                                                 versionText(), texts_, messages_, hooks);
    updateCheck_->start();
    if (!settingsSavable_) {
        messages_.notify(QStringLiteral("The settings file %1 cannot be read (%2).\n\nOculet runs on its default "
                                        "settings this time and will not save over that file. Make it readable "
                                        "and start Oculet again to have your settings back.")
                             .arg(Paths::settingsFile(), unreadable));
    }
}

void Application::startPublishing() {
    // The publishing panel shows the off picture (CamOff.jpg) and owns it from here on.
    ftpPanel_ = new FtpPanel(settings_, messages_, window_.frameArea(), dataFolder_);
    connect(ftpPanel_, &FtpPanel::closed, this, &Application::closePublishingPanel);
    // The live view stands before the publish step and shares each frame's JPEG with it.
    FtpPublisherOptions publishOptions;
    publishOptions.saveJpeg = [this](const QImage& frame, const QString& folder) { return liveView_.saveJpeg(frame, folder); };
    publisher_ = std::make_unique<FtpPublisher>(settings_, texts_, messages_, nullptr, publishOptions);
    liveView_.setPublisher(publisher_.get());
    cycle_->setPublisher(&liveView_);
    liveView_.apply(settings_);
    liveViewGroup_ = new LiveViewGroup(settings_, liveView_, texts_);
    ftpPanel_->addGroup(liveViewGroup_);
    connect(publisher_.get(), &FtpPublisher::statusChanged, this,
            [this](const LinkStatus& status) { liveView_.setPublishing(status.caption()); });
    connect(&liveView_, &LiveView::viewersChanged, &window_, [this](int viewers) {
        window_.showLiveViewers(liveView_.state() == LiveView::State::Serving ? texts_[Text::LiveViewViewers].arg(viewers) : QString());
    });
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
    edit_.layoutEditing = true;
    ftpPanel_->openPanel();
}

void Application::closePublishingPanel() {
    publisher_->testFtpConnection();
    armFrameTimer();
    edit_.layoutEditing = false;
}

void Application::openRegionEditor(RegionTarget target) {
    if (shuttingDown_ || !started_ || (regionEditor_ && regionEditor_->target() != RegionTarget::None)) {
        return;
    }
    if (!regionEditor_) {
        regionEditor_ =
            std::make_unique<RegionEditor>(settings_, *desktop_, source_, editorMessages_, texts_, frameProgram_);
        editorMessages_.setParent(regionEditor_.get());
        connect(regionEditor_.get(), &RegionEditor::closed, this, &Application::regionEditorClosed);
        connect(regionEditor_.get(), &RegionEditor::polled, this, [this] {
            // The check box switches the copied boxes; their handles follow at once.
            for (const CopiedBox& box : kCopiedBoxes) {
                boxes_[box.id].visible = box.isOn(settings_);
            }
            window_.showBoxes(boxes_);
        });
    }
    edit_.layoutEditing = true;
    window_.setEnabled(false);
    regionEditor_->open(target, window_.frameGeometry(), window_.programCaption());
}

void Application::regionEditorClosed() {
    window_.setEnabled(true);
    if (publisher_) {
        publisher_->cancelTransfer();
    }
    armFrameTimer();
    edit_.layoutEditing = false;
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
        helpWindow_->placeOver(window_);
    }
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

void Application::applySourceChoice() {
    window_.setProgramCaption(sourceMenu_.caption(settings_.clampedProgram()));
    placeBoxesForProgram(settings_, boxes_);
    window_.showBoxes(boxes_);
    source_.setFragment(titleFragmentFor(settings_.program, window_.programCaption()));
    applyTexts();
    sourceMenu_.hide();
}

void Application::menuBarPointed(MenuBar::Place place) {
    switch (place) {
    case MenuBar::Place::Program:
        optionsMenu_.close();
        sourceMenu_.popup(window_.menuPosition(), settings_.program);
        break;
    case MenuBar::Place::Options: showOptionsMenu(); break;
    case MenuBar::Place::Cam:
        optionsMenu_.close();
        sourceMenu_.hide();
        break;
    case MenuBar::Place::EmptyBar:
    case MenuBar::Place::None: break;
    }
}

void Application::showOptionsMenu() {
    sourceMenu_.hide();
    optionsMenu_.setLanguage(settings_.language);
    optionsMenu_.popup(window_.menuPosition() + QPoint(70, 0));
    // A translator may have edited the file since: each opening shows its latest wording.
    loadLanguage();
}

void Application::dispatchOptionsItem() {
    edit_.layoutEditing = true;
    const int item = chosenItem_;
    if (item >= CaptureAreaItem && item <= Aux2AreaItem) {
        openRegionEditor(static_cast<RegionTarget>(item - CaptureAreaItem + 1));
    } else if (item >= LastReceivedPanelItem && item <= ClockPanelItem) {
        openPanel(panels_[static_cast<std::size_t>(item - LastReceivedPanelItem)], item);
    } else {
        // The language item, the help text and the help window leave publishing running.
        edit_.layoutEditing = false;
        if (item == HelpTextItem) {
            openHelpText();
        } else if (item == HelpWindowItem) {
            openHelpWindow();
        }
    }
    if (publisher_) {
        publisher_->cancelTransfer();
    }
    armFrameTimer();
    optionsMenu_.close();
}

void Application::openPanel(OptionPanel* panel, int item) {
    window_.menuBar()->setLabelsEnabled(false);
    panel->openPanel(sourceMenu_.caption(settings_.clampedProgram()) + u' ' + optionsMenu_.item(item)->text());
}

void Application::closePanel() {
    window_.menuBar()->setLabelsEnabled(true);
    edit_.layoutEditing = false;
}

void Application::openHelpText() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(dataFolder_ + QStringLiteral("/Help.txt")));
}

void Application::chooseLanguage(int index) {
    settings_.language = index;
    loadLanguage();
    optionsMenu_.close();
}

void Application::loadLanguage() {
    if (language_->load(settings_.language)) {
        applyTexts();
    }
}

void Application::applyTexts() {
    const int program = settings_.clampedProgram();
    sourceMenu_.setCaption(ScreenCapture, texts_[Text::ScreenCapture]);
    if (program == ScreenCapture) {
        window_.setProgramCaption(sourceMenu_.caption(ScreenCapture));
    }
    QStringList items;
    for (int i = 0; i < kOptionsItemCount; ++i) {
        items << optionsItemCaption(i, texts_, program, window_.programCaption(), versionText());
    }
    optionsMenu_.setCaptions(items);
    // Only EasyPal shows a progress strip.
    optionsMenu_.item(ProgressAreaItem)->setEnabled(program == EasyPal);
    languageMenu_.setCaptions({texts_[Text::English], texts_[Text::Spanish], texts_[Text::German],
                               texts_[Text::French], texts_[Text::Dutch]});
    window_.menuBar()->options()->setText(texts_[Text::Options]);
    window_.menuBar()->cam()->setText(texts_[Text::CamMode]);
    for (OptionPanel* panel : panels_) {
        panel->applyTexts(texts_);
    }
    if (ftpPanel_ != nullptr) {
        ftpPanel_->applyTexts(texts_);
        liveViewGroup_->applyTexts();
    }
    const std::pair<BoxId, Text> tips[] = {{BoxId::LastRx, Text::LastRxTip},     {BoxId::SM, Text::SignalMeterTip},
                                           {BoxId::Aux1, Text::Aux1Tip},         {BoxId::Aux2, Text::Aux2Tip},
                                           {BoxId::Clock, Text::ClockTip},       {BoxId::FixedText, Text::FixedTextTip},
                                           {BoxId::ScrollText, Text::ScrollTextTip}};
    for (const auto& [box, tip] : tips) {
        window_.setBoxToolTip(box, texts_[tip]);
    }
}

void Application::saveSettings() {
    if (!settingsSavable_) {
        std::fprintf(stderr, "Oculet: the settings were not saved: the settings file could not be read at start-up\n");
        return;
    }
    // A minimised window has no meaningful place: the stored one is kept.
    const bool minimised = window_.isMinimized();
    if (!minimised) {
        settings_.meLeft = window_.x() * kTwipsPerPixel;
        settings_.meTop = window_.y() * kTwipsPerPixel;
    }
    oculet::saveSettings(settings_, store_, !minimised);
    QString error;
    if (!store_.write(Paths::settingsFile(), &error)) {
        std::fprintf(stderr, "Oculet: the settings could not be saved: %s\n", qPrintable(error));
    }
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
    sourceChoiceTimer_.stop();
    dispatchTimer_.stop();
    sourceMenu_.hide();
    updateCheck_.reset(); // a page still on its way is dropped, not waited for
    if (helpWindow_) {
        helpWindow_->close();
    }
    // The frame program goes with Oculet; what the editor set is in the settings saved below.
    if (regionEditor_) {
        regionEditor_->closeEditor();
    }
    optionsMenu_.close();

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
