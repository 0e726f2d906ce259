#include "app/SettingsFile.h"

#include <cstdio>

namespace oculet {

Settings SettingsFile::load(const VirtualScreen& screen, QString* unreadable) {
    std::optional<IniFile> stored = IniFile::read(path_, unreadable);
    savable_ = stored.has_value();
    store_ = std::move(stored).value_or(IniFile{});
    return loadSettings(store_, screen);
}

void SettingsFile::save(const Settings& settings, bool withWindowPlace) {
    if (!savable_) {
        std::fprintf(stderr, "Oculet: the settings were not saved: the settings file could not be read at start-up\n");
        return;
    }
    oculet::saveSettings(settings, store_, withWindowPlace);
    QString error;
    if (!store_.write(path_, &error)) {
        std::fprintf(stderr, "Oculet: the settings could not be saved: %s\n", qPrintable(error));
    }
}

QString SettingsFile::unreadableNotice(const QString& reason) const {
    return QStringLiteral("The settings file %1 cannot be read (%2).\n\nOculet runs on its default settings this "
                          "time and will not save over that file. Make it readable and start Oculet again to "
                          "have your settings back.")
        .arg(path_, reason);
}

} // namespace oculet
