#pragma once

// The menus of the main window and what their items do: the source menu under the program label,
// the options menu with the language menu beside it, the panels and editors the options items
// open, and the interface texts put into every caption.

#include "compose/LayoutPause.h"
#include "compose/OverlayBoxes.h"
#include "platform/FrameProgram.h"
#include "ui/MessageBoxes.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "source/RegionEdit.h"
#include "ui/MenuBar.h"
#include "ui/PopupMenus.h"
#include "ui/RegionEditor.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

namespace oculet {

class FtpPanel;
class LanguageLoader;
class MainWindow;
class OptionPanel;
class SourceWindow;
class TextFileWindow;

class Menus : public QObject {
    Q_OBJECT
public:
    // `panels`: the last received picture, texts and clock panels, options items 5 to 7;
    // `openHelpWindow` opens the help window, which lives with the application.
    Menus(Settings& settings, OverlayBoxes& boxes, const InterfaceTexts& texts, MainWindow& window,
          Desktop& desktop, SourceWindow& source, LayoutPause& pause, std::array<OptionPanel*, 3> panels,
          std::function<void()> openHelpWindow);
    ~Menus() override;

    // Once start-up has them: the language files, the publishing panel and the data folder
    // (which holds Help.txt).
    void attach(LanguageLoader* language, FtpPanel* publishingPanel, QString dataFolder);
    // Puts the interface texts into the menus, the menu bar, the panels and the boxes' tips.
    void applyTexts();
signals:
    // The texts were put in place: parts the menus do not own follow.
    void textsApplied();

public:
    // At shutdown: nothing chosen is acted on any more, every menu is hidden and the region
    // editor closed with its frame program.
    void close();
    // Opens the capture-region editor for a target; nothing while one is open.
    void openRegionEditor(RegionTarget target);

private:
    void menuBarPointed(MenuBar::Place place);
    void showOptionsMenu();
    void dispatchOptionsItem();
    void openPanel(OptionPanel* panel, int item);
    void closePanel();
    void openHelpText();
    void chooseLanguage(int index);
    void loadLanguage();
    void applySourceChoice();
    void regionEditorClosed();

    Settings& settings_;
    OverlayBoxes& boxes_;
    const InterfaceTexts& texts_;
    MainWindow& window_;
    Desktop& desktop_;
    SourceWindow& source_;
    LayoutPause& pause_;
    std::array<OptionPanel*, 3> panels_;
    std::function<void()> openHelpWindow_;
    LanguageLoader* language_ = nullptr;
    FtpPanel* publishingPanel_ = nullptr;
    QString dataFolder_;

    SourceMenu sourceMenu_;
    LanguageMenu languageMenu_;
    OptionsMenu optionsMenu_;
    int chosenItem_ = -1;
    ProcessFrameProgram frameProgram_;
    QtMessageBoxes editorMessages_; // over the editor: the main window is disabled while it is open
    std::unique_ptr<RegionEditor> regionEditor_;
    std::unique_ptr<TextFileWindow> helpText_; // Help.txt, when the desktop cannot show it
    QTimer sourceChoiceTimer_; // applies a source chosen in the source menu
    QTimer dispatchTimer_;     // acts on an options item once the menu's click has returned
};

} // namespace oculet
