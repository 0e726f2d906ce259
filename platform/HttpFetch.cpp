#include "platform/HttpFetch.h"

#include <QMetaObject>
#include <QUrl>

#include <curl/curl.h>

#include <mutex>
#include <thread>

namespace oculet {
namespace {

struct Download {
    QByteArray body;
    qint64 maxBytes = 0;
    const std::atomic<bool>* abandon = nullptr;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* download = static_cast<Download*>(user);
    const qint64 bytes = static_cast<qint64>(size * count);
    if (download->body.size() + bytes > download->maxBytes) {
        return 0; // an endless or oversized page ends here
    }
    download->body.append(data, bytes);
    return size * count;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Download*>(user)->abandon->load() ? 1 : 0;
}

} // namespace

std::optional<QByteArray> HttpFetch::fetchNow(const QString& url, const HttpLimits& limits,
                                               const std::atomic<bool>& abandon) {
    const QUrl parsed(url);
    if (!parsed.isValid() || (parsed.scheme() != QStringLiteral("http") && parsed.scheme() != QStringLiteral("https"))) {
        return std::nullopt;
    }
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return std::nullopt;
    }
    Download download{{}, limits.maxBytes, &abandon};
    const QByteArray address = parsed.toEncoded();
    // Proxies and caches between here and the server must hand over the page as it is now.
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 3L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalMs));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &download);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &download);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Oculet");
    const CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    if (rc != CURLE_OK || status < 200 || status >= 300) {
        return std::nullopt;
    }
    return download.body;
}

// What the background thread shares with the object: closed when the object goes, so a late
// outcome is dropped instead of reaching a receiver that no longer exists.
struct HttpFetch::Link {
    std::mutex mutex;
    QObject* receiver = nullptr;
    std::atomic<bool> abandon{false};
};

HttpFetch::HttpFetch(const QString& url, QObject* receiver, Done done, HttpLimits limits)
    : link_(std::make_shared<Link>()) {
    link_->receiver = receiver;
    // Detached: the closing never waits for a slow page; the thread ends on its own within
    // about a second of being abandoned.
    std::thread([url, limits, link = link_, done = std::move(done)] {
        std::optional<QByteArray> body = fetchNow(url, limits, link->abandon);
        std::lock_guard lock(link->mutex);
        if (link->receiver != nullptr) {
            QMetaObject::invokeMethod(
                link->receiver,
                [link, done, body = std::move(body)] {
                    if (!link->abandon.load()) {
                        done(body);
                    }
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

HttpFetch::~HttpFetch() {
    std::lock_guard lock(link_->mutex);
    link_->abandon.store(true);
    link_->receiver = nullptr;
}

} // namespace oculet
