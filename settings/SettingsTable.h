#pragma once

// Every stored setting, once: its section, its key, how its text is read and written, and which
// member of the in-memory model it fills. Loading and saving both walk this table, so the two
// can never drift apart. Defaults are the model's member initialisers.

#include "settings/Settings.h"
#include "platform/IniFile.h"

#include <QString>

#include <functional>
#include <vector>

namespace oculet {

struct SettingEntry {
    QString section;
    // The key, or empty for a section that holds one value per source program (or per list
    // entry) under the keys "0" to "4".
    QString key;
    // Reads the text of one value into the model; text that is not a value of the type leaves
    // the default in place.
    std::function<void(Settings&, int index, const QString& text)> read;
    std::function<QString(const Settings&, int index)> write;

    bool perIndex() const { return key.isEmpty(); }
};

const std::vector<SettingEntry>& settingsTable();

// Loads every setting from the store, then corrects what the program cannot use
// (Corrections.h) against the given virtual screen.
Settings loadSettings(const IniFile& store, const VirtualScreen& screen);

// Writes every setting into the store. The window position is left as it is in the store when
// includeWindowPosition is false (the window is minimised and has no meaningful place).
void saveSettings(const Settings& settings, IniFile& store, bool includeWindowPosition);

} // namespace oculet
