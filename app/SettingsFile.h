#pragma once

// The settings file: read once at start-up, written at the end. A file that exists but cannot be
// read is never written over, so the user's settings are not lost to a passing fault.

#include "platform/IniFile.h"
#include "settings/Settings.h"
#include "settings/SettingsTable.h"

#include <QString>

namespace oculet {

class SettingsFile {
public:
    explicit SettingsFile(QString path) : path_(std::move(path)) {}

    // The stored settings, or the defaults when there is no file or it cannot be read (the
    // reason then in *unreadable).
    Settings load(const VirtualScreen& screen, QString* unreadable);
    // Whether the file may be written: false when it exists but could not be read.
    bool savable() const { return savable_; }
    // What the user is told when the file could not be read for `reason`.
    QString unreadableNotice(const QString& reason) const;
    // Writes the settings over what was read, keeping the keys this version does not know; the
    // window's place only when `withWindowPlace`. Failures are said on standard error.
    void save(const Settings& settings, bool withWindowPlace);

private:
    QString path_;
    IniFile store_;
    bool savable_ = true;
};

} // namespace oculet
