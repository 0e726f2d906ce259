#pragma once

// The settings file: "[section]" lines followed by "key=value" lines. Section and key names are
// folded to lower case, so names that differ only in letter case are one entry. Values are text;
// a value that would not survive a plain line (leading or trailing blanks, a line break, a
// leading quote) is written in double quotes with backslash escapes.
//
// Each value keeps the bytes it was read with until it is given another text, so a value written
// in another encoding (Latin-1 by an old editor) is saved back byte for byte. Comments and lines
// that are not understood are kept where they stood, and a file an editor saved as UTF-16, with
// a UTF-8 byte-order mark or with CR LF line ends is written back the same way.

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

    // Reads a file. A missing file gives an empty store (every setting then takes its default).
    // A file that exists but cannot be read whole (no permission, a read error, not a plain file,
    // over kMaxFileSize) or is not understood (see fromBytes) gives nothing, and `error` says
    // why: such a file must not be overwritten by a store that never held its values.
    static std::optional<IniFile> read(const QString& path, QString* error = nullptr);
    // The store the bytes of a settings file hold; nothing, and `error` says why, when they hold
    // text but not a single "[section]" line (an encoding not recognised, another kind of file).
    static std::optional<IniFile> fromBytes(const QByteArray& bytes, QString* error = nullptr);
    // The same, never refusing: lines that are not understood are kept but give no value.
    static IniFile parse(const QByteArray& bytes);

    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);

    QByteArray serialise() const;

    // Writes the whole file to a temporary file beside it and renames it into place, readable
    // by its owner only: a crash or a full disk never leaves a half-written settings file.
    // Creates the folder when missing. Returns false and an error text when anything fails, in
    // which case the previous file is left as it was.
    bool write(const QString& path, QString* error = nullptr) const;

private:
    enum class Encoding { Utf8, Utf8WithMark, Utf16LE, Utf16BE };
    // Comments and lines not understood, whole with their line ends, are held by what follows them.
    struct Entry {
        QString key;
        QByteArray raw; // the value's bytes, unquoted
        QByteArray leading;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        QHash<QString, std::size_t> index;
        QByteArray leading;
        QByteArray tail; // after its last entry, up to a blank line
    };
    Section& section(const QString& folded);
    Entry& setRaw(Section& section, const QString& foldedKey, QByteArray raw);
    QByteArray lineEnd() const { return crlf_ ? "\r\n" : "\n"; }

    std::vector<Section> sections_;
    QHash<QString, std::size_t> index_;
    QByteArray header_; // the text of a file that named no section
    QByteArray trailer_;
    Encoding encoding_ = Encoding::Utf8;
    bool crlf_ = false;
    bool strayText_ = false; // text outside any section that is not a comment
};

} // namespace oculet
