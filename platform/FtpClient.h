#pragma once

#include "platform/FtpAddress.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace oculet {

struct FtpTimeouts {
    int connectMs = 10000;        // TCP connect and login
    int serverResponseMs = 15000; // any one reply of the server
    int totalMs = 60000;          // one whole request, however it stalls
};

// What went wrong, as far as the next step depends on it.
enum class FtpFailure {
    None,
    Login,    // the server refused the user name or password
    Folder,   // the remote folder could not be entered
    Trust,    // the server's certificate or host key is not trusted
    Other,    // no connection, a time-out, a refused command, a short transfer
};

// The outcome of one request. `replyCode` is the server's last reply (0 when none came, for
// example when the connection failed); `message` never contains the password.
struct FtpResult {
    bool ok = false;
    bool cancelled = false;
    FtpFailure failure = FtpFailure::Other; // None once ok
    // The server answered the command with a no that asking again will not change (an FTP 5xx
    // reply; any refusal of an SFTP command, which carries no such distinction).
    bool refused = false;
    long replyCode = 0;
    QString message;
    // An SSH host key known_hosts does not know ("SHA256:..."), which the user may accept.
    QString unknownHostKey;
};

// Asked again and again while a request runs; true ends the request at once (a transfer in
// flight is abandoned and the connection dropped).
using FtpStop = std::function<bool()>;

// An FTP, FTPS or SFTP connection to one server, kept open between requests. Every request
// carries the details it needs; the connection is reused while they stay the same. After a
// request fails, the next one starts on a fresh connection. FTP: passive mode and binary
// transfers, always. TLS certificates are checked against the system's store (or the bundle
// SSL_CERT_FILE names), SSH host keys against ~/.ssh/known_hosts; SFTP logs in with the password,
// or without one with the SSH agent or the user's default key file. Requests block: call them
// from a worker thread.
class FtpClient {
public:
    virtual ~FtpClient() = default;

    // False when the client library itself could not start (no network stack to speak of).
    virtual bool available() const = 0;
    virtual void setTimeouts(const FtpTimeouts& timeouts) = 0;

    // Logs in and changes to the server's top folder: proves the address and the login.
    virtual FtpResult checkLogin(const FtpEndpoint& endpoint, const FtpStop& stop) = 0;
    // Sends `contents` as `remoteName` into `remoteDir` ("/" = top, "cam/" = relative to the
    // login folder, "/www/cam/" = absolute). Succeeds only when every byte was accepted.
    virtual FtpResult upload(const FtpEndpoint& endpoint, const QByteArray& contents,
                             const QString& remoteDir, const QString& remoteName,
                             const FtpStop& stop) = 0;
    virtual FtpResult rename(const FtpEndpoint& endpoint, const QString& remoteDir,
                             const QString& from, const QString& to, const FtpStop& stop) = 0;
    // upload() as `uploadName`, then rename() to `finalName`. Sets `uploaded` when the upload
    // went through; the result is then the rename's. This one makes two requests; a client that
    // can send the rename within the upload's own request does so.
    virtual FtpResult uploadAndRename(const FtpEndpoint& endpoint, const QByteArray& contents,
                                      const QString& remoteDir, const QString& uploadName,
                                      const QString& finalName, const FtpStop& stop, bool& uploaded);
    virtual FtpResult remove(const FtpEndpoint& endpoint, const QString& remoteDir,
                             const QString& name, const FtpStop& stop) = 0;
    // Closes the connection (if any); the next request connects afresh.
    virtual void disconnect() = 0;
};

// The real client over libcurl's easy interface.
class CurlFtpClient final : public FtpClient {
public:
    CurlFtpClient();
    ~CurlFtpClient() override;
    CurlFtpClient(const CurlFtpClient&) = delete;
    CurlFtpClient& operator=(const CurlFtpClient&) = delete;

    bool available() const override;
    void setTimeouts(const FtpTimeouts& timeouts) override;
    FtpResult checkLogin(const FtpEndpoint& endpoint, const FtpStop& stop) override;
    FtpResult upload(const FtpEndpoint& endpoint, const QByteArray& contents,
                     const QString& remoteDir, const QString& remoteName,
                     const FtpStop& stop) override;
    FtpResult rename(const FtpEndpoint& endpoint, const QString& remoteDir, const QString& from,
                     const QString& to, const FtpStop& stop) override;
    // Over FTP and FTPS the rename follows the transfer on the same request (RNFR and RNTO after
    // the 226), which saves a request per frame.
    FtpResult uploadAndRename(const FtpEndpoint& endpoint, const QByteArray& contents, const QString& remoteDir,
                              const QString& uploadName, const QString& finalName, const FtpStop& stop,
                              bool& uploaded) override;
    FtpResult remove(const FtpEndpoint& endpoint, const QString& remoteDir, const QString& name,
                     const FtpStop& stop) override;
    void disconnect() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace oculet
