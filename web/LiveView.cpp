#include "web/LiveView.h"

#include "publish/JpegWriter.h"
#include "settings/Settings.h"
#include "web/LiveViewRoutes.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <algorithm>
#include <utility>

namespace oculet {
namespace {

// The station's title on the page: the fixed text where the frame shows it, else the name stamp.
QString stationTitle(const Settings& settings) {
    if (settings.fixedTextShown()) {
        const QString text = settings.fixedTexts[std::size_t(std::clamp(settings.fixedIndex, 0, 4))].trimmed();
        if (!text.isEmpty()) {
            return text;
        }
    }
    return QStringLiteral("Oculet");
}

} // namespace

LiveView::LiveView(QObject* parent)
    : QObject(parent), server_([this](const HttpRequest& request) { return answer(request); }) {}

LiveView::~LiveView() { stop(); }

LiveView::State LiveView::apply(const Settings& settings) {
    settings_ = &settings;
    {
        std::lock_guard lock(mutex_);
        password_ = settings.webPassword;
        title_ = stationTitle(settings);
    }
    if (!settings.webOn) {
        stop();
        return state_;
    }
    HttpServerOptions options;
    options.port = quint16(settings.webPort);
    options.allAddresses = settings.webLan;
    if (state_ == State::Serving && options.port == running_.port && options.allAddresses == running_.allAddresses) {
        return state_;
    }
    error_.clear();
    switch (server_.start(options, &error_)) {
    case HttpServer::StartResult::Started: state_ = State::Serving; break;
    case HttpServer::StartResult::PortInUse: state_ = State::PortInUse; break;
    case HttpServer::StartResult::Failed: state_ = State::Failed; break;
    }
    running_ = options;
    const LiveFrame newest = frames_.newest();
    if (newest.jpeg) {
        server_.publishPart(std::make_shared<const QByteArray>(streamPart(*newest.jpeg)));
    }
    lastViewers_ = server_.streamClients();
    emit viewersChanged(lastViewers_);
    return state_;
}

void LiveView::stop() {
    server_.stop();
    state_ = State::Off;
    lastViewers_ = 0;
    emit viewersChanged(0);
}

QString LiveView::address() const {
    if (state_ != State::Serving) {
        return {};
    }
    QString host = QStringLiteral("127.0.0.1");
    if (running_.allAddresses) {
        // Other computers reach it by this computer's own network address.
        for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback() && !a.isLinkLocal()) {
                host = a.toString();
                break;
            }
        }
    }
    return QStringLiteral("http://%1:%2/").arg(host).arg(server_.port());
}

void LiveView::setPublishing(const QString& words) {
    std::lock_guard lock(mutex_);
    publishing_ = words.isEmpty() ? QStringLiteral("off") : words;
}

bool LiveView::canPublish() const {
    return state_ == State::Serving || (next_ != nullptr && next_->canPublish());
}

void LiveView::showHeldFrame(const QImage& frame) {
    FramePublisher* next = std::exchange(next_, nullptr);
    publishFrame(frame);
    next_ = next;
}

void LiveView::publishFrame(const QImage& frame) {
    if (state_ == State::Serving) {
        if (settings_ != nullptr) {
            const QString title = stationTitle(*settings_);
            std::lock_guard lock(mutex_);
            title_ = title;
        }
        try {
            encoded_ = encodeFrameJpeg(frame);
            encodedFrame_ = frame;
            frames_.add(encoded_, QDateTime::currentDateTimeUtc());
            server_.publishPart(std::make_shared<const QByteArray>(streamPart(encoded_)));
        } catch (const std::exception&) {
            // A frame that cannot be encoded is not shown; the viewers keep the last one.
            encoded_.clear();
            encodedFrame_ = QImage();
        }
        if (const int viewers = server_.streamClients(); viewers != lastViewers_) {
            lastViewers_ = viewers;
            emit viewersChanged(viewers);
        }
    }
    if (next_ != nullptr && next_->canPublish()) {
        next_->publishFrame(frame);
    }
}

QByteArray LiveView::saveJpeg(const QImage& frame, const QString& dataFolder) {
    if (!encoded_.isEmpty() && frame == encodedFrame_) {
        writeTempJpeg(encoded_, dataFolder);
        return encoded_;
    }
    return saveFrameAsJpeg(frame, dataFolder);
}

HttpReply LiveView::answer(const HttpRequest& request) {
    LiveViewState state;
    {
        std::lock_guard lock(mutex_);
        state.password = password_;
        state.title = title_;
        state.publishing = publishing_;
    }
    state.frame = frames_.newest();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    state.framesPerSecond = frames_.framesPerSecond(now);
    state.viewers = server_.streamClients();
    return answerLiveViewRequest(request, state);
}

} // namespace oculet
