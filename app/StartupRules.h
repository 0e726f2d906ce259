#pragma once

#include <QString>

namespace oculet {

// An off picture left beside the executable by an older installation moves into the data folder.
// When the program folder cannot be written (the file could not be removed there), a picture the
// user already has in the data folder is never overwritten by it on every start.
void moveOffPictureIntoDataFolder(const QString& programFolder, const QString& dataFolder);

// A kill in the moment before a rename leaves a temporary file behind: removed at start-up, when
// this copy holds the instance lock and nothing else writes them.
void removeStaleTemporaries(const QString& settingsFile, const QString& dataFolder, const QString& programFolder);

// What the user is told, once, when the display cannot give a window's own content: the frames
// still come, only without the protection against covers.
QString screenCopyNote();

} // namespace oculet
