#pragma once

// Where the picture goes, as text: the address box read into a server to log in to, and the
// URLs and paths sent to that server. Plain functions of text, whatever the text holds: nothing
// here touches the network.

#include <QString>

namespace oculet {

// How the picture travels: plain FTP, FTP with explicit TLS (control and data protected), or
// SFTP over SSH.
enum class FtpScheme { Ftp, Ftps, Sftp };

// Where and as whom to log in. Built from the address box ("host" or "host:port"; "[v6-address]"
// for IPv6; a leading "ftp://", "ftps://" or "sftp://" chooses the scheme, plain FTP without one;
// the port defaults to 21, 21 and 22) and the two boxes for the user name and password.
struct FtpEndpoint {
    FtpScheme scheme = FtpScheme::Ftp;
    QString host;
    int port = 21;
    QString username;
    QString password;
    // Empty when the address is usable; otherwise why not (shown instead of a server reply).
    QString addressError;
    // An SSH host key the user has accepted for this server ("SHA256:..."): when it is the key
    // the server shows and known_hosts does not know the server, it is added there.
    QString acceptedHostKey;

    static FtpEndpoint fromAddress(const QString& address, const QString& username,
                                   const QString& password);
};

// The same as FtpEndpoint::fromAddress. Any text gives an endpoint; one that cannot be used
// says why in addressError.
FtpEndpoint parseFtpAddress(const QString& address, const QString& username, const QString& password);

// False when the text holds a line break or a NUL character: sent in an FTP command it would
// end that command and start another of the text's making.
bool sendableOverFtp(const QString& text);

// Whether a file name can be sent as it stands: not empty, sendable, and no folder separator,
// "/" nor "\" (which servers on Windows take as one), so it names a file in the folder given and
// nowhere else.
bool usableRemoteName(const QString& name);

// The URL of a file (or, with an empty name, a folder) on the server. Returns an empty string
// when a name or folder holds characters that cannot be sent safely. Over SFTP a folder is taken
// from the login folder unless it starts with "/"; the top folder "/" itself is the login
// folder, as it is on most FTP hosts.
QString ftpUrl(const FtpEndpoint& endpoint, const QString& remoteDir, const QString& name);

// A path for an SFTP command: relative to the login folder unless the folder starts with "/",
// in double quotes with backslashes and quotes escaped.
QString sftpPath(const QString& remoteDir, const QString& name);

} // namespace oculet
