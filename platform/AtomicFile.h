#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

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
};

// Writes a whole file under a temporary name in the same folder and renames it over `path`, so a
// reader (a webcam program, the next start of Oculet) sees either the old file or the new one,
// never half of one. Every write is checked: a full disk leaves the old file untouched and
// removes the temporary one. A `path` that is a symbolic link is written through the link: the
// file it names is replaced and the link stays. Returns 0, or the errno of what failed.
int replaceFile(const QString& path, const QByteArray& contents, const AtomicWriteOptions& options = {});

// A file other programs read that is replaced several times a second (Cam_1.bmp, temp.jpg).
// Each new content is written into a spare file beside it, which then swaps places with it, so a
// reader sees the old file or the new one, never half of one, as with replaceFile. The file
// replaced becomes the next spare: no file is made or deleted per frame, and ext4 does not push
// every frame to the disk as it does when a rename replaces a file. A spare some reader still has
// open is never written; a fresh one is made instead. Where the filesystem cannot swap files,
// each content is written as replaceFile does.
class FrequentFile {
public:
    // Removes the spare and temporary files a writer of the same file left when it was killed:
    // one writer per file.
    explicit FrequentFile(QString path, AtomicWriteOptions options = {});
    ~FrequentFile(); // deletes the spare
    FrequentFile(const FrequentFile&) = delete;
    FrequentFile& operator=(const FrequentFile&) = delete;

    // 0, or the errno of what failed (the file is then as it was).
    int replace(const QByteArray& contents);
    const QString& path() const { return path_; }

private:
    bool rewriteSpare(const QByteArray& target, const QByteArray& contents);
    void dropSpare();

    QString path_;
    QByteArray pathBytes_; // absolute, for the system calls
    AtomicWriteOptions options_;
    QByteArray spare_; // the spare's path, empty when there is none
};

// Removes the temporary files of replaceFile(path) left by a process killed while writing (one of
// the settings file's holds the FTP password). Only for a writer that knows it is alone.
void removeStaleTemporaries(const QString& path);

// The same with a plain error text for the user.
bool writeFileAtomically(const QString& path, const QByteArray& contents, const AtomicWriteOptions& options,
                         QString* error = nullptr);

} // namespace oculet
