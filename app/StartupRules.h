#pragma once

#include <QString>

namespace oculet {

// An off picture left beside the executable by an older installation moves into the data folder.
// When the program folder cannot be written (the file could not be removed there), a picture the
// user already has in the data folder is never overwritten by it on every start.
void moveOffPictureIntoDataFolder(const QString& programFolder, const QString& dataFolder);

} // namespace oculet
