#pragma once

#include <QProcess>
#include <QString>

namespace oculet::test {

// OpenSSH's sshd on 127.0.0.1 for SFTP tests, run by the test program with its own host key. It
// lets in the current user with the test key it puts at $HOME/.ssh/id_ed25519 (the test HOME),
// and nobody by password; $HOME/.ssh/known_hosts starts empty with each server. Files go to
// absolute paths, below folder() in the tests.
class SshServer {
public:
    SshServer();
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    // Starts sshd (on `port`, or a free one when 0); false when it did not come up.
    bool start(int port = 0);
    void stop();
    // A fresh host key, as a reinstalled server would have: takes effect at the next start.
    bool newHostKey();
    // The host key's fingerprint as OpenSSH prints it ("SHA256:...").
    QString hostKeyFingerprint() const;

    int port() const { return port_; }
    QString address() const { return QStringLiteral("sftp://127.0.0.1:%1").arg(port_); }
    static QString user();
    // A folder the tests publish into, as an absolute path.
    QString folder() const { return folder_; }

private:
    QProcess process_;
    QString base_;
    QString folder_;
    int port_ = 0;
};

} // namespace oculet::test
