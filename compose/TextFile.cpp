#include "compose/TextFile.h"

#include "platform/RegularFile.h"

#include <QFile>
#include <QStringDecoder>

namespace oculet {
namespace {

// Far more than any line that fits on a 320-pixel frame.
constexpr qint64 kMaxRead = 4096;

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

} // namespace

QString firstField(const QString& line) {
    qsizetype at = 0;
    while (at < line.size() && isBlank(line[at])) {
        ++at;
    }
    if (at < line.size() && line[at] == u'"') {
        const qsizetype close = line.indexOf(u'"', at + 1);
        return close < 0 ? line.mid(at + 1) : line.mid(at + 1, close - at - 1);
    }
    const qsizetype comma = line.indexOf(u',', at);
    QString field = comma < 0 ? line.mid(at) : line.mid(at, comma - at);
    while (!field.isEmpty() && isBlank(field.back())) {
        field.chop(1);
    }
    return field;
}

std::optional<QString> readFirstField(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    QFile file;
    if (!openRegularFile(file, path)) {
        return std::nullopt;
    }
    QByteArray bytes = file.read(kMaxRead);
    const qsizetype end = bytes.indexOf('\n');
    const qsizetype cr = bytes.indexOf('\r');
    qsizetype lineEnd = end < 0 ? bytes.size() : end;
    if (cr >= 0 && cr < lineEnd) {
        lineEnd = cr;
    }
    bytes.truncate(lineEnd);
    if (bytes.contains('\0')) {
        return std::nullopt;
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    // A stateful decoder holds back a character cut by the read limit instead of calling it invalid.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString line = utf8.decode(bytes);
    if (utf8.hasError()) {
        line = QString::fromLatin1(bytes);
    }
    return firstField(line);
}

} // namespace oculet
