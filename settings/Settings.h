#pragma once

// The one in-memory model of every Oculet setting. All of them are read from the settings file
// at start-up and written back at shutdown; between the two, menus, panels and mouse editing
// change only this model. Nothing else keeps a copy.
//
// Default values are the member initialisers below; the settings table (SettingsTable.h) names
// the stored section and key of every member and is walked by both load and save.

#include "settings/Units.h"

#include <QRect>
#include <QString>

#include <array>
#include <cstdint>

namespace oculet {

inline constexpr int kProgramCount = 5;

// Source programs, in the order of the source menu.
enum SourceProgram : int {
    EasyPal = 0,
    MMSSTV = 1,
    DM780 = 2,
    KGSTV = 3,
    ScreenCapture = 4,
};

// One value per source program, indexed by the source program index.
template <class T> using PerProgram = std::array<T, kProgramCount>;

template <class T> constexpr PerProgram<T> allPrograms(T value) {
    return {value, value, value, value, value};
}

struct FontSetting {
    QString name = QStringLiteral("Arial");
    bool bold = true;
    bool italic = false;
    int size = 16; // points
    bool underline = false;

    bool operator==(const FontSetting&) const = default;
};

// A rectangle as it is stored: four values of their own, so a value read from the file never
// passes through a sum that could overflow before the corrections have held it.
struct StoredRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    QRect rect() const { return {left, top, width, height}; }
    bool operator==(const StoredRect&) const = default;
};

// A box copied from a fixed spot of the screen onto the frame, for one source program: its source
// rectangle on the screen (screen pixels), its place on the frame and whether it is shown.
struct CopiedRegion {
    StoredRect source;
    StoredRect place;
    bool on = false;

    bool operator==(const CopiedRegion&) const = default;
};

// The copied boxes, in the order they are drawn: later boxes lie over earlier ones.
enum CopiedBoxIndex : int { SignalMeterBox = 0, Aux1Box = 1, Aux2Box = 2 };
inline constexpr int kCopiedBoxCount = 3;

// The virtual screen: the bounding rectangle of all monitors, in screen pixels.
struct VirtualScreen {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct Settings {
    // --- Per source program -------------------------------------------------------------
    // Capture rectangle on the screen (absolute pixels) and its offset inside the source window.
    PerProgram<int> captureLeft = allPrograms(400);
    PerProgram<int> captureTop = allPrograms(400);
    PerProgram<int> captureWidth = allPrograms(400);
    PerProgram<int> captureHeight = allPrograms(300);
    PerProgram<int> captureOffX = allPrograms(10);
    PerProgram<int> captureOffY = allPrograms(30);

    // The copied boxes (signal meter, AUX1, AUX2), indexed by CopiedBoxIndex.
    std::array<PerProgram<CopiedRegion>, kCopiedBoxCount> copiedRegions = {
        allPrograms(CopiedRegion{{400, 400, 200, 150}, {0, 75, 125, 50}, false}),
        allPrograms(CopiedRegion{{400, 400, 200, 150}, {100, 75, 50, 50}, false}),
        allPrograms(CopiedRegion{{400, 400, 200, 150}, {100, 100, 50, 50}, false}),
    };

    // Scrolling text: top of its box on the frame and its mode (0 off, 1 continuous,
    // 60 every 60 seconds).
    PerProgram<int> txtTop = allPrograms(100);
    PerProgram<int> txtOn = allPrograms(1);

    // Fixed text: place on the frame and mode (0 off).
    PerProgram<int> fTxtTop = allPrograms(50);
    PerProgram<int> fTxtLeft = allPrograms(10);
    PerProgram<int> fTxtOn = allPrograms(0);
    // 1 draws the texts without a background, 0 on the text background colour.
    PerProgram<int> transparent = allPrograms(1);

    // Clock box: place on the frame, UTC and local clock on (1) or off (0).
    PerProgram<int> clockLeft = allPrograms(220);
    PerProgram<int> clockTop = allPrograms(5);
    PerProgram<int> clockOnZ = allPrograms(1);
    PerProgram<int> clockOnL = allPrograms(1);

