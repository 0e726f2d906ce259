#pragma once

#include <QString>

namespace oculet {

// The remote folder as used on the server: the text of the web-directory box with a "/"
// appended when it does not end in one, so "" becomes "/", "cam" becomes "cam/".
QString remoteDirectory(const QString& webDirectory);

} // namespace oculet
