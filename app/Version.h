#pragma once

#include <QString>

namespace oculet {

// "Oculet 2.21": the product name, one blank, the version. Compared with language files and the
// version offered on the maker's page.
inline QString versionText() { return QStringLiteral(OCULET_VERSION_TEXT); }
inline QString productName() { return QStringLiteral("Oculet"); }

} // namespace oculet
