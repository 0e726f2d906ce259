#include "platform/HttpServer.h"

#include <microhttpd.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace oculet {

struct HttpServer::StreamClient {
    HttpServer* server = nullptr;
    MHD_Connection* connection = nullptr;
    quint64 sequence = 0;
    std::shared_ptr<const QByteArray> part;
    std::size_t offset = 0;
};

struct HttpServer::Impl {
    Handler handler;
    MHD_Daemon* daemon = nullptr;
    quint16 port = 0;

    // The newest part and the clients parked until the next one.
    std::mutex mutex;
    std::shared_ptr<const QByteArray> part;
    quint64 sequence = 0;
    std::vector<MHD_Connection*> parked;
    bool stopping = false;

    // Connections whose request head has not come yet, with their socket and since when.
    using Clock = std::chrono::steady_clock;
    struct AwaitingHead {
        int fd;
        Clock::time_point since;
    };
    std::mutex headMutex;
    std::condition_variable headWake;
    std::unordered_map<MHD_Connection*, AwaitingHead> awaitingHead;
    std::chrono::seconds headLimit{10};
    bool watchdogStop = false;
    std::thread watchdog;

    void awaitHead(MHD_Connection* connection) {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (info != nullptr) {
            std::lock_guard lock(headMutex);
            awaitingHead[connection] = {info->connect_fd, Clock::now()};
        }
    }
    void headCame(MHD_Connection* connection) {
        std::lock_guard lock(headMutex);
        awaitingHead.erase(connection);
    }
    // Shutting the socket down makes the library see the client gone and close the connection
    // on its own thread. The library tells of the close, under this lock, before it closes the
    // socket, so the descriptor shut down is always the connection's own.
    void watch() {
        std::unique_lock lock(headMutex);
        while (!watchdogStop) {
            headWake.wait_for(lock, std::chrono::milliseconds(250));
            const Clock::time_point now = Clock::now();
            for (auto& [connection, waiting] : awaitingHead) {
                if (now - waiting.since > headLimit) {
                    ::shutdown(waiting.fd, SHUT_RDWR);
                    waiting.since = Clock::time_point::max() - headLimit;
                }
            }
        }
    }
};

namespace {

QByteArray header(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value != nullptr ? QByteArray(value) : QByteArray();
}

// The socket is made here rather than by the library so that a port held by another program is
// told apart from every other failure.
int listeningSocket(const HttpServerOptions& options, HttpServer::StartResult& result, QString* error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        result = HttpServer::StartResult::Failed;
        if (error != nullptr) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
        }
        return -1;
    }
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options.port);
    address.sin_addr.s_addr = htonl(options.allAddresses ? INADDR_ANY : INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0) {
        const int code = errno;
        ::close(fd);
        result = code == EADDRINUSE ? HttpServer::StartResult::PortInUse : HttpServer::StartResult::Failed;
        if (error != nullptr) {
            *error = QString::fromLocal8Bit(std::strerror(code));
        }
        return -1;
    }
    return fd;
}

} // namespace

HttpServer::HttpServer(Handler handler) : d_(std::make_unique<Impl>()) { d_->handler = std::move(handler); }

HttpServer::~HttpServer() { stop(); }

bool HttpServer::running() const { return d_->daemon != nullptr; }

quint16 HttpServer::port() const { return d_->port; }

