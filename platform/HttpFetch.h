#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace oculet {

struct HttpLimits {
    int connectMs = 10000;
    int totalMs = 20000;
    qint64 maxBytes = 1024 * 1024;
};

// One page fetched over http or https in the background, never from a cache, with certificates
// verified. The outcome reaches `receiver`'s thread once, as the whole body, or as nothing when
// anything went wrong: no connection, an error status, too slow, too large, another scheme. Gone
// with the object: destroying it abandons a fetch in flight within about a second.
class HttpFetch {
public:
    using Done = std::function<void(std::optional<QByteArray> body)>;

    HttpFetch(const QString& url, QObject* receiver, Done done, HttpLimits limits = {});
    ~HttpFetch();
    HttpFetch(const HttpFetch&) = delete;
    HttpFetch& operator=(const HttpFetch&) = delete;

    // The body of `url`, fetched on the calling thread (what the background fetch runs).
    static std::optional<QByteArray> fetchNow(const QString& url, const HttpLimits& limits,
                                              const std::atomic<bool>& abandon);

private:
    struct Link;
    std::shared_ptr<Link> link_;
};

} // namespace oculet
