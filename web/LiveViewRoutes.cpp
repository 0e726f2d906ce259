#include "web/LiveViewRoutes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace oculet {
namespace {

using Header = std::pair<QByteArray, QByteArray>;

const Header kNoStore{"Cache-Control", "no-cache, no-store, must-revalidate"};
const Header kNoSniff{"X-Content-Type-Options", "nosniff"};

HttpReply plain(int status, const QByteArray& text) {
    HttpReply reply;
    reply.status = status;
    reply.headers = {{"Content-Type", "text/plain; charset=utf-8"}, kNoSniff};
    reply.body = text + '\n';
    return reply;
}

bool etagMatches(const QByteArray& ifNoneMatch, const QByteArray& etag) {
    for (QByteArray tag : ifNoneMatch.split(',')) {
        tag = tag.trimmed();
        if (tag.startsWith("W/")) {
            tag = tag.mid(2);
        }
        if (tag == "*" || tag == etag) {
            return true;
        }
    }
    return false;
}

HttpReply snapshot(const HttpRequest& request, const LiveFrame& frame) {
    if (!frame.jpeg) {
        HttpReply reply = plain(503, "No frame yet.");
        reply.headers.emplace_back("Retry-After", "1");
        return reply;
    }
    HttpReply reply;
    reply.headers = {{"ETag", frame.etag}, {"Last-Modified", httpDate(frame.modified)}, {"Cache-Control", "no-cache"}, kNoSniff};
    // The ETag decides when the browser sent one; the date only when it did not.
    bool unchanged = false;
    if (!request.ifNoneMatch.isEmpty()) {
        unchanged = etagMatches(request.ifNoneMatch, frame.etag);
    } else if (!request.ifModifiedSince.isEmpty()) {
        const QDateTime since = parseHttpDate(request.ifModifiedSince);
        unchanged = since.isValid() && frame.modified <= since;
    }
    if (unchanged) {
        reply.status = 304;
        return reply;
    }
    reply.headers.emplace_back("Content-Type", "image/jpeg");
    reply.body = *frame.jpeg;
    return reply;
}

} // namespace

HttpReply answerLiveViewRequest(const HttpRequest& request, const LiveViewState& state) {
    if (!state.password.isEmpty() && !passwordAccepted(request.authorization, state.password)) {
        HttpReply reply = plain(401, "The live view asks for its password.");
        reply.headers.emplace_back("WWW-Authenticate", R"(Basic realm="Oculet live view", charset="UTF-8")");
        return reply;
    }
    const QByteArray& path = request.path;
    if (path != "/" && path != "/stream.mjpg" && path != "/snapshot.jpg" && path != "/status.json") {
        return plain(404, "Not found.");
    }
    if (request.method != "GET" && request.method != "HEAD") {
        HttpReply reply = plain(405, "Only GET and HEAD are served.");
        reply.headers.emplace_back("Allow", "GET, HEAD");
        return reply;
    }
    HttpReply reply;
    if (path == "/") {
        reply.headers = {{"Content-Type", "text/html; charset=utf-8"}, {"Cache-Control", "no-cache"}, kNoSniff};
        reply.body = liveViewPage(state.title, !state.password.isEmpty());
    } else if (path == "/stream.mjpg") {
        reply.headers = {{"Content-Type", QByteArray("multipart/x-mixed-replace; boundary=") + kStreamBoundary},
                         kNoStore, {"Pragma", "no-cache"}, kNoSniff};
        reply.stream = true;
    } else if (path == "/snapshot.jpg") {
        reply = snapshot(request, state.frame);
    } else {
        reply.headers = {{"Content-Type", "application/json"}, kNoStore, kNoSniff};
        reply.body = liveViewStatusJson(state);
    }
    return reply;
}

QByteArray streamPart(const QByteArray& jpeg) {
    QByteArray part;
    part.reserve(jpeg.size() + 100);
    part += QByteArray("--") + kStreamBoundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
            QByteArray::number(jpeg.size()) + "\r\n\r\n";
    part += jpeg;
    part += "\r\n";
    return part;
}

