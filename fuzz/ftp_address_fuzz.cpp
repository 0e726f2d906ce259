// The publishing panel's boxes, one a line: address, user name, password, web folder, file name.
// An address that is taken must give a URL for the host and port typed, whose path carries no
// character that could make it mean another place on the server.

#include "platform/FtpAddress.h"
#include "publish/RemotePath.h"

#include <QHostAddress>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <cstdlib>

using namespace oculet;

namespace {

bool isAscii(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() > 0x7E) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList boxes = text.split(u'\n');
    while (boxes.size() < 5) {
        boxes << QString();
    }
    const FtpEndpoint endpoint = parseFtpAddress(boxes[0], boxes[1], boxes[2]);
    if (!endpoint.addressError.isEmpty()) {
        return 0;
    }
    if (endpoint.host.isEmpty() || endpoint.port < 1 || endpoint.port > 65535) {
        std::abort();
    }
    const QString folder = remoteDirectory(boxes[3]);
    if (!folder.endsWith(u'/')) {
        std::abort();
    }
    const QString url = ftpUrl(endpoint, folder, boxes[4]);
    if (url.isEmpty()) {
        return 0;
    }
    // Everything after the host and port is percent-encoded path.
    const qsizetype pathStart = url.indexOf(u'/', url.indexOf(QStringLiteral("://")) + 3);
    if (pathStart < 0) {
        std::abort();
    }
    for (const QChar c : url.mid(pathStart)) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && !QStringLiteral("-._~%/").contains(c)) {
            std::abort();
        }
    }
    // Where a URL reader sees a host at all, it is the one typed (or the same address written
    // another way) and the port typed.
    const QUrl parsed(url, QUrl::StrictMode);
    if (parsed.isValid() && isAscii(endpoint.host)) {
        const QString host = parsed.host(QUrl::EncodeUnicode);
        if (parsed.port() != endpoint.port ||
            (host.compare(endpoint.host, Qt::CaseInsensitive) != 0 && QHostAddress(host).isNull())) {
            std::abort();
        }
    }
    return 0;
}
