#pragma once

// The settings file: "[section]" lines followed by "key=value" lines. Section and key names are
// folded to lower case, so names that differ only in letter case are one entry. Values are text;
// a value that would not survive a plain line (leading or trailing blanks, a line break, a
// leading quote) is written in double quotes with backslash escapes.

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace oculet {

class IniFile {
public:
    // Reads a file. A missing file gives an empty store (every setting then takes its default);
    // lines that are not understood are skipped.
    static IniFile read(const QString& path);
    static IniFile parse(const QByteArray& text);

    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);

    QByteArray serialise() const;

    // Writes the whole file to a temporary file beside it and renames it into place, readable
    // by its owner only: a crash or a full disk never leaves a half-written settings file.
    // Creates the folder when missing. Returns false and an error text when anything fails, in
    // which case the previous file is left as it was.
    bool write(const QString& path, QString* error = nullptr) const;

private:
    struct Section {
        QString name;
        std::vector<std::pair<QString, QString>> entries;
    };
    Section* findSection(const QString& folded);
    const Section* findSection(const QString& folded) const;

    std::vector<Section> sections_;
};

} // namespace oculet
