#include "tests/support/FtpServer.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>

namespace oculet::test {

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