bool passwordAccepted(const QByteArray& authorization, const QString& password) {
    const QByteArray header = authorization.trimmed();
    if (header.size() < 6 || header.left(6).toLower() != "basic ") {
        return false;
    }
    const QByteArray credentials = QByteArray::fromBase64(header.mid(6).trimmed());
    const qsizetype colon = credentials.indexOf(':');
    if (colon < 0) {
        return false;
    }
    const QByteArray given = credentials.mid(colon + 1);
    const QByteArray expected = password.toUtf8();
    if (expected.isEmpty()) {
        return false;
    }
    // Every byte given is looked at, whatever the first difference.
    unsigned difference = unsigned(given.size() ^ expected.size());
    for (qsizetype i = 0; i < given.size(); ++i) {
        difference |= unsigned(quint8(given[i]) ^ quint8(expected[i % expected.size()]));
    }
    return difference == 0;
}

QByteArray httpDate(const QDateTime& time) {
    return QLocale::c().toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss")).toLatin1() + " GMT";
}

QDateTime parseHttpDate(const QByteArray& text) {
    QDateTime time = QLocale::c().toDateTime(QString::fromLatin1(text.trimmed()),
                                              QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    time.setTimeSpec(Qt::UTC);
    return time;
}

QByteArray liveViewStatusJson(const LiveViewState& state) {
    QJsonObject status{
        {QStringLiteral("frames"), double(state.frame.number)},
        {QStringLiteral("fps"), qRound(state.framesPerSecond * 10) / 10.0},
        {QStringLiteral("viewers"), state.viewers},
        {QStringLiteral("publishing"), state.publishing},
        {QStringLiteral("lastFrame"), state.frame.time.isValid() ? state.frame.time.toString(Qt::ISODateWithMs) : QString()},
    };
    return QJsonDocument(status).toJson(QJsonDocument::Compact);
}

QByteArray liveViewPage(const QString& title, bool passwordSet) {
    static const QByteArray kPage = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>@TITLE@</title>
<style>
body{margin:0;padding:1em;background:#1d1f21;color:#e8e8e8;font-family:sans-serif;text-align:center}
h1{font-size:1.4em;margin:.2em 0 .6em}
#picture{display:block;margin:0 auto;width:320px;height:240px;background:#000;image-rendering:pixelated;image-rendering:crisp-edges}
@media (min-width:700px) and (min-height:620px){#picture{width:640px;height:480px}}
@media (min-width:1020px) and (min-height:880px){#picture{width:960px;height:720px}}
#state{color:#ff8a80;min-height:1.2em}
.note{color:#aaa;font-size:.85em}
</style></head><body>
<h1 id="title">@TITLE@</h1>
<img id="picture" src="stream.mjpg" width="320" height="240" alt="Live picture">
<p>Last frame: <span id="time">-</span></p>
<p id="state"></p>
@NOTE@
<script>
(function () {
  var picture = document.getElementById('picture');
  var time = document.getElementById('time');
  var state = document.getElementById('state');
  var lastCount = -1, lastChange = Date.now(), polling = false;
  // Where the stream cannot be shown, the picture is fetched again every second instead.
  function fetchSnapshot() {
    var next = new Image();
    next.onload = function () { picture.src = next.src; };
    next.src = 'snapshot.jpg?t=' + Date.now();
  }
  function fallBack() {
    if (polling) { return; }
    polling = true;
    picture.dataset.mode = 'snapshot';
    fetchSnapshot();
    setInterval(fetchSnapshot, 1000);
  }
  picture.onerror = fallBack;
  if (!('onload' in picture)) { fallBack(); }
  function stopped() {
    state.textContent = 'The picture has stopped: Oculet is closed or the network is gone.';
  }
  function check() {
    fetch('status.json', {cache: 'no-store'}).then(function (r) {
      if (!r.ok) { throw new Error(r.status); }
      return r.json();
    }).then(function (s) {
      if (s.frames !== lastCount) { lastCount = s.frames; lastChange = Date.now(); }
      time.textContent = s.lastFrame ? new Date(s.lastFrame).toLocaleString() : '-';
      if (Date.now() - lastChange > 5000) { stopped(); } else { state.textContent = ''; }
    }).catch(stopped);
  }
  check();
  setInterval(check, 2000);
})();
</script>
</body></html>
)PAGE";
    QByteArray page = kPage;
    page.replace("@TITLE@", title.toHtmlEscaped().toUtf8());
    page.replace("@NOTE@", passwordSet ? QByteArray("<p class=\"note\">The password travels readable on a plain "
                                                    "network: use it only where you trust the network.</p>")
                                       : QByteArray());
    return page;
}

} // namespace oculet
