// The live view: what each request is answered (driven directly), then the real server on
// loopback with plain sockets, hostile clients included.
#include "platform/HttpServer.h"
#include "publish/JpegWriter.h"
#include "settings/Settings.h"
#include "web/LiveView.h"
#include "web/LiveViewRoutes.h"

#include <QFile>
#include <QHostAddress>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace oculet {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const QDateTime kT0 = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 0, 400), Qt::UTC);

HttpRequest request(const QByteArray& path, const QByteArray& method = "GET") { return {method, path, {}, {}, {}}; }

QByteArray headerOf(const HttpReply& reply, const QByteArray& name) {
    for (const auto& [key, value] : reply.headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

LiveViewState stateWith(const QByteArray& jpeg) {
    LiveFrames frames;
    frames.add(jpeg, kT0);
    LiveViewState state;
    state.frame = frames.newest();
    return state;
}

TEST(LiveViewAnswers, FourPathsForGetAndHeadAndNothingElse) {
    const LiveViewState state = stateWith("\xff\xd8jpeg\xff\xd9");
    struct Case {
        QByteArray path, type;
    };
    for (const Case& c : {Case{"/", "text/html; charset=utf-8"},
                          Case{"/stream.mjpg", "multipart/x-mixed-replace; boundary=oculetframe"},
                          Case{"/snapshot.jpg", "image/jpeg"}, Case{"/status.json", "application/json"}}) {
        for (const QByteArray method : {"GET", "HEAD"}) {
            const HttpReply reply = answerLiveViewRequest(request(c.path, method), state);
            EXPECT_EQ(reply.status, 200) << c.path.constData() << ' ' << method.constData();
            EXPECT_EQ(headerOf(reply, "Content-Type"), c.type) << c.path.constData();
            EXPECT_EQ(reply.stream, c.path == "/stream.mjpg");
        }
        for (const QByteArray method : {"POST", "PUT", "DELETE", "OPTIONS"}) {
            const HttpReply reply = answerLiveViewRequest(request(c.path, method), state);
            EXPECT_EQ(reply.status, 405) << c.path.constData() << ' ' << method.constData();
            EXPECT_EQ(headerOf(reply, "Allow"), "GET, HEAD");
        }
    }
    EXPECT_TRUE(headerOf(answerLiveViewRequest(request("/stream.mjpg"), state), "Cache-Control").contains("no-store"));
    EXPECT_EQ(answerLiveViewRequest(request("/snapshot.jpg"), state).body, "\xff\xd8jpeg\xff\xd9");
    for (const QByteArray path : {"/index.html", "/../etc/passwd", "/snapshot.jpg/x", "/Cam_1.bmp", "/temp.jpg", ""}) {
        EXPECT_EQ(answerLiveViewRequest(request(path), state).status, 404) << path.constData();
        EXPECT_EQ(answerLiveViewRequest(request(path, "POST"), state).status, 404) << path.constData();
    }
}

TEST(LiveViewAnswers, APasswordGuardsEveryPath) {
    LiveViewState state = stateWith("jpeg");
    state.password = QStringLiteral("s3cret");
    auto withAuth = [&](const QByteArray& path, const QByteArray& authorization) {
        HttpRequest r = request(path);
        r.authorization = authorization;
        return answerLiveViewRequest(r, state);
    };
    auto basic = [](const QByteArray& credentials) { return "Basic " + credentials.toBase64(); };
    for (const QByteArray path : {"/", "/stream.mjpg", "/snapshot.jpg", "/status.json", "/nothing"}) {
        const HttpReply refused = withAuth(path, {});
        EXPECT_EQ(refused.status, 401) << path.constData();
        EXPECT_TRUE(headerOf(refused, "WWW-Authenticate").startsWith("Basic ")) << path.constData();
        EXPECT_TRUE(refused.body.isEmpty() || !refused.body.contains("jpeg"));
    }
    for (const QByteArray& wrong : {basic("u:s3cre"), basic("u:s3cret!"), basic("u:S3cret"), basic("s3cret"),
                                   basic(":"), QByteArray("Bearer s3cret"), QByteArray("Basic !!!")}) {
        EXPECT_EQ(withAuth("/snapshot.jpg", wrong).status, 401) << wrong.constData();
    }
    EXPECT_EQ(withAuth("/snapshot.jpg", basic("anyone:s3cret")).status, 200);
    EXPECT_EQ(withAuth("/snapshot.jpg", "basic " + QByteArray(":s3cret").toBase64()).status, 200);
    EXPECT_EQ(withAuth("/nothing", basic("x:s3cret")).status, 404);
    // The page warns that the password crosses the network readable; without one it does not.
    EXPECT_TRUE(withAuth("/", basic("x:s3cret")).body.contains("readable"));
    state.password.clear();
    EXPECT_FALSE(withAuth("/", {}).body.contains("readable"));
}

TEST(LiveViewAnswers, ASnapshotPollerIsToldNotModifiedWhileThePictureStands) {
    LiveFrames frames;
    LiveViewState state;
    HttpRequest poll = request("/snapshot.jpg");
    EXPECT_EQ(answerLiveViewRequest(poll, state).status, 503) << "no frame yet";

    frames.add("picture A", kT0);
    state.frame = frames.newest();
    const HttpReply first = answerLiveViewRequest(poll, state);
    const QByteArray etag = headerOf(first, "ETag");
    ASSERT_FALSE(etag.isEmpty());
    EXPECT_EQ(headerOf(first, "Last-Modified"), "Sun, 01 Mar 2026 12:00:00 GMT");

    // The same picture in a later frame: same tag, answered 304 with no body.
    frames.add("picture A", kT0.addSecs(3));
    state.frame = frames.newest();
    poll.ifNoneMatch = etag;
    HttpReply again = answerLiveViewRequest(poll, state);
    EXPECT_EQ(again.status, 304);
    EXPECT_TRUE(again.body.isEmpty());
    EXPECT_EQ(headerOf(again, "ETag"), etag);
    poll.ifNoneMatch = "\"other\", " + etag;
    EXPECT_EQ(answerLiveViewRequest(poll, state).status, 304);

    frames.add("picture B", kT0.addSecs(4));
    state.frame = frames.newest();
    poll.ifNoneMatch = etag;
    const HttpReply changed = answerLiveViewRequest(poll, state);
    EXPECT_EQ(changed.status, 200);
    EXPECT_EQ(changed.body, "picture B");
    EXPECT_NE(headerOf(changed, "ETag"), etag);

    // Without a tag the date decides; a tag that does not match wins over a date that would.
    poll.ifNoneMatch.clear();
    poll.ifModifiedSince = headerOf(changed, "Last-Modified");
    EXPECT_EQ(answerLiveViewRequest(poll, state).status, 304);
    poll.ifModifiedSince = httpDate(kT0.addSecs(3));
    EXPECT_EQ(answerLiveViewRequest(poll, state).status, 200);
    poll.ifModifiedSince = headerOf(changed, "Last-Modified");
    poll.ifNoneMatch = etag;
    EXPECT_EQ(answerLiveViewRequest(poll, state).status, 200);
}

TEST(LiveViewAnswers, StatusPageAndStreamParts) {
    LiveFrames frames;
    for (int i = 0; i <= 8; ++i) { // four a second for two seconds
        frames.add("jpeg", kT0.addMSecs(250 * i));
    }
    LiveViewState state;
    state.frame = frames.newest();
    state.framesPerSecond = frames.framesPerSecond(kT0.addMSecs(2100));
    state.viewers = 3;
    state.publishing = QStringLiteral("connected");
    state.password = QStringLiteral("hunter2");
    state.title = QStringLiteral("PA3XYZ <live> & \"co\"");
    EXPECT_NEAR(state.framesPerSecond, 4.0, 0.01);
    EXPECT_EQ(frames.framesPerSecond(kT0.addSecs(60)), 0.0) << "a stopped cycle has no rate";

    const QByteArray json = liveViewStatusJson(state);
    const QJsonObject status = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(status.value("frames").toInt(), 9);
    EXPECT_DOUBLE_EQ(status.value("fps").toDouble(), 4.0);
    EXPECT_EQ(status.value("viewers").toInt(), 3);
    EXPECT_EQ(status.value("publishing").toString(), "connected");
    EXPECT_EQ(QDateTime::fromString(status.value("lastFrame").toString(), Qt::ISODateWithMs), kT0.addSecs(2));
    EXPECT_FALSE(json.contains("hunter2"));

    const QByteArray page = liveViewPage(state.title, false);
    EXPECT_TRUE(page.contains("PA3XYZ &lt;live&gt; &amp; &quot;co&quot;"));
    EXPECT_FALSE(page.contains("<live>"));

    const QByteArray jpeg("\xff\xd8 body \xff\xd9");
    EXPECT_EQ(streamPart(jpeg), "--oculetframe\r\nContent-Type: image/jpeg\r\nContent-Length: 10\r\n\r\n" + jpeg + "\r\n");
}

// --- The real server ---------------------------------------------------------------------

int connectTo(quint16 port, quint32 host = INADDR_LOOPBACK) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(host);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void sendAll(int fd, const QByteArray& bytes) {
    for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += n;
    }
}

// Reads until `done` says so, the peer closes, or the time is up.
QByteArray readUntil(int fd, std::chrono::milliseconds limit, const std::function<bool(const QByteArray&)>& done = {}) {
    QByteArray got;
    const auto end = Clock::now() + limit;
    char buffer[65536];
    while (Clock::now() < end && !(done && done(got))) {
        pollfd p{fd, POLLIN, 0};
        const int ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
        if (::poll(&p, 1, std::max(ms, 1)) <= 0) {
            continue;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        got.append(buffer, n);
    }
    return got;
}

QByteArray fetch(quint16 port, const QByteArray& requestText) {
    const int fd = connectTo(port);
    if (fd < 0) {
        return {};
    }
    sendAll(fd, requestText);
    QByteArray reply = readUntil(fd, 3s);
    ::close(fd);
    return reply;
}

// The JPEGs in a multipart body, each checked against its part's Content-Length.
QList<QByteArray> streamedPictures(const QByteArray& body) {
    QList<QByteArray> pictures;
    qsizetype at = 0;
    while ((at = body.indexOf("--oculetframe\r\n", at)) >= 0) {
        const qsizetype headEnd = body.indexOf("\r\n\r\n", at);
        const qsizetype lengthAt = body.indexOf("Content-Length: ", at);
        if (headEnd < 0 || lengthAt < 0 || lengthAt > headEnd) {
            break;
        }
        const qsizetype length = body.mid(lengthAt + 16, body.indexOf("\r\n", lengthAt) - lengthAt - 16).toLongLong();
        if (body.size() < headEnd + 4 + length + 2) {
            break;
        }
        const QByteArray picture = body.mid(headEnd + 4, length);
        if (body.mid(headEnd + 4 + length, 2) != "\r\n") {
            ADD_FAILURE() << "a part is not as long as its Content-Length";
            break;
        }
        pictures << picture;
        at = headEnd + 4 + length;
    }
    return pictures;
}

QImage colourFrame(QColor colour) {
    QImage frame(320, 240, QImage::Format_RGB32);
    frame.fill(colour);
    return frame;
}

class PublishStep : public FramePublisher {
public:
    PublishStep(LiveView& view, QString folder) : view_(view), folder_(std::move(folder)) {}
    bool canPublish() const override { return true; }
    void publishFrame(const QImage& frame) override { uploaded = view_.saveJpeg(frame, folder_); }
    QByteArray uploaded;

private:
    LiveView& view_;
    QString folder_;
};

TEST(LiveViewServer, OffByDefaultThenOnLoopbackOnlyAndAPortInUseIsReported) {
    Settings settings;
    LiveView view;
    EXPECT_EQ(view.apply(settings), LiveView::State::Off);
    EXPECT_EQ(connectTo(8421), -1) << "nothing may listen while the live view is off";
    EXPECT_FALSE(view.canPublish()) << "no frames are encoded for a live view that is off";

    settings.webOn = true;
    settings.webPort = 0; // any free port
    ASSERT_EQ(view.apply(settings), LiveView::State::Serving) << view.error().toStdString();
    const quint16 port = view.port();
    EXPECT_EQ(view.address(), QStringLiteral("http://127.0.0.1:%1/").arg(port));
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) {
            const int fd = connectTo(port, a.toIPv4Address());
            EXPECT_EQ(fd, -1) << "reachable from " << a.toString().toStdString();
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    LiveView second;
    Settings same = settings;
    same.webPort = port;
    EXPECT_EQ(second.apply(same), LiveView::State::PortInUse);
    EXPECT_TRUE(fetch(port, "GET /status.json HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 200")) << "the first one serves on";

    settings.webOn = false;
    view.apply(settings);
    EXPECT_EQ(connectTo(port), -1);
}

TEST(LiveViewServer, ViewersGetTheJpegThePublishStepWrites) {
    int viewers = 0; // outlives the view, which tells the count once more as it stops
    QTemporaryDir folder;
    Settings settings;
    settings.webOn = true;
    settings.webPort = 0;
    settings.webPassword = QStringLiteral("pw");
    LiveView view;
    PublishStep publish(view, folder.path());
    view.setPublisher(&publish);
    ASSERT_EQ(view.apply(settings), LiveView::State::Serving);
    const quint16 port = view.port();
    const QByteArray auth = "Authorization: Basic " + QByteArray("x:pw").toBase64() + "\r\n";

    QObject::connect(&view, &LiveView::viewersChanged, [&](int count) { viewers = count; });
    const int stream = connectTo(port);
    sendAll(stream, "GET /stream.mjpg HTTP/1.0\r\n" + auth + "\r\n");
    const QImage red = colourFrame(Qt::red);
    view.publishFrame(red);
    const QByteArray tempJpeg = [&] {
        QFile f(folder.filePath("temp.jpg"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_TRUE(tempJpeg.startsWith("\xff\xd8"));
    EXPECT_EQ(publish.uploaded, tempJpeg);

    const QByteArray snapshot = fetch(port, "GET /snapshot.jpg HTTP/1.0\r\n" + auth + "\r\n");
    EXPECT_TRUE(snapshot.startsWith("HTTP/1.1 200"));
    EXPECT_TRUE(snapshot.endsWith("\r\n\r\n" + tempJpeg)) << "the snapshot is temp.jpg's bytes";
    EXPECT_TRUE(fetch(port, "GET /snapshot.jpg HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 401"));
    const QByteArray etag = snapshot.mid(snapshot.indexOf("ETag: ") + 6).split('\r').first();
    EXPECT_TRUE(fetch(port, "GET /snapshot.jpg HTTP/1.0\r\n" + auth + "If-None-Match: " + etag + "\r\n\r\n")
                    .startsWith("HTTP/1.1 304"));

    // The stream carries each frame as it comes, the newest one to a viewer that was waiting;
    // a frame made while publishing is held goes to the viewers only.
    publish.uploaded.clear();
    view.showHeldFrame(colourFrame(Qt::blue));
    EXPECT_TRUE(publish.uploaded.isEmpty()) << "a held frame was published";
    const QByteArray streamed = readUntil(stream, 3s, [](const QByteArray& b) { return streamedPictures(b).size() >= 2; });
    view.showHeldFrame(colourFrame(Qt::blue));
    EXPECT_EQ(viewers, 1) << "the number of viewers was not told";
    ::close(stream);
    const QList<QByteArray> pictures = streamedPictures(streamed);
    ASSERT_GE(pictures.size(), 2);
    EXPECT_EQ(pictures[0], tempJpeg);
    EXPECT_GT(qBlue(QImage::fromData(pictures[1], "JPEG").pixel(10, 10)), 200);
}

bool pollUntilServed(quint16 port) {
    const auto end = Clock::now() + 5s;
    while (Clock::now() < end) {
        if (fetch(port, "GET / HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 200")) {
            return true;
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

int threadCount() {
    int n = 0;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(dir)) {
            n += e->d_name[0] != '.';
        }
        ::closedir(dir);
    }
    return n;
}

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return 0;
}

TEST(LiveViewServer, HostileClientsStarveNoViewerAndExhaustNothing) {
    HttpServer server([](const HttpRequest& r) {
        HttpReply reply;
        reply.stream = r.path == "/stream.mjpg";
        reply.body = "ok";
        return reply;
    });
    HttpServerOptions options;
    options.idleTimeoutSeconds = 2;
    options.requestHeadSeconds = 2;
    ASSERT_EQ(server.start(options), HttpServer::StartResult::Started);
    const quint16 port = server.port();
    const QByteArray picture(20000, 'j');

    // Ten frames a second, timed to see whether handing one over ever waits for a client.
    std::atomic<bool> feeding{true};
    std::atomic<long long> longestHandOverUs{0};
    std::thread feeder([&] {
        while (feeding) {
            const auto start = Clock::now();
            server.publishPart(std::make_shared<const QByteArray>(streamPart(picture)));
            const long long us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
            longestHandOverUs = std::max(longestHandOverUs.load(), us);
            std::this_thread::sleep_for(100ms);
        }
    });
    const int threadsBefore = threadCount();
    const long rssBefore = residentKb();

    // A good viewer, reading all along.
    std::atomic<int> goodParts{0};
    const int good = connectTo(port);
    ASSERT_GE(good, 0);
    sendAll(good, "GET /stream.mjpg HTTP/1.0\r\n\r\n");
    std::thread viewer([&] {
        QByteArray got;
        const auto end = Clock::now() + 5s;
        while (Clock::now() < end) {
            got += readUntil(good, 100ms);
            goodParts = int(got.count("--oculetframe"));
        }
    });

    // One that never reads, one that sends its request a byte at a time, one with a 1 MB head.
    const int stalled = connectTo(port);
    const int small = 4096;
    ::setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sendAll(stalled, "GET /stream.mjpg HTTP/1.0\r\n\r\n");
    const int trickle = connectTo(port);
    const int huge = connectTo(port);
    sendAll(huge, "GET / HTTP/1.0\r\nX-Big: " + QByteArray(1 << 20, 'a') + "\r\n\r\n");
    const QByteArray hugeReply = readUntil(huge, 3s);
    EXPECT_FALSE(hugeReply.startsWith("HTTP/1.1 200")) << "a 1 MB request head must be refused";

    // Two thousand connections at once: beyond the limit they are closed, not served.
    std::vector<int> flood;
    for (int i = 0; i < 2000; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        flood.push_back(fd);
    }
    // The one sending a byte at a time is never idle, but its head is overdue after 2 s.
    const auto trickleStart = Clock::now();
    bool trickleClosed = false;
    for (const char c : QByteArray("GET / HTTP/1.1\r\nX-Slow: a byte at a time\r\n")) {
        if (::send(trickle, &c, 1, MSG_NOSIGNAL) != 1 || (!readUntil(trickle, 150ms).isEmpty() || trickleClosed)) {
            trickleClosed = true;
            break;
        }
        pollfd p{trickle, POLLIN, 0};
        char b;
        if (::poll(&p, 1, 0) > 0 && ::recv(trickle, &b, 1, MSG_PEEK) <= 0) {
            trickleClosed = true;
            break;
        }
    }
    EXPECT_TRUE(trickleClosed) << "a request head sent a byte at a time was let run on";
    EXPECT_LT(Clock::now() - trickleStart, 4s);
    const int threadsDuring = threadCount();
    const long rssDuring = residentKb();
    viewer.join();
    feeding = false;
    feeder.join();

    // With no new frame, the clients still connected wait without costing the server anything.
    const std::clock_t cpuBefore = std::clock();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(double(std::clock() - cpuBefore) / CLOCKS_PER_SEC, 0.2) << "waiting clients keep the server busy";

    EXPECT_GE(goodParts.load(), 40) << "the good viewer fell behind the frames (10 a second for 5 s)";
    EXPECT_LE(threadsDuring, threadsBefore + 2) << "connections must not cost threads";
    EXPECT_LT(rssDuring - rssBefore, 64 * 1024) << "memory grew by " << (rssDuring - rssBefore) << " kB";
    EXPECT_LT(longestHandOverUs.load(), 50000) << "handing a frame over waited for the clients";
    for (const int fd : flood) {
        ::close(fd);
    }
    for (const int fd : {good, stalled, trickle, huge}) {
        ::close(fd);
    }
    // Once they are gone a new viewer is served, and stopping takes well under a second.
    EXPECT_TRUE(pollUntilServed(port));
    const auto stopStart = Clock::now();
    server.stop();
    EXPECT_LT(Clock::now() - stopStart, 1s);
}

} // namespace
} // namespace oculet
