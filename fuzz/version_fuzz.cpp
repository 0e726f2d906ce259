// The version page of the update check, as any server (or anything in between) may send it.

#include "settings/VersionText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace oculet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray page(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QString> offered = offeredVersionText(page);
    if (!offered) {
        return 0;
    }
    // At most four characters, read as a number that can be compared with this version.
    const double value = versionValue(*offered);
    if (offered->size() > 4 || !std::isfinite(value) || value < 0 || value >= 10000) {
        std::abort();
    }
    return 0;
}
