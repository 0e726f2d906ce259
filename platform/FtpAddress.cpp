#include "platform/FtpAddress.h"

#include <QStringList>
#include <QUrl>

namespace oculet {

bool sendableOverFtp(const QString& text) {
    return !text.contains(u'\r') && !text.contains(u'\n') && !text.contains(QChar(0));
}

bool usableRemoteName(const QString& name) {
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') && sendableOverFtp(name);
}

FtpEndpoint FtpEndpoint::fromAddress(const QString& address, const QString& username,
                                     const QString& password) {
    return parseFtpAddress(address, username, password);
}

FtpEndpoint parseFtpAddress(const QString& address, const QString& username, const QString& password) {
    FtpEndpoint endpoint;
    endpoint.username = username;
    endpoint.password = password;
    // FTP sends the user name and password as command lines: a line break in either would
    // end the command and start another of the user's making.
    if (!sendableOverFtp(username) || !sendableOverFtp(password)) {
        endpoint.addressError =
            QStringLiteral("The FTP user name or password holds a line break or a NUL character, which FTP cannot send.");
        return endpoint;
    }

    QString text = address.trimmed();
    if (const qsizetype sep = text.indexOf(QStringLiteral("://")); sep >= 0) {
        const QString scheme = text.left(sep).toLower();
        if (scheme == QStringLiteral("ftps")) {
            endpoint.scheme = FtpScheme::Ftps;
        } else if (scheme == QStringLiteral("sftp")) {
            endpoint.scheme = FtpScheme::Sftp;
            endpoint.port = 22;
        } else if (scheme != QStringLiteral("ftp")) {
            endpoint.addressError =
                QStringLiteral("Only ftp://, ftps:// and sftp:// addresses can be used.");
            return endpoint;
        }
        text = text.mid(sep + 3);
    }
    while (text.endsWith(u'/')) {
        text.chop(1);
    }
    QString portText;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0) {
            endpoint.addressError = QStringLiteral("The FTP address is not complete.");
            return endpoint;
        }
        endpoint.host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':')) {
                endpoint.addressError = QStringLiteral("The FTP address is not valid.");
                return endpoint;
            }
            portText = rest.mid(1);
        }
    } else if (text.count(u':') == 1) {
        endpoint.host = text.section(u':', 0, 0);
        portText = text.section(u':', 1);
    } else {
        endpoint.host = text;
    }
    if (!portText.isNull()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            endpoint.addressError = QStringLiteral("The port in the FTP address is not valid.");
            return endpoint;
        }
        endpoint.port = port;
    }
    if (endpoint.host.isEmpty()) {
        endpoint.addressError = QStringLiteral("No FTP address is given.");
        return endpoint;
    }
    // Characters that would make the URL mean another host, user or path than the one typed.
    static const QString forbidden = QStringLiteral("/\\@?#% \t");
    for (const QChar c : endpoint.host) {
        if (forbidden.contains(c) || c.unicode() < 0x20) {
            endpoint.addressError = QStringLiteral("The FTP address is not valid.");
            return endpoint;
        }
    }
    return endpoint;
}

QString ftpUrl(const FtpEndpoint& endpoint, const QString& remoteDir, const QString& name) {
    if (!sendableOverFtp(remoteDir) || (!name.isEmpty() && !usableRemoteName(name))) {
        return {};
    }
    const bool v6 = endpoint.host.contains(u':');
    const bool sftp = endpoint.scheme == FtpScheme::Sftp;
    QString url = (sftp ? QStringLiteral("sftp://") : QStringLiteral("ftp://")) +
                  (v6 ? u'[' + endpoint.host + u']' : endpoint.host) + u':' + QString::number(endpoint.port) + u'/';
    QStringList parts;
    for (const QString& part : remoteDir.split(u'/', Qt::SkipEmptyParts)) {
        parts << QString::fromLatin1(QUrl::toPercentEncoding(part));
    }
    if (sftp) {
        // An SFTP path is absolute; "~" is the login folder.
        if (!remoteDir.startsWith(u'/') || parts.isEmpty()) {
            parts.prepend(QStringLiteral("~"));
        }
    } else if (remoteDir.startsWith(u'/')) {
        // A folder that starts at the server's top is written with an encoded first slash, which
        // tells the client to change to "/" first instead of starting in the login folder.
        if (parts.isEmpty()) {
            parts << QString();
        }
        parts.first().prepend(QStringLiteral("%2F"));
    }
    for (const QString& part : parts) {
        url += part + u'/';
    }
    return url + QString::fromLatin1(QUrl::toPercentEncoding(name));
}

QString sftpPath(const QString& remoteDir, const QString& name) {
    QString path = (remoteDir.isEmpty() || remoteDir == QStringLiteral("/")) ? name : remoteDir + name;
    path.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + path + u'"';
}

} // namespace oculet
