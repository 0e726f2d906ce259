#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

class QImage;

namespace oculet {

class JpegEncoder;

// A failure of the JPEG writer. Carries the error number and source the rest of the program
// recognises the encoder's failures by, and the message with the failure code.
class JpegError : public std::runtime_error {
public:
    static constexpr int kNumber = 26001;

    JpegError(QString message, int code);

    int number() const { return kNumber; }
    int code() const { return code_; }
    // "<executable name>.mIntelJPEGLibrary"
    QString source() const;
    QString message() const { return message_; }

private:
    QString message_;
    int code_;
};

inline constexpr int kPublishedJpegQuality = 65;

// The name of the JPEG that is uploaded, in the data folder and on the server.
inline QString tempJpegName() { return QStringLiteral("temp.jpg"); }

// Writes the frame as "temp.jpg" in the data folder at quality 65 and returns the file's bytes.
// The file appears whole or not at all: it is written under a temporary name in the same folder
// and renamed into place. An existing file keeps its last-access and last-modified times and its
// permission bits (Linux has no settable creation time). Throws JpegError: "Failed to initialise
// the IJL library: <code>" when the encoder cannot start, "Failed to save to JPG <code>" when
// encoding or writing fails (the code is the encoder's, or the system's errno for a file
// failure); the file already there is then left as it was.
QByteArray saveFrameAsJpeg(const QImage& frame, const QString& dataFolder);
// The same with the given encoder; the one above keeps one libjpeg-turbo encoder per thread.
QByteArray saveFrameAsJpegWith(const QImage& frame, const QString& dataFolder, JpegEncoder& encoder);
// The two halves of it: the frame's JPEG bytes, and writing them as "temp.jpg".
QByteArray encodeFrameJpeg(const QImage& frame);
QByteArray encodeFrameJpegWith(const QImage& frame, JpegEncoder& encoder);
void writeTempJpeg(const QByteArray& jpeg, const QString& dataFolder);

} // namespace oculet
