#include "settings/SettingsTable.h"

#include "settings/Corrections.h"
#include "settings/SettingValues.h"

#include <array>
#include <limits>
#include <utility>

namespace oculet {
namespace {

constexpr int kInt16Min = std::numeric_limits<std::int16_t>::min();
constexpr int kInt16Max = std::numeric_limits<std::int16_t>::max();
constexpr int kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr int kInt32Max = std::numeric_limits<std::int32_t>::max();

const QString kPerIndex;

// Builders for the rows of the table, one per kind of value. A per-program value is reached by
// a field: a callable giving the value of one program from the settings, const or not.

template <class T> auto memberOf(PerProgram<T> Settings::*member) {
    return [member](auto& s, int i) -> auto& { return (s.*member)[i]; };
}

template <class Field> SettingEntry perProgramInt(const QString& section, Field field, int min, int max) {
    return {section, kPerIndex,
            [=](Settings& s, int i, const QString& t) {
                if (auto v = parseInteger(t, min, max)) {
                    field(s, i) = *v;
                }
            },
            [=](const Settings& s, int i) { return QString::number(field(s, i)); }};
}
SettingEntry perProgramInt16(const char* section, PerProgram<int> Settings::*member) {
    return perProgramInt(QString::fromLatin1(section), memberOf(member), kInt16Min, kInt16Max);
}
SettingEntry perProgramInt32(const char* section, PerProgram<int> Settings::*member) {
    return perProgramInt(QString::fromLatin1(section), memberOf(member), kInt32Min, kInt32Max);
}

template <class Field> SettingEntry perProgramBool(const QString& section, Field field) {
    return {section, kPerIndex,
            [=](Settings& s, int i, const QString& t) {
                if (auto v = parseBoolean(t)) {
                    field(s, i) = *v;
                }
            },
            [=](const Settings& s, int i) { return formatBoolean(field(s, i)); }};
}
SettingEntry perProgramBool(const char* section, PerProgram<bool> Settings::*member) {
    return perProgramBool(QString::fromLatin1(section), memberOf(member));
}

// The stored names of the copied boxes, as they have always been written: the source rectangle
// under "<source>Left", "<source>Top", ..., the place on the frame under "<place>Left", ..., and
// the switch under its own name.
struct CopiedRegionNames {
    const char* source;
    const char* place;
    const char* on;
};
constexpr std::array<CopiedRegionNames, kCopiedBoxCount> kCopiedRegionNames = {{
    {"sm", "lblSM", "SMOn"},
    {"aux1", "lblAux1", "aux1On"},
    {"aux2", "lblAux2", "aux2On"},
}};

// The source rectangle (32-bit screen pixels), the place (16-bit frame pixels) and the switch.
void addCopiedRegion(std::vector<SettingEntry>& table, int box) {
    const CopiedRegionNames& names = kCopiedRegionNames[std::size_t(box)];
    const std::pair<const char*, int StoredRect::*> edges[] = {
        {"Left", &StoredRect::left}, {"Top", &StoredRect::top}, {"Width", &StoredRect::width},
        {"Height", &StoredRect::height}};
    auto add = [&](const char* prefix, StoredRect CopiedRegion::*rect, int min, int max) {
        for (const auto& named : edges) {
            int StoredRect::*const edge = named.second;
            auto field = [box, rect, edge](auto& s, int i) -> auto& { return (s.copiedRegions[box][i].*rect).*edge; };
            table.push_back(perProgramInt(QLatin1String(prefix) + QLatin1String(named.first), field, min, max));
        }
    };
    add(names.source, &CopiedRegion::source, kInt32Min, kInt32Max);
    add(names.place, &CopiedRegion::place, kInt16Min, kInt16Max);
    table.push_back(perProgramBool(QString::fromLatin1(names.on),
                                   [box](auto& s, int i) -> auto& { return s.copiedRegions[box][i].on; }));
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
    for (int box = 0; box < kCopiedBoxCount; ++box) {
        addCopiedRegion(t, box);
    }
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
    t.push_back(intValue("Ftp", "interval", &S::ftpInterval, 0, 24 * 3600));
    t.push_back(int16Value("ftpOff", "Pic", &S::ftpOffPic));
    t.push_back(int16Value("Default", "Language", &S::language));
    t.push_back(textValue("update", "versionpage", &S::updateVersionPage));
    t.push_back(textValue("update", "downloadpage", &S::updateDownloadPage));
    t.push_back(boolValue("web", "on", &S::webOn));
    t.push_back(intValue("web", "port", &S::webPort, 1, 65535));
    t.push_back(boolValue("web", "lan", &S::webLan));
    t.push_back(textValue("web", "password", &S::webPassword));
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
    correctLoadedSettings(s, screen);
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