HttpServer::StartResult HttpServer::start(const HttpServerOptions& options, QString* error) {
    stop();
    StartResult result = StartResult::Started;
    const int fd = listeningSocket(options, result, error);
    if (fd < 0) {
        return result;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);

    auto onRequest = [](void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                        const char*, size_t* uploadSize, void**) -> MHD_Result {
        auto* self = static_cast<HttpServer*>(cls);
        self->d_->headCame(connection);
        // A request body is never wanted: it is dropped as it comes.
        *uploadSize = 0;
        HttpRequest request;
        request.method = method;
        request.path = url;
        request.authorization = header(connection, MHD_HTTP_HEADER_AUTHORIZATION);
        request.ifNoneMatch = header(connection, MHD_HTTP_HEADER_IF_NONE_MATCH);
        request.ifModifiedSince = header(connection, MHD_HTTP_HEADER_IF_MODIFIED_SINCE);
        HttpReply reply = self->d_->handler(request);

        MHD_Response* response = nullptr;
        if (reply.stream) {
            auto* client = new StreamClient;
            client->server = self;
            client->connection = connection;
            auto read = [](void* cls, uint64_t, char* buffer, size_t max) -> ssize_t {
                auto* client = static_cast<StreamClient*>(cls);
                Impl& d = *client->server->d_;
                if (!client->part || client->offset >= std::size_t(client->part->size())) {
                    std::lock_guard lock(d.mutex);
                    if (d.stopping) {
                        return MHD_CONTENT_READER_END_OF_STREAM;
                    }
                    if (d.sequence == client->sequence || !d.part) {
                        // Nothing new: parked until the next part rather than asked again at once.
                        d.parked.push_back(client->connection);
                        MHD_suspend_connection(client->connection);
                        return 0;
                    }
                    client->part = d.part;
                    client->sequence = d.sequence;
                    client->offset = 0;
                }
                const std::size_t n = std::min(max, std::size_t(client->part->size()) - client->offset);
                std::memcpy(buffer, client->part->constData() + client->offset, n);
                client->offset += n;
                return ssize_t(n);
            };
            auto release = [](void* cls) {
                auto* client = static_cast<StreamClient*>(cls);
                client->server->streamClients_.fetch_sub(1);
                delete client;
            };
            response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 16 * 1024, read, client, release);
            if (response == nullptr) {
                delete client;
                return MHD_NO;
            }
            self->streamClients_.fetch_add(1);
        } else {
            response = MHD_create_response_from_buffer(std::size_t(reply.body.size()),
                                                       const_cast<char*>(reply.body.constData()),
                                                       MHD_RESPMEM_MUST_COPY);
            if (response == nullptr) {
                return MHD_NO;
            }
        }
        for (const auto& [name, value] : reply.headers) {
            MHD_add_response_header(response, name.constData(), value.constData());
        }
        const MHD_Result queued = MHD_queue_response(connection, unsigned(reply.status), response);
        MHD_destroy_response(response);
        return queued;
    };

    auto onConnection = [](void* cls, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
        Impl& d = *static_cast<Impl*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            d.awaitHead(connection);
        } else {
            d.headCame(connection);
        }
    };
    // After an answer a kept-alive connection waits for its next head.
    auto onCompleted = [](void* cls, MHD_Connection* connection, void**, MHD_RequestTerminationCode code) {
        if (code == MHD_REQUEST_TERMINATED_COMPLETED_OK) {
            static_cast<Impl*>(cls)->awaitHead(connection);
        }
    };
    {
        std::lock_guard lock(d_->mutex);
        d_->stopping = false;
    }
    {
        std::lock_guard lock(d_->headMutex);
        d_->watchdogStop = false;
        d_->awaitingHead.clear();
        d_->headLimit = std::chrono::seconds(options.requestHeadSeconds);
    }
    d_->daemon = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr, nullptr,
        onRequest, this, MHD_OPTION_LISTEN_SOCKET, fd, MHD_OPTION_CONNECTION_LIMIT, options.connectionLimit,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, options.perAddressLimit, MHD_OPTION_CONNECTION_TIMEOUT,
        options.idleTimeoutSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, options.connectionMemory,
        MHD_OPTION_NOTIFY_CONNECTION, static_cast<MHD_NotifyConnectionCallback>(onConnection), d_.get(),
        MHD_OPTION_NOTIFY_COMPLETED, static_cast<MHD_RequestCompletedCallback>(onCompleted), d_.get(), MHD_OPTION_END);
    if (d_->daemon == nullptr) {
        ::close(fd);
        if (error != nullptr) {
            *error = QStringLiteral("the web server could not start");
        }
        return StartResult::Failed;
    }
    d_->port = ntohs(bound.sin_port);
    d_->watchdog = std::thread([d = d_.get()] { d->watch(); });
    return StartResult::Started;
}

void HttpServer::stop() {
    if (d_->daemon == nullptr) {
        return;
    }
    {
        // Parked clients must be running again before the library can close them.
        std::lock_guard lock(d_->mutex);
        d_->stopping = true;
        for (MHD_Connection* connection : d_->parked) {
            MHD_resume_connection(connection);
        }
        d_->parked.clear();
    }
    MHD_stop_daemon(d_->daemon);
    d_->daemon = nullptr;
    {
        std::lock_guard lock(d_->headMutex);
        d_->watchdogStop = true;
    }
    d_->headWake.notify_all();
    d_->watchdog.join();
    d_->port = 0;
}

void HttpServer::publishPart(std::shared_ptr<const QByteArray> part) {
    std::lock_guard lock(d_->mutex);
    d_->part = std::move(part);
    ++d_->sequence;
    if (d_->stopping || d_->daemon == nullptr) {
        return;
    }
    for (MHD_Connection* connection : d_->parked) {
        MHD_resume_connection(connection);
    }
    d_->parked.clear();
}

} // namespace oculet
