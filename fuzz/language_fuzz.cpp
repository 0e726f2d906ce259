// A language file from anywhere (the data folder is the user's to edit): read as it stands. A
// file taken as loaded gives every interface text as a trimmed value after the last "=".

#include "settings/LanguageFile.h"

#include <cstdint>
#include <cstdlib>

using namespace oculet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const LanguageFileContents contents = parseLanguageFile(bytes, QStringLiteral("Oculet 2.21"));
    if (contents.status != LanguageStatus::Loaded) {
        return 0;
    }
    for (const QString& text : contents.texts) {
        if (text.contains(u'=') || text.contains(u'\n') || text != text.trimmed()) {
            std::abort();
        }
    }
    return 0;
}
