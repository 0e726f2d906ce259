#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace oculet {

// A request as the answering code sees it: only what it decides on.
struct HttpRequest {
    QByteArray method;
    QByteArray path; // without the query
    QByteArray authorization;
    QByteArray ifNoneMatch;
    QByteArray ifModifiedSince;
};

struct HttpReply {
    int status = 200;
    std::vector<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // The body is the endless stream of parts handed to HttpServer::publishPart().
    bool stream = false;
};

struct HttpServerOptions {
    quint16 port = 0; // 0: any free port (see HttpServer::port())
    bool allAddresses = false; // false: 127.0.0.1 only
    // What one client, and all of them together, may hold: connections (each a file descriptor),
    // memory per connection (the request head must fit in it), idle seconds before a connection
    // that neither sends nor takes anything is closed.
    unsigned connectionLimit = 300;
    unsigned perAddressLimit = 250;
    unsigned idleTimeoutSeconds = 10;
    std::size_t connectionMemory = 32 * 1024;
    // A request head must be complete this long after the connection (or its last answer): a
    // client that keeps sending one byte at a time is never idle, but is closed all the same.
    unsigned requestHeadSeconds = 10;
};

// A small HTTP server on libmicrohttpd: one thread of its own polls every connection (epoll), so
// neither the number of clients nor a slow one costs a thread. Requests are answered by the
// handler on that thread. Stream replies carry the newest part only: a client that takes its
// data late gets the part that is newest then, never a queue, and a client waiting for the next
// part is parked (no polling) until publishPart() hands one over. A second thread closes
// connections whose request head is overdue.
class HttpServer {
public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;
    enum class StartResult { Started, PortInUse, Failed };

    explicit HttpServer(Handler handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Starts listening (stopping a running server first). A port held by another program is
    // PortInUse; `error` says what else went wrong.
    StartResult start(const HttpServerOptions& options, QString* error = nullptr);
    // Ends every connection and the server's thread; returns when they are gone.
    void stop();
    bool running() const;
    quint16 port() const;

    // Any thread. The part every stream client gets next; parked clients are woken.
    void publishPart(std::shared_ptr<const QByteArray> part);
    // Stream clients connected now.
    int streamClients() const { return streamClients_.load(); }

private:
    struct Impl;
    struct StreamClient;
    std::unique_ptr<Impl> d_;
    std::atomic<int> streamClients_{0};
};

} // namespace oculet
