#pragma once

// Language files: a version line, three header lines for the translator, then the interface
// texts one per line, found by their position. The first 74 must be there; a file without the
// later ones (written for an earlier copy, which reads only 74) leaves them in English. A translator may write "Key = value" on a line;
// only the text after the last "=" counts.

#include "settings/InterfaceTexts.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace oculet {

inline constexpr int kLanguageCount = 5;

struct LanguageInfo {
    QString fileName;
    // Said before any of the language's own texts are known; a loaded file replaces them.
    QString wrongVersion;
    QString fileMissing;
};

// The file and the two messages of a language index; an index outside 0..4 names no file and
// says the English messages.
LanguageInfo languageInfo(int index);

// Files written here are UTF-8; files written on Windows in its Western code page are read as
// Windows-1252 when they are not valid UTF-8.
QString decodeLanguageText(const QByteArray& bytes);

// The version line must end in exactly `versionText` ("Oculet 2.21") from the first occurrence of
// the product name on, blanks and a CR after it aside; anything before the product name is free.
bool versionLineMatches(const QString& line, const QString& versionText);

// The value of a text line: what follows its last "=", without surrounding blanks.
QString textLineValue(const QString& line);

enum class LanguageStatus {
    Loaded,
    WrongVersion, // a file for another version: nothing of it is used
    Unusable,     // no version line at all, or fewer than the 74 texts every file has
};

struct LanguageFileContents {
    LanguageStatus status = LanguageStatus::Unusable;
    std::array<QString, kTextCount> texts; // filled only when loaded
};

// The whole file's bytes, as read, against the version this program is.
LanguageFileContents parseLanguageFile(const QByteArray& bytes, const QString& versionText);

} // namespace oculet
