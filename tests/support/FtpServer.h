#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace oculet::test {

// A real FTP server on 127.0.0.1 for tests (tests/support/ftp_server.py over pyftpdlib), with
// its own root folder, one user, switchable faults and a log of the commands it received.
class FtpServer {
public:
    enum class Kind {
        Ftp,  // a working FTP server
        Ftps, // the same with explicit TLS required, its certificate issued by testCertificateAuthority()
        Hang, // accepts connections and never answers
    };

    explicit FtpServer(Kind kind = Kind::Ftp);
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    // Starts the server (on `port`, or a free one when 0); false when it did not come up.
    bool start(int port = 0);
    void stop();
    // Stops the server process where it stands (SIGSTOP) and lets it go on: a frozen server
    // keeps every connection open and answers nothing.
    void freeze(bool frozen);
    int port() const { return port_; }
    QString address() const {
        return (kind_ == Kind::Ftps ? QStringLiteral("ftps://127.0.0.1:%1") : QStringLiteral("127.0.0.1:%1")).arg(port_);
    }
    static QString user() { return QStringLiteral("oculet"); }
    static QString password() { return QStringLiteral("s3cret-pass"); }

    // Faults, by the names ftp_server.py knows: refuse_stor, drop_data, disk_full,
    // rnto_no_replace, rnto_busy, no_rename, refuse_login. Take effect from the next command.
    void setFaults(const QStringList& faults);
    // The commands received so far, one a line ("CONNECT" for each new connection).
    QStringList log() const;
    void clearLog();

    // The file's bytes below the root; empty when it does not exist.
    QByteArray file(const QString& relativePath) const;
    bool exists(const QString& relativePath) const;
    void putFile(const QString& relativePath, const QByteArray& bytes);

    // The certificate authority (PEM) that issued the FTPS server's certificate, made once per test
    // program. No system store knows it: a client trusts the server only when told to use it.
    static QString testCertificateAuthority();

private:
    Kind kind_;
    QProcess process_;
    QString root_;
    QString controlFile_;
    QString logFile_;
    int port_ = 0;
};

} // namespace oculet::test
