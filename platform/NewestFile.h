#pragma once

#include <QLatin1StringView>
#include <QString>

namespace oculet {

// The name of the newest regular file in `folder` (symbolic links followed) whose name ends in
// `suffix`, letters compared without regard to case; hidden files are left out. Times count to
// the millisecond, and between equal times the folder's own order decides. Empty when there is
// none or the folder cannot be read. Read with the system's own calls: it runs four times a
// second, and Qt's directory iterator costs several times as much.
QString newestFileEndingIn(const QString& folder, QLatin1StringView suffix);

} // namespace oculet
