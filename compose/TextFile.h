#pragma once

// The scrolling and fixed texts can come from a text file that another program keeps up to date
// (a weather line, a contest exchange). It is read on every frame, so reading must be cheap and
// must never block or fail loudly.

#include <QString>

#include <optional>

namespace oculet {

// The first field of the file's first line: up to the first comma or line end, blanks around
// it dropped; a field in double quotes may hold commas. At most a few KiB are read, so a huge
// file costs no more than a small one. Text is UTF-8, or Latin-1 when it is not valid UTF-8.
// Nothing (std::nullopt) for an empty path, a missing or vanished file, anything that is not a
// regular file (a FIFO or device would block), or a binary file.
std::optional<QString> readFirstField(const QString& path);

// The list-input rule on one line of text, as above.
QString firstField(const QString& line);

// The text a text overlay shows: the chosen line of its list, or, when its text file is in use,
// the file's first field with one blank on each side. Empty when there is nothing to show.
template <class List> QString overlayText(bool fromFile, const QString& path, const List& list, int index) {
    if (!fromFile) {
        return index >= 0 && index < static_cast<int>(list.size()) ? list[index] : QString();
    }
    const std::optional<QString> field = readFirstField(path);
    return field ? QStringLiteral(" ") + *field + QStringLiteral(" ") : QString();
}

} // namespace oculet
