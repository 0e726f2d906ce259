#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace oculet {

// Writes a whole file under a temporary name in the same folder, flushes it to the disk and
// renames it over `path`, so a reader (a webcam program, the next start of Oculet) sees either
// the old file or the new one, never half of one. Every write is checked: a full disk leaves the
// old file untouched and removes the temporary one. `mode` is the new file's permission bits.
// Returns false with a plain error text on failure.
bool writeFileAtomically(const QString& path, const QByteArray& contents, mode_t mode,
                         QString* error = nullptr);

} // namespace oculet
