#include "tests/support/FtpServer.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QProcess>

#include <csignal>

namespace oculet::test {

namespace {

bool runTool(const QString& program, const QStringList& args) {
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(program, args);
    return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// A test authority and a certificate for 127.0.0.1 issued by it, made with the openssl tool.
QString certificateFolder() {
    static const QString folder = [] {
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("certificates"));
        const auto path = [&](const char* name) { return dir + u'/' + QLatin1String(name); };
        writeFile(path("server.ext"), "subjectAltName=IP:127.0.0.1\n");
        const bool made =
            runTool("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                                "/CN=Oculet Test Authority", "-keyout", path("ca.key"), "-out", path("ca.pem")}) &&
            runTool("openssl", {"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
                                path("server.key"), "-out", path("server.csr")}) &&
            runTool("openssl", {"x509", "-req", "-in", path("server.csr"), "-CA", path("ca.pem"), "-CAkey",
                                path("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", path("server.ext"),
                                "-out", path("server.pem")});
        return made ? dir : QString();
    }();
    return folder;
}

} // namespace

QString FtpServer::testCertificateAuthority() { return certificateFolder() + QStringLiteral("/ca.pem"); }

FtpServer::FtpServer(Kind kind) : kind_(kind) {
    const QString base = TestEnvironment::makeTempDir(QStringLiteral("ftp"));
    root_ = base + QStringLiteral("/root");
    QDir().mkpath(root_);
    controlFile_ = base + QStringLiteral("/faults");
    logFile_ = base + QStringLiteral("/commands.log");
}

FtpServer::~FtpServer() { stop(); }

bool FtpServer::start(int port) {
    QStringList args{QStringLiteral(OCULET_SOURCE_DIR "/tests/support/ftp_server.py"),
                     QStringLiteral("--port"), QString::number(port)};
    if (kind_ == Kind::Hang) {
        args << QStringLiteral("--hang");
    } else {
        args << QStringLiteral("--root") << root_ << QStringLiteral("--user") << user()
             << QStringLiteral("--password") << password() << QStringLiteral("--control")
             << controlFile_ << QStringLiteral("--log") << logFile_;
    }
    if (kind_ == Kind::Ftps) {
        args << QStringLiteral("--cert") << certificateFolder() + QStringLiteral("/server.pem")
             << QStringLiteral("--key") << certificateFolder() + QStringLiteral("/server.key");
    }
    // Debian's interpreter, which sees Debian's pyftpdlib whatever python3 is first on PATH.
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.setReadChannel(QProcess::StandardOutput);
    process_.start(QStringLiteral("/usr/bin/python3"), args);
    if (!process_.waitForStarted(5000)) {
        return false;
    }
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(10000)) {
            stop();
            return false;
        }
    }
    port_ = QString::fromLatin1(process_.readLine()).trimmed().toInt();
    return port_ > 0;
}

void FtpServer::stop() {
    if (process_.state() != QProcess::NotRunning) {
        freeze(false);
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
}

void FtpServer::freeze(bool frozen) {
    if (process_.state() == QProcess::Running) {
        ::kill(static_cast<pid_t>(process_.processId()), frozen ? SIGSTOP : SIGCONT);
    }
}

void FtpServer::setFaults(const QStringList& faults) { writeFile(controlFile_, faults.join(u'\n').toUtf8() + '\n'); }

QStringList FtpServer::log() const {
    return QString::fromUtf8(readFile(logFile_)).split(u'\n', Qt::SkipEmptyParts);
}

void FtpServer::clearLog() { QFile::remove(logFile_); }

QByteArray FtpServer::file(const QString& relativePath) const { return readFile(root_ + u'/' + relativePath); }

bool FtpServer::exists(const QString& relativePath) const {
    return QFileInfo::exists(root_ + u'/' + relativePath);
}

void FtpServer::putFile(const QString& relativePath, const QByteArray& bytes) {
    const QString path = root_ + u'/' + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeFile(path, bytes);
}

} // namespace oculet::test
