#pragma once

// The settings file: "[section]" lines followed by "key=value" lines. Section and key names are
// folded to lower case, so names that differ only in letter case are one entry. Values are text;
// a value that would not survive a plain line (leading or trailing blanks, a line break, a
// leading quote) is written in double quotes with backslash escapes.
//
// Each value keeps the bytes it was read with until it is given another text, so a value written
// in another encoding (Latin-1 by an old editor) is saved back byte for byte.

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

namespace oculet {

class IniFile {
public:
    // Larger files are not settings files: refused rather than read for minutes.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    // Reads a file. A missing file gives an empty store (every setting then takes its default);
    // lines that are not understood are skipped. A file that exists but cannot be read whole
    // (no permission, a read error, a folder, over kMaxFileSize) gives nothing, and `error`
    // says why: such a file must not be overwritten by a store that never held its values.
    static std::optional<IniFile> read(const QString& path, QString* error = nullptr);
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
    struct Entry {
        QString key;
        QByteArray raw; // the value's bytes, unquoted
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        QHash<QString, std::size_t> index;
    };
    Section& section(const QString& folded);
    void setRaw(Section& section, const QString& foldedKey, QByteArray raw);

    std::vector<Section> sections_;
    QHash<QString, std::size_t> index_;
};

} // namespace oculet
