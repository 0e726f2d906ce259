#include "settings/SettingsTable.h"

#include "settings/SettingValues.h"

#include <QSize>

#include <algorithm>
#include <limits>

namespace oculet {
namespace {

constexpr int kInt16Min = std::numeric_limits<std::int16_t>::min();
constexpr int kInt16Max = std::numeric_limits<std::int16_t>::max();
constexpr int kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr int kInt32Max = std::numeric_limits<std::int32_t>::max();

const QString kPerIndex;

// The frame every box is drawn on.
constexpr QSize kFrameSide(320, 240);

// Builders for the rows of the table, one per kind of value.

SettingEntry perProgramInt(const char* section, PerProgram<int> Settings::*member, int min, int max) {
    return {QString::fromLatin1(section), kPerIndex,
            [=](Settings& s, int i, const QString& t) {
                if (auto v = parseInteger(t, min, max)) {
                    (s.*member)[i] = *v;
                }
            },
            [=](const Settings& s, int i) { return QString::number((s.*member)[i]); }};
}
SettingEntry perProgramInt16(const char* section, PerProgram<int> Settings::*member) {
    return perProgramInt(section, member, kInt16Min, kInt16Max);
}
SettingEntry perProgramInt32(const char* section, PerProgram<int> Settings::*member) {
    return perProgramInt(section, member, kInt32Min, kInt32Max);
}

SettingEntry perProgramBool(const char* section, PerProgram<bool> Settings::*member) {
    return {QString::fromLatin1(section), kPerIndex,
            [=](Settings& s, int i, const QString& t) {
                if (auto v = parseBoolean(t)) {
                    (s.*member)[i] = *v;
                }
            },
            [=](const Settings& s, int i) { return formatBoolean((s.*member)[i]); }};
}

SettingEntry perIndexText(const char* section, PerProgram<QString> Settings::*member) {
    return {QString::fromLatin1(section), kPerIndex,
            [=](Settings& s, int i, const QString& t) { (s.*member)[i] = t; },
            [=](const Settings& s, int i) { return (s.*member)[i]; }};
}

SettingEntry intValue(const char* section, const char* key, int Settings::*member, int min, int max) {
    return {QString::fromLatin1(section), QString::fromLatin1(key),
            [=](Settings& s, int, const QString& t) {
                if (auto v = parseInteger(t, min, max)) {
                    s.*member = *v;
                }
            },
            [=](const Settings& s, int) { return QString::number(s.*member); }};
}
SettingEntry int16Value(const char* section, const char* key, int Settings::*member) {
    return intValue(section, key, member, kInt16Min, kInt16Max);
}
SettingEntry int32Value(const char* section, const char* key, int Settings::*member) {
    return intValue(section, key, member, kInt32Min, kInt32Max);
}

SettingEntry boolValue(const char* section, const char* key, bool Settings::*member) {
    return {QString::fromLatin1(section), QString::fromLatin1(key),
            [=](Settings& s, int, const QString& t) {
                if (auto v = parseBoolean(t)) {
                    s.*member = *v;
                }
            },
            [=](const Settings& s, int) { return formatBoolean(s.*member); }};
}

SettingEntry colourValue(const char* section, const char* key, Colour Settings::*member) {
    return {QString::fromLatin1(section), QString::fromLatin1(key),
            [=](Settings& s, int, const QString& t) {
                if (auto v = parseColour(t)) {
                    s.*member = *v;
                }
            },
            [=](const Settings& s, int) { return formatColour(s.*member); }};
}

SettingEntry singleValue(const char* section, const char* key, double Settings::*member) {
    return {QString::fromLatin1(section), QString::fromLatin1(key),
            [=](Settings& s, int, const QString& t) {
                if (auto v = parseSingle(t)) {
                    s.*member = *v;
                }
            },
            [=](const Settings& s, int) { return formatSingle(s.*member); }};
}

SettingEntry textValue(const char* section, const char* key, QString Settings::*member) {
    return {QString::fromLatin1(section), QString::fromLatin1(key),
            [=](Settings& s, int, const QString& t) { s.*member = t; },
            [=](const Settings& s, int) { return s.*member; }};
}

void addFont(std::vector<SettingEntry>& table, const char* section, FontSetting Settings::*font) {
    const QString sec = QString::fromLatin1(section);
    table.push_back({sec, QStringLiteral("Name"),
                     [=](Settings& s, int, const QString& t) { (s.*font).name = t; },
                     [=](const Settings& s, int) { return (s.*font).name; }});
    auto flag = [&](const char* key, bool FontSetting::*field) {
        table.push_back({sec, QString::fromLatin1(key),
                         [=](Settings& s, int, const QString& t) {
                             if (auto v = parseBoolean(t)) {
                                 (s.*font).*field = *v;
                             }
                         },
                         [=](const Settings& s, int) { return formatBoolean((s.*font).*field); }});
    };
    flag("Bold", &FontSetting::bold);
    flag("Italic", &FontSetting::italic);
    table.push_back({sec, QStringLiteral("Size"),
                     [=](Settings& s, int, const QString& t) {
                         // A font of no size or of an absurd one cannot be drawn.
                         if (auto v = parseInteger(t, 1, 512)) {
                             (s.*font).size = *v;
                         }
                     },
                     [=](const Settings& s, int) { return QString::number((s.*font).size); }});
    flag("Underline", &FontSetting::underline);
}

std::vector<SettingEntry> buildTable() {
    using S = Settings;
    std::vector<SettingEntry> t;
    // Per source program, in the order they are read for each program. The names that were
    // historically written in another letter case ("lblaux1Left", "TxtTop", ...) are the same
    // entry: names are compared without regard to case.
    t.push_back(perProgramInt32("CaptureLeft", &S::captureLeft));
    t.push_back(perProgramInt32("CaptureTop", &S::captureTop));
    t.push_back(perProgramInt32("CaptureWidth", &S::captureWidth));
    t.push_back(perProgramInt32("CaptureHeight", &S::captureHeight));
    t.push_back(perProgramInt16("CaptureOffX", &S::captureOffX));
    t.push_back(perProgramInt16("CaptureOffY", &S::captureOffY));
    t.push_back(perProgramInt32("smLeft", &S::smLeft));
    t.push_back(perProgramInt32("smTop", &S::smTop));
    t.push_back(perProgramInt32("smWidth", &S::smWidth));
    t.push_back(perProgramInt32("smHeight", &S::smHeight));
    t.push_back(perProgramInt16("lblSMLeft", &S::lblSMLeft));
    t.push_back(perProgramInt16("lblSMTop", &S::lblSMTop));
    t.push_back(perProgramInt16("lblSMWidth", &S::lblSMWidth));
    t.push_back(perProgramInt16("lblSMHeight", &S::lblSMHeight));
    t.push_back(perProgramBool("SMOn", &S::smOn));
    t.push_back(perProgramInt32("aux1Left", &S::aux1Left));
    t.push_back(perProgramInt32("aux1Top", &S::aux1Top));
    t.push_back(perProgramInt32("aux1Width", &S::aux1Width));
    t.push_back(perProgramInt32("aux1Height", &S::aux1Height));
    t.push_back(perProgramInt16("lblAux1Left", &S::lblAux1Left));
    t.push_back(perProgramInt16("lblAux1Top", &S::lblAux1Top));
    t.push_back(perProgramInt16("lblAux1Width", &S::lblAux1Width));
    t.push_back(perProgramInt16("lblAux1Height", &S::lblAux1Height));
    t.push_back(perProgramBool("aux1On", &S::aux1On));
    t.push_back(perProgramInt32("aux2Left", &S::aux2Left));
    t.push_back(perProgramInt32("aux2Top", &S::aux2Top));
    t.push_back(perProgramInt32("aux2Width", &S::aux2Width));
    t.push_back(perProgramInt32("aux2Height", &S::aux2Height));
    t.push_back(perProgramInt16("lblAux2Left", &S::lblAux2Left));
    t.push_back(perProgramInt16("lblAux2Top", &S::lblAux2Top));
    t.push_back(perProgramInt16("lblAux2Width", &S::lblAux2Width));
    t.push_back(perProgramInt16("lblAux2Height", &S::lblAux2Height));
    t.push_back(perProgramBool("aux2On", &S::aux2On));
    t.push_back(perIndexText("Text", &S::scrollTexts));
    t.push_back(perProgramInt16("TxtOn", &S::txtOn));
    t.push_back(perProgramInt16("TxTTop", &S::txtTop));
    t.push_back(perIndexText("FText", &S::fixedTexts));
    t.push_back(perProgramInt16("FTxtOn", &S::fTxtOn));
    t.push_back(perProgramInt16("FTxTTop", &S::fTxtTop));
    t.push_back(perProgramInt16("FTxTLeft", &S::fTxtLeft));
    t.push_back(perProgramInt16("Transparent", &S::transparent));
    t.push_back(perProgramInt16("ClockLeft", &S::clockLeft));
    t.push_back(perProgramInt16("ClockTop", &S::clockTop));
    t.push_back(perProgramInt16("ClockOnZ", &S::clockOnZ));
    t.push_back(perProgramInt16("ClockOnL", &S::clockOnL));
    t.push_back(perProgramBool("LastRx", &S::lastRx));
    t.push_back(perProgramInt32("LastRxLeft", &S::lastRxLeft));
    t.push_back(perProgramInt32("LastRxWidth", &S::lastRxWidth));
    t.push_back(perIndexText("EPdir", &S::epDir));
    t.push_back(perProgramBool("optDir", &S::optDir));

    // Program-wide.
    t.push_back(int16Value("EPProgress", "Bar", &S::epProgress));
    t.push_back(int32Value("Capture", "barX", &S::barX));
    t.push_back(int32Value("Capture", "barY", &S::barY));
    t.push_back(int32Value("Capture", "barWt", &S::barWt));
    t.push_back(int32Value("Capture", "barHt", &S::barHt));
    addFont(t, "Font", &S::textFont);
    t.push_back(colourValue("Text", "Color", &S::textColour));
    t.push_back(colourValue("Text", "BkgColor", &S::textBkgColour));
    addFont(t, "clkFont", &S::clockFont);
    t.push_back(colourValue("Clock", "Color", &S::clockColour));
    t.push_back(colourValue("Border", "Color", &S::borderColour));
    t.push_back(singleValue("Me", "Left", &S::meLeft));
    t.push_back(singleValue("Me", "Top", &S::meTop));
    // An index outside the source menu would select no program at all.
    t.push_back(intValue("Program", "prog", &S::program, 0, kProgramCount - 1));
    t.push_back(textValue("Ftp", "Address", &S::ftpAddress));
    t.push_back(textValue("Ftp", "Username", &S::ftpUsername));
    t.push_back(textValue("Ftp", "Password", &S::ftpPassword));
    t.push_back(textValue("Ftp", "Dir", &S::ftpDir));
    t.push_back(textValue("Ftp", "Filename", &S::ftpFilename));
    t.push_back(boolValue("Ftp", "FtpOn", &S::ftpOn));
    t.push_back(int16Value("ftpOff", "Pic", &S::ftpOffPic));
    t.push_back(int16Value("Default", "Language", &S::language));
    t.push_back(textValue("update", "versionpage", &S::updateVersionPage));
    t.push_back(textValue("update", "downloadpage", &S::updateDownloadPage));
    t.push_back(textValue("Path", "File1", &S::file1));
    t.push_back(textValue("Path", "File2", &S::file2));
    t.push_back(int16Value("ck", "File1", &S::ckFile1));
    t.push_back(int16Value("ck", "File2", &S::ckFile2));
    t.push_back(int16Value("Text", "Scroll", &S::scrollIndex));
    t.push_back(int16Value("Text", "Fixed", &S::fixedIndex));
    return t;
}

bool isWindowPosition(const SettingEntry& e) {
    return e.section == QLatin1String("Me");
}

} // namespace

const std::vector<SettingEntry>& settingsTable() {
    // Never destroyed: the settings may still be saved while the process exits (see main), after
    // the destructors of ordinary statics have run.
    static const auto* const table = new std::vector<SettingEntry>(buildTable());
    return *table;
}

void clampProgramOnLoad(Settings& s, int p, const VirtualScreen& vs) {
    // A rectangle larger than the screen copies nothing more than black, and a size near the
    // integer limit would overflow the left-plus-width sums every later step makes; so sizes are
    // held to the screen first and the positions below are then tested against bounded sizes.
    const int screenWidth = std::max(vs.width, 0);
    const int screenHeight = std::max(vs.height, 0);
    if (s.captureWidth[p] < 100) {
        s.captureWidth[p] = 400;
    }
    if (s.captureHeight[p] < 100) {
        s.captureHeight[p] = 300;
    }
    s.captureWidth[p] = std::min(s.captureWidth[p], std::max(screenWidth, 100));
    s.captureHeight[p] = std::min(s.captureHeight[p], std::max(screenHeight, 100));
    // Tested against the screen's width and height rather than its right and bottom edges,
    // as stored captures have always been checked.
    if (s.captureLeft[p] < vs.left) {
        s.captureLeft[p] = vs.left;
    }
    if (s.captureLeft[p] > vs.width - s.captureWidth[p]) {
        s.captureLeft[p] = vs.width - s.captureWidth[p];
    }
    if (s.captureTop[p] < vs.top) {
        s.captureTop[p] = vs.top;
    }
    if (s.captureTop[p] > vs.height - s.captureHeight[p]) {
        s.captureTop[p] = vs.height - s.captureHeight[p];
    }

    // The signal meter's source is held like the AUX sources here for every program; start-up
    // still applies its own, stricter rule to the current program.
    auto source = [&](PerProgram<int>& left, PerProgram<int>& top, PerProgram<int>& width,
                      PerProgram<int>& height) {
        if (left[p] < vs.left || left[p] > vs.width) {
            left[p] = 0;
        }
        if (top[p] < vs.top || top[p] > vs.height) {
            top[p] = 0;
        }
        width[p] = std::clamp(width[p], 0, screenWidth);
        height[p] = std::clamp(height[p], 0, screenHeight);
    };
    source(s.smLeft, s.smTop, s.smWidth, s.smHeight);
    source(s.aux1Left, s.aux1Top, s.aux1Width, s.aux1Height);
    source(s.aux2Left, s.aux2Top, s.aux2Width, s.aux2Height);

    auto auxBox = [&](PerProgram<int>& left, PerProgram<int>& top, PerProgram<int>& width,
                      PerProgram<int>& height) {
        width[p] = std::clamp(width[p], 20, kFrameSide.width());
        height[p] = std::clamp(height[p], 15, kFrameSide.height());
        left[p] = std::clamp(left[p], 0, 300);
        if (top[p] < 0) {
            top[p] = 0;
        }
        if (top[p] > 240 - height[p]) {
            top[p] = 240 - height[p];
        }
    };
    auxBox(s.lblAux1Left, s.lblAux1Top, s.lblAux1Width, s.lblAux1Height);
    auxBox(s.lblAux2Left, s.lblAux2Top, s.lblAux2Width, s.lblAux2Height);

    // Boxes on the frame: nothing of a box a whole frame away can be seen, and nothing wider or
    // taller than the frame can be shown; a thumbnail of 20,000 pixels would only cost memory.
    for (auto member : {&Settings::lblSMLeft, &Settings::fTxtLeft, &Settings::clockLeft, &Settings::lastRxLeft}) {
        (s.*member)[p] = std::clamp((s.*member)[p], -kFrameSide.width(), kFrameSide.width());
    }
    for (auto member : {&Settings::lblSMTop, &Settings::txtTop, &Settings::fTxtTop, &Settings::clockTop}) {
        (s.*member)[p] = std::clamp((s.*member)[p], -kFrameSide.height(), kFrameSide.height());
    }
    s.lblSMWidth[p] = std::clamp(s.lblSMWidth[p], 0, kFrameSide.width());
    s.lblSMHeight[p] = std::clamp(s.lblSMHeight[p], 0, kFrameSide.height());
    s.lastRxWidth[p] = std::clamp(s.lastRxWidth[p], 0, kFrameSide.width());
}

void clampProgressBarOnLoad(Settings& s, const VirtualScreen& vs) {
    // The bar is measured from the source window, which lies on the screen: nothing of it
    // further away than the screen is wide or high can be copied.
    const int screenWidth = std::max(vs.width, 0);
    const int screenHeight = std::max(vs.height, 0);
    s.barX = std::clamp(s.barX, -screenWidth, screenWidth);
    s.barWt = std::clamp(s.barWt, 0, screenWidth);
    s.barHt = std::clamp(s.barHt, 0, screenHeight);
    if (s.barY < vs.top) {
        s.barY = vs.top;
    }
    if (s.barY > vs.height - s.barHt) {
        s.barY = vs.height - s.barHt;
    }
}

Settings loadSettings(const IniFile& store, const VirtualScreen& screen) {
    Settings s;
    for (const SettingEntry& e : settingsTable()) {
        if (e.perIndex()) {
            for (int i = 0; i < kProgramCount; ++i) {
                if (auto text = store.value(e.section, QString::number(i))) {
                    e.read(s, i, *text);
                }
            }
        } else if (auto text = store.value(e.section, e.key)) {
            e.read(s, 0, *text);
        }
    }
    for (int p = 0; p < kProgramCount; ++p) {
        clampProgramOnLoad(s, p, screen);
    }
    clampProgressBarOnLoad(s, screen);
    return s;
}

void saveSettings(const Settings& s, IniFile& store, bool includeWindowPosition) {
    for (const SettingEntry& e : settingsTable()) {
        if (e.perIndex()) {
            for (int i = 0; i < kProgramCount; ++i) {
                store.setValue(e.section, QString::number(i), e.write(s, i));
            }
        } else if (includeWindowPosition || !isWindowPosition(e)) {
            store.setValue(e.section, e.key, e.write(s, 0));
        }
    }
}

} // namespace oculet
