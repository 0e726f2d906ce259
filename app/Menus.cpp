#include "app/Menus.h"

#include "app/MainWindow.h"
#include "app/Version.h"
#include "compose/CopiedBoxes.h"
#include "platform/Paths.h"
#include "source/SourcePrograms.h"
#include "source/SourceWindow.h"
#include "ui/Captions.h"
#include "ui/FtpPanel.h"
#include "ui/Language.h"
#include "ui/OptionPanel.h"
#include "ui/StatusMark.h"
#include "ui/TextFileWindow.h"

#include <QProcess>

namespace oculet {

Menus::Menus(Settings& settings, OverlayBoxes& boxes, const InterfaceTexts& texts, MainWindow& window,
             Desktop& desktop, SourceWindow& source, LayoutPause& pause, std::array<OptionPanel*, 3> panels,
             std::function<void()> openHelpWindow)
    : settings_(settings), boxes_(boxes), texts_(texts), window_(window), desktop_(desktop), source_(source),
      pause_(pause), panels_(panels), openHelpWindow_(std::move(openHelpWindow)), sourceMenu_(&window),
      languageMenu_(&window), optionsMenu_(languageMenu_, &window),
      frameProgram_(Paths::frameProgram()) {
    sourceChoiceTimer_.setInterval(100);
    sourceChoiceTimer_.setSingleShot(true);
    connect(&sourceChoiceTimer_, &QTimer::timeout, this, &Menus::applySourceChoice);
    connect(&window_, &MainWindow::sourceMenuRequested, this,
            [this] { sourceMenu_.popup(window_.menuPosition(), settings_.program); });
    connect(&sourceMenu_, &SourceMenu::chosen, this, [this](int index) {
        settings_.program = index;
        sourceChoiceTimer_.start();
    });

    dispatchTimer_.setInterval(100);
    dispatchTimer_.setSingleShot(true);
    connect(&dispatchTimer_, &QTimer::timeout, this, &Menus::dispatchOptionsItem);
    connect(window_.menuBar(), &MenuBar::pointed, this, &Menus::menuBarPointed);
    connect(window_.menuBar(), &MenuBar::optionsClicked, this, &Menus::showOptionsMenu);
    connect(&optionsMenu_, &OptionsMenu::chosen, this, [this](int item) {
        chosenItem_ = item;
        dispatchTimer_.start();
    });
    connect(&languageMenu_, &LanguageMenu::chosen, this, &Menus::chooseLanguage);
    for (OptionPanel* panel : panels_) {
        connect(panel, &OptionPanel::closed, this, &Menus::closePanel);
    }
}

Menus::~Menus() = default;

void Menus::attach(LanguageLoader* language, FtpPanel* publishingPanel, QString dataFolder) {
    language_ = language;
    publishingPanel_ = publishingPanel;
    dataFolder_ = std::move(dataFolder);
}

void Menus::close() {
    sourceChoiceTimer_.stop();
    dispatchTimer_.stop();
    sourceMenu_.hide();
    editorMessages_.closeAll();
    if (regionEditor_) {
        regionEditor_->closeEditor();
    }
    optionsMenu_.close();
    if (helpText_) {
        helpText_->close();
    }
}

void Menus::openRegionEditor(RegionTarget target) {
    if (regionEditor_ && regionEditor_->target() != RegionTarget::None) {
        return;
    }
    if (!regionEditor_) {
        regionEditor_ =
            std::make_unique<RegionEditor>(settings_, desktop_, source_, editorMessages_, texts_, frameProgram_);
        editorMessages_.setParent(regionEditor_.get());
        connect(regionEditor_.get(), &RegionEditor::closed, this, &Menus::regionEditorClosed);
        connect(regionEditor_.get(), &RegionEditor::polled, this, [this] {
            // The check box switches the copied boxes; their handles follow at once.
            for (const CopiedBox& box : kCopiedBoxes) {
                boxes_[box.id].visible = box.isOn(settings_);
            }
            window_.showBoxes(boxes_);
        });
    }
    pause_.pause(PauseReason::RegionEditor);
    window_.setEnabled(false);
    regionEditor_->open(target, window_.frameGeometry(), window_.programCaption());
}

void Menus::regionEditorClosed() {
    window_.setEnabled(true);
    pause_.resume(PauseReason::RegionEditor);
}

void Menus::applySourceChoice() {
    window_.setProgramCaption(sourceMenu_.caption(settings_.clampedProgram()));
    placeBoxesForProgram(settings_, boxes_);
    window_.showBoxes(boxes_);
    source_.setFragment(titleFragmentFor(settings_.program, window_.programCaption()));
    applyTexts();
    sourceMenu_.hide();
}

void Menus::menuBarPointed(MenuBar::Place place) {
    switch (place) {
    case MenuBar::Place::Program:
        optionsMenu_.close();
        sourceMenu_.popup(window_.menuPosition(), settings_.program);
        break;
    case MenuBar::Place::Options: showOptionsMenu(); break;
    case MenuBar::Place::Cam:
    case MenuBar::Place::Picture:
        optionsMenu_.close();
        sourceMenu_.hide();
        break;
    case MenuBar::Place::EmptyBar:
    case MenuBar::Place::None: break;
    }
}

void Menus::showOptionsMenu() {
    sourceMenu_.hide();
    optionsMenu_.setLanguage(settings_.language);
    // Under the options label, which moves right when the program's name needs the room.
    optionsMenu_.popup(window_.menuPosition() + QPoint(window_.menuBar()->options()->x() - 5, 0));
    // A translator may have edited the file since: each opening shows its latest wording.
    loadLanguage();
}

void Menus::dispatchOptionsItem() {
    const int item = chosenItem_;
    // The region editor and the panels pause publishing while they are open; the language item,
    // the help text and the help window leave it running.
    if (item >= CaptureAreaItem && item <= Aux2AreaItem) {
        openRegionEditor(static_cast<RegionTarget>(item - CaptureAreaItem + 1));
    } else if (item >= LastReceivedPanelItem && item <= ClockPanelItem) {
        openPanel(panels_[static_cast<std::size_t>(item - LastReceivedPanelItem)], item);
    } else if (item == HelpTextItem) {
        openHelpText();
    } else if (item == HelpWindowItem) {
        openHelpWindow_();
    }
    optionsMenu_.close();
}

void Menus::openPanel(OptionPanel* panel, int item) {
    pause_.pause(PauseReason::OptionPanel);
    window_.menuBar()->setLabelsEnabled(false);
    panel->openPanel(sourceMenu_.caption(settings_.clampedProgram()) + u' ' + optionsMenu_.item(item)->text());
}

void Menus::closePanel() {
    window_.menuBar()->setLabelsEnabled(true);
    pause_.resume(PauseReason::OptionPanel);
}

void Menus::openHelpText() {
    const QString path = dataFolder_ + QStringLiteral("/Help.txt");
    // The desktop's opener says by its exit status whether it found a program for text files;
    // without one the text is shown in a window of ours rather than not at all.
    auto* opener = new QProcess(this);
    const auto showOurs = [this, path] {
        if (!helpText_) {
            helpText_ = std::make_unique<TextFileWindow>();
        }
        helpText_->showFile(path, QStringLiteral("Oculet - ") + texts_[Text::WebcamSetup], window_.frameGeometry());
    };
    connect(opener, &QProcess::finished, this, [opener, showOurs](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0) {
            showOurs();
        }
        opener->deleteLater();
    });
    connect(opener, &QProcess::errorOccurred, this, [opener, showOurs](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            showOurs();
            opener->deleteLater();
        }
    });
    opener->start(QStringLiteral("xdg-open"), {path});
}

void Menus::chooseLanguage(int index) {
    settings_.language = index;
    loadLanguage();
    optionsMenu_.close();
}

void Menus::loadLanguage() {
    if (language_ != nullptr && language_->load(settings_.language)) {
        applyTexts();
    }
}

void Menus::applyTexts() {
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
    window_.menuBar()->status()->applyTexts(texts_);
    window_.menuBar()->fitCaptions();
    for (OptionPanel* panel : panels_) {
        panel->applyTexts(texts_);
    }
    if (publishingPanel_ != nullptr) {
        publishingPanel_->applyTexts(texts_);
    }
    const std::pair<BoxId, Text> tips[] = {{BoxId::LastRx, Text::LastRxTip},     {BoxId::SM, Text::SignalMeterTip},
                                           {BoxId::Aux1, Text::Aux1Tip},         {BoxId::Aux2, Text::Aux2Tip},
                                           {BoxId::Clock, Text::ClockTip},       {BoxId::FixedText, Text::FixedTextTip},
                                           {BoxId::ScrollText, Text::ScrollTextTip}};
    for (const auto& [box, tip] : tips) {
        window_.setBoxToolTip(box, texts_[tip]);
    }
    emit textsApplied();
}

} // namespace oculet
