#pragma once

#include "settings/Settings.h"

#include <QString>

namespace oculet {

// A stored window position left of or above the screen, or beyond its width or height, puts the
// window at 0 on that axis, so the window always opens where it can be seen. Works on the stored
// twips values.
void clampWindowPosition(Settings& settings, const VirtualScreen& screen);

// The current program's signal-meter source: a left or top edge off the screen becomes 0. The
// stored value is corrected, so the corrected one is saved.
void clampSignalMeterSource(Settings& settings, const VirtualScreen& screen);

// An off picture left beside the executable by an older installation moves into the data folder.
// When the program folder cannot be written (the file could not be removed there), a picture the
// user already has in the data folder is never overwritten by it on every start.
void moveOffPictureIntoDataFolder(const QString& programFolder, const QString& dataFolder);

} // namespace oculet
