// The settings file as any editor may have left it: read, loaded into the model with the
// corrections of loading, saved and read back. Whatever the file held, the program must start
// from it, and what it saves must load as the same settings.

#include "platform/IniFile.h"
#include "settings/SettingsTable.h"

#include <cstdint>
#include <cstdlib>

using namespace oculet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const VirtualScreen screen{-1280, 0, 3200, 1080}; // two monitors, one left of the main one
    IniFile store = IniFile::parse(bytes);
    const Settings loaded = loadSettings(store, screen);

    saveSettings(loaded, store, true);
    const QByteArray written = store.serialise();
    const IniFile reread = IniFile::parse(written);
    if (reread.serialise() != written) {
        std::abort(); // the written file does not read back as itself
    }
    if (!(loadSettings(reread, screen) == loaded)) {
        std::abort(); // a setting changed between saving and the next start
    }
    return 0;
}
