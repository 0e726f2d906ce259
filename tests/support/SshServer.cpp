#include "tests/support/SshServer.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

namespace oculet::test {
namespace {

bool keygen(const QString& keyFile) {
    QFile::remove(keyFile);
    QFile::remove(keyFile + QStringLiteral(".pub"));
    QProcess tool;
    tool.start(QStringLiteral("ssh-keygen"), {"-q", "-t", "ed25519", "-N", "", "-f", keyFile});
    return tool.waitForFinished(10000) && tool.exitCode() == 0;
}

int freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

SshServer::SshServer() {
    base_ = TestEnvironment::makeTempDir(QStringLiteral("sshd"));
    folder_ = base_ + QStringLiteral("/files");
    QDir().mkpath(folder_);
    const QString sshFolder = TestEnvironment::home() + QStringLiteral("/.ssh");
    QDir().mkpath(sshFolder);
    const QString clientKey = sshFolder + QStringLiteral("/id_ed25519");
    if (!QFile::exists(clientKey)) {
        keygen(clientKey);
    }
    // A new server nobody has met: a key accepted for an earlier one (perhaps on the same port)
    // must not count.
    QFile::remove(sshFolder + QStringLiteral("/known_hosts"));
    QFile::remove(base_ + QStringLiteral("/authorized_keys"));
    QFile::copy(clientKey + QStringLiteral(".pub"), base_ + QStringLiteral("/authorized_keys"));
    newHostKey();
}

SshServer::~SshServer() { stop(); }

QString SshServer::user() { return QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name); }

bool SshServer::newHostKey() { return keygen(base_ + QStringLiteral("/host_key")); }

QString SshServer::hostKeyFingerprint() const {
    QProcess tool;
    tool.start(QStringLiteral("ssh-keygen"), {"-l", "-E", "sha256", "-f", base_ + QStringLiteral("/host_key.pub")});
    tool.waitForFinished(10000);
    return QString::fromLatin1(tool.readAllStandardOutput()).section(u' ', 1, 1);
}

bool SshServer::start(int port) {
    port_ = port != 0 ? port : freePort();
    if (::getuid() == 0) {
        // Run by root, sshd wants its privilege separation folder.
        QDir().mkpath(QStringLiteral("/run/sshd"));
    }
    const QString config = base_ + QStringLiteral("/sshd_config");
    writeFile(config, QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2/host_key\n"
                                     "AuthorizedKeysFile %2/authorized_keys\nPasswordAuthentication no\n"
                                     "KbdInteractiveAuthentication no\nStrictModes no\nUsePAM no\n"
                                     "PidFile %2/sshd.pid\nSubsystem sftp internal-sftp\nLogLevel ERROR\n")
                          .arg(port_)
                          .arg(base_)
                          .toUtf8());
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/sbin/sshd"), {"-D", "-E", base_ + QStringLiteral("/sshd.log"), "-f", config});
    if (!process_.waitForStarted(5000)) {
        return false;
    }
    for (int attempt = 0; attempt < 100 && process_.state() == QProcess::Running; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port_));
        if (socket.waitForConnected(100)) {
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

void SshServer::stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
}

} // namespace oculet::test
