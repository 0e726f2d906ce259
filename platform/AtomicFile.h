#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <vector>

namespace oculet {

struct AtomicWriteOptions {
    // Permission bits of a new file.
    mode_t mode = 0644;
    // A file that is replaced passes its permission bits and access/modification times on to
    // the new content, so a program watching it sees the same file it was given.
    bool keepModeAndTimes = false;
    // Flush the new content to the disk before it takes the old one's place: for files whose loss
    // in a power cut would cost the user something (the settings), not for frames rewritten four
    // times a second.
    bool durable = false;
    // For frames rewritten several times a second: the new file is swapped with the old one and
    // the old one deleted. Readers see the same all-or-nothing change as with a rename, but ext4
    // does not push the new data to the disk as it does when a rename replaces a file, so frames
    // that live a quarter of a second are never written out at all.
    bool frequent = false;
};

// Writes a whole file under a temporary name in the same folder and renames it over `path`, so a
// reader (a webcam program, the next start of Oculet) sees either the old file or the new one,
// never half of one. Every write is checked: a full disk leaves the old file untouched and
// removes the temporary one. A `path` that is a symbolic link is written through the link: the
// file it names is replaced and the link stays. Returns 0, or the errno of what failed.
int replaceFile(const QString& path, const QByteArray& contents, const AtomicWriteOptions& options = {});

// Replaces each of `paths` with the same contents, as replaceFile does. Where a folder shares
// the first one's filesystem the bytes are not written again: its file becomes a second link to
// the first one's new file (never written in place, so nothing is shared that can change). Returns
// 0 or an errno for each path, in order.
std::vector<int> replaceFiles(const QStringList& paths, const QByteArray& contents,
                              const AtomicWriteOptions& options = {});

// Removes the temporary files of replaceFile(path) left by a process killed while writing (one of
// the settings file's holds the FTP password). Only for a writer that knows it is alone.
void removeStaleTemporaries(const QString& path);

// The same with a plain error text for the user.
bool writeFileAtomically(const QString& path, const QByteArray& contents, const AtomicWriteOptions& options,
                         QString* error = nullptr);

} // namespace oculet
