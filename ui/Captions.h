#pragma once

// Captions made of several interface texts, or that depend on the current source program.

#include "settings/InterfaceTexts.h"

#include <QString>

namespace oculet {

inline constexpr int kOptionsItemCount = 11;

// The options menu's items by index; what an item opens depends on its index alone.
enum OptionsItem : int {
    CaptureAreaItem = 0, ProgressAreaItem, SignalMeterAreaItem, Aux1AreaItem, Aux2AreaItem,
    LastReceivedPanelItem, TextPanelItem, ClockPanelItem, LanguageItem, HelpTextItem, HelpWindowItem,
};

// The caption of options item `item` for the current source program, whose name on the menu bar
// is `programCaption`: the capture-area item names the program ("Set MMSSTV capture area"), or
// is the screen-region text for a plain screen region; the help-text item carries the version.
QString optionsItemCaption(int item, const InterfaceTexts& texts, int program, const QString& programCaption,
                           const QString& versionText);

// The second folder choice of the last-received-picture options: the folder where the source
// program keeps the pictures it received ("MMSSTV History folder").
QString programFolderCaption(const InterfaceTexts& texts, int program);

} // namespace oculet
