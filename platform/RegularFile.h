#pragma once

// Reading the files a user or another program can put in Oculet's way (the off picture, language
// files, the settings file, the overlay text files, received pictures). Only a plain file is read:
// a FIFO would hold the program in open() until someone wrote to it, a device may never end, and
// neither is what the user meant.

#include <QByteArray>
#include <QString>

class QFile;

namespace oculet {

struct FileRead {
    enum class Outcome {
        Read,
        Missing,  // nothing of that name, or a folder on the way is missing
        NotAFile, // a folder, FIFO, device or socket
        TooLarge, // over the limit the reader gave
        Failed,   // no permission, a read error: `error` holds the errno
    };
    Outcome outcome = Outcome::Missing;
    QByteArray bytes; // the whole file when read, else empty
    qint64 limit = 0;
    int error = 0;

    bool ok() const { return outcome == Outcome::Read; }
    // Why the file was not read, in words for the user ("it is not a plain file"); empty when read.
    QString reason() const;
};

// More than any picture a user would choose to show when the webcam is off (CamOff.jpg).
inline constexpr qint64 kMaxOffPictureSize = 32 * 1024 * 1024;

// The whole file at `path` (links followed), when it is a plain file of at most `maxBytes`.
// Never waits on a FIFO or a device.
FileRead readRegularFile(const QString& path, qint64 maxBytes);

// Opens `path` into `file` for reading, as readRegularFile would, for a reader that takes its
// bytes bit by bit (a picture decoder). False, with `file` left closed, when it is not a plain file.
bool openRegularFile(QFile& file, const QString& path);

// Whether the entry at `path` itself (a link is not followed) may have been put there by another
// user: it belongs to neither this user nor the system, and another user may write its folder
// (as in a shared program folder of mode 1777, or one another user owns).
bool plantedByAnotherUser(const QString& path);

} // namespace oculet
