#pragma once

// Reading the version a version page offers and comparing it with this program's own.

#include <QByteArray>
#include <QString>

#include <optional>

namespace oculet {

// The version a version page offers: the four characters that begin eleven after the first
// "Oculet" on it (fewer near the end of the page); nothing when the name is not there.
std::optional<QString> offeredVersionText(const QByteArray& page);
// The numeric value of a version text: leading blanks skipped, then digits with at most one "."
// up to the first other character; 0 without digits. "2.3 " is 2.3, newer than 2.21.
double versionValue(const QString& text);
// This program's version as a number, from its version text ("Oculet 2.21" gives 2.21).
double installedVersion(const QString& programVersionText);

} // namespace oculet