    // Last received picture: shown, left and width on the frame (the height follows the
    // picture), the program's picture folder and the folder choice (true = the per-user folder).
    PerProgram<bool> lastRx = allPrograms(true);
    PerProgram<int> lastRxLeft = allPrograms(200);
    PerProgram<int> lastRxWidth = allPrograms(120);
    PerProgram<QString> epDir = allPrograms(QStringLiteral("c:\\EasyPal"));
    PerProgram<bool> optDir = allPrograms(false);

    // --- Text lists (five entries each, not per program) ----------------------------------
    std::array<QString, 5> scrollTexts = allPrograms(QStringLiteral("Enter text to be scrolled here........"));
    std::array<QString, 5> fixedTexts = allPrograms(QStringLiteral("Fixed text"));

    // --- Program-wide ----------------------------------------------------------------------
    // 1 copies EasyPal's progress bar onto the frame.
    int epProgress = 1;
    // Progress-bar source rectangle, measured from the source window's bottom-left corner.
    int barX = 20;
    int barY = 15;
    int barWt = 500;
    int barHt = 7;

    FontSetting textFont;
    Colour textColour = 65535;        // yellow
    Colour textBkgColour = 16711680;  // blue
    FontSetting clockFont;
    Colour clockColour = 65535;       // yellow
    Colour borderColour = 0;          // black

    QString file1;  // text file 1, alternative source of the scrolling text
    QString file2;  // text file 2, alternative source of the fixed text
    int ckFile1 = 0;
    int ckFile2 = 0;

    int program = EasyPal;
    int scrollIndex = 0;
    int fixedIndex = 0;

    // Main window position in twips (15 per pixel), kept as stored.
    double meLeft = 6000;
    double meTop = 4500;

    QString ftpAddress;
    QString ftpUsername;
    QString ftpPassword;
    QString ftpDir;
    QString ftpFilename = QStringLiteral("cam_1.jpg");
    bool ftpOn = false;
    // 1 publishes the off picture at shutdown, 0 withdraws the published picture.
    int ftpOffPic = 1;
    // Least time between two uploads, in whole seconds: some hosted sites take no more. 0
    // uploads every changed frame.
    int ftpInterval = 0;

    int language = 0; // 0 English, 1 Spanish, 2 German, 3 French, 4 Dutch

    // Where the update check looks for a newer version (http or https; empty: never checked) and
    // where it sends the user for it (empty: the version page's host with the download path).
    QString updateVersionPage = QStringLiteral(OCULET_UPDATE_PAGE);
    QString updateDownloadPage;

    // The live view: a web page of the frames served by Oculet itself, reachable from this
    // computer only unless `webLan`, and asking for `webPassword` when it is not empty.
    bool webOn = false;
    int webPort = 8421;
    bool webLan = false;
    QString webPassword;

    bool operator==(const Settings&) const = default;

    // The current program's entry of a per-program setting.
    template <class T> T& current(PerProgram<T>& values) { return values[clampedProgram()]; }
    template <class T> const T& current(const PerProgram<T>& values) const {
        return values[clampedProgram()];
    }
    CopiedRegion& copiedRegion(int box) { return current(copiedRegions[box]); }
    const CopiedRegion& copiedRegion(int box) const { return current(copiedRegions[box]); }

    // The switches as the program reads them, for the current program. Any value of 1 or more
    // is on, so a box that shows is also drawn.
    bool utcClockOn() const { return current(clockOnZ) >= 1; }
    bool localClockOn() const { return current(clockOnL) >= 1; }
    // Either clock is on: the clock box shows, the clock ticks and is drawn.
    bool clockShown() const { return utcClockOn() || localClockOn(); }
    bool fixedTextShown() const { return current(fTxtOn) >= 1; }
    bool scrollTextShown() const { return current(txtOn) >= 1; }
    // Texts drawn without the background colour.
    bool textsTransparent() const { return current(transparent) != 0; }
    // EasyPal's progress bar is copied only for the value 1 (and only from EasyPal).
    bool progressStripOn() const { return epProgress == 1; }
    bool textFile1InUse() const { return ckFile1 != 0; }
    bool textFile2InUse() const { return ckFile2 != 0; }
    // At shutdown the off picture is published; otherwise the published picture is withdrawn.
    bool offPictureOnShutdown() const { return ftpOffPic != 0; }
    // The stored program index is used as read; an index outside 0..4 must not reach an array.
    int clampedProgram() const { return program < 0 || program >= kProgramCount ? 0 : program; }
};

} // namespace oculet
