#pragma once

// The small HTTP server of http_server.py on 127.0.0.1, for the update check: /newer and /same
// offer versions 2.22 and 2.21, /slow never answers, /huge is 5 MiB, anything else is a 404.

#include "tests/support/TestEnvironment.h"

#include <QProcess>

namespace oculet::test {

class HttpServer {
public:
    HttpServer() {
        server_.start("/usr/bin/python3", {OCULET_SOURCE_DIR "/tests/support/http_server.py", log_});
        server_.waitForReadyRead(10000);
        port_ = server_.readLine().trimmed().toInt();
    }
    ~HttpServer() {
        server_.kill();
        server_.waitForFinished(3000);
    }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;
    QString page(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path); }
    // Every path asked for so far, one a line.
    QByteArray requests() const { return readFile(log_); }

private:
    QString log_ = TestEnvironment::makeTempDir("http") + "/requests.log";
    QProcess server_;
    int port_ = 0;
};

} // namespace oculet::test
