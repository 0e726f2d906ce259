#include "platform/NewestFile.h"

#include <QFile>

#include <cstdint>
#include <optional>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oculet {

QString newestFileEndingIn(const QString& folder, QLatin1StringView suffix) {
    if (folder.isEmpty()) {
        return {};
    }
    const int folderFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return {};
    }
    DIR* entries = ::fdopendir(folderFd);
    if (entries == nullptr) {
        ::close(folderFd);
        return {};
    }
    QString newest;
    std::optional<std::int64_t> newestMs;
    const std::size_t tail = std::size_t(suffix.size());
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view name(entry->d_name);
        if (name.empty() || name.front() == '.' || name.size() < tail ||
            ::strncasecmp(name.data() + name.size() - tail, suffix.data(), tail) != 0) {
            continue;
        }
        struct stat st {};
        if (::fstatat(folderFd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        const std::int64_t ms = std::int64_t(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
        if (!newestMs || ms > *newestMs) {
            newest = QFile::decodeName(entry->d_name);
            newestMs = ms;
        }
    }
    ::closedir(entries);
    return newest;
}

} // namespace oculet
