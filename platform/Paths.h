#pragma once

#include <QString>

namespace oculet {

// Where Oculet keeps its files on this system.
struct Paths {
    // $XDG_DATA_HOME (default ~/.local/share): the per-user application-data folder.
    static QString userDataRoot();
    // The program's own files: Cam_1.bmp, temp.jpg, CamOff.jpg, Help.txt, Languages/.
    static QString dataFolder();
    // Where EasyPal keeps its per-user files, LastRX.bmp among them.
    static QString easyPalFolder();
    // The folder of the running executable. Often read-only: writing there is best effort.
    static QString programFolder();
    // The off picture in the data folder: published in place of the frames at shutdown.
    static QString offPictureName() { return QStringLiteral("CamOff.jpg"); }
    // The frame program the capture-region editor starts: the one beside the program (a build
    // folder, or a copy unpacked anywhere) first, then the one installed with the program
    // (found from the program's own folder, so an installation moved elsewhere still finds it).
    // When neither is there, the one beside the program, for the message that says it is missing.
    static QString frameProgram();
    // $XDG_CONFIG_HOME/Oculet/Oculet.ini
    static QString settingsFile();
    // $XDG_CONFIG_HOME/autostart: what the desktop starts when the user logs in.
    static QString autostartFolder();
    // $XDG_RUNTIME_DIR, or a private folder below the temporary folder when the session has
    // none. A folder of that name that another user made (or a link, or one others may write)
    // is never used: the one below $XDG_CACHE_HOME (~/.cache) is used instead.
    static QString runtimeFolder();

    // A folder as stored, made usable here. A Windows drive path ("c:\EasyPal", the stored
    // defaults) names the same folder in the user's Wine prefix ($WINEPREFIX, else ~/.wine:
    // "drive_c/EasyPal/") when that exists, else the data folder; anything else is the user's
    // own choice and is used as it stands. The stored value itself is never changed.
    static QString hostFolder(const QString& stored);
    static QString hostFolder(const QString& stored, const QString& winePrefix, const QString& fallback);
};

} // namespace oculet
