#pragma once

// Loading the chosen language into the interface texts, and putting the language files and the
// help text that ship with Oculet into the data folder.

#include "settings/InterfaceTexts.h"
#include "settings/LanguageFile.h"

#include <QString>

#include <array>
#include <optional>

namespace oculet {

class Messages;

class LanguageLoader {
public:
    // Files are read from `languagesFolder`; `versionText` is the version they must name.
    LanguageLoader(InterfaceTexts& texts, Messages& messages, QString languagesFolder, QString versionText);

    // Loads the file of language `index` into the texts; true when it was loaded. A file of
    // another version is said every time and changes nothing; a missing or broken one is said
    // once, and the program carries on with the texts it has.
    bool load(int index);

private:
    InterfaceTexts& texts_;
    Messages& messages_;
    QString folder_;
    QString version_;
    // Per language: its own wording of the two messages, once one of its files has been read.
    std::array<LanguageInfo, kLanguageCount> said_;
    std::optional<int> missingSaidFor_;
};

// Puts the shipped language files into `languagesFolder` where they are missing or name another
// version; a file that names this version is the user's (or a translator's) and is kept. A file
// that is replaced is first copied beside it with ".bak" added to its name, and the copies made
// are told on `messages` (and stderr). Puts Help.txt into `dataFolder` when it is missing.
void installShippedFiles(const QString& dataFolder, const QString& languagesFolder, const QString& versionText,
                         Messages& messages);

} // namespace oculet
