#include "publish/RemotePath.h"

namespace oculet {

QString remoteDirectory(const QString& webDirectory) {
    return webDirectory.endsWith(u'/') ? webDirectory : webDirectory + u'/';
}

} // namespace oculet
