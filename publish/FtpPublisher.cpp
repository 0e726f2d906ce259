#include "publish/FtpPublisher.h"

#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "platform/AtomicFile.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/RegularFile.h"
#include "publish/ImageCompare.h"
#include "publish/JpegWriter.h"
#include "publish/RemotePath.h"

#include <QFile>
#include <QSemaphore>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <utility>

namespace oculet {
namespace {

const QString kInternetFailed = QStringLiteral("Internet connection failed");
const QString kFtpFailed = QStringLiteral("Ftp connection failed");
// Where a frame is parked to learn whether this server can rename at all.
const QString kRenameCheckName = QStringLiteral("temp2.jpg");

qint64 steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Copies a file over another so that a reader sees the old or the new content, never a mix.
bool copyAtomically(const QString& from, const QString& to) {
    const FileRead source = readRegularFile(from, kMaxOffPictureSize);
    return source.ok() && replaceFile(to, source.bytes) == 0;
}

// How a finished upload takes the published name on this server.
enum class Placement {
    RenameOver,       // rename temp.jpg over the published file (tried first)
    DeleteThenRename, // the server will not rename over a file, but renames to a free name
    Direct,           // the server cannot rename at all: upload straight under the published name
};

struct TransferRequest {
    FtpEndpoint endpoint;
    QString localPath;
    QString remoteDir;
    QString filename;
    // The JPEG just written to `localPath`, sent as it is; null when the file is to be read.
    QByteArray contents;
};

// Reads `localPath` when the request does not carry the picture: at shutdown it holds the off
// picture. Nothing when there is no file; a failure when there is one that cannot be read.
std::optional<FtpResult> loadPicture(TransferRequest& request, bool& found) {
    found = !request.contents.isNull();
    if (found) {
        return std::nullopt;
    }
    found = QFile::exists(request.localPath);
    if (!found) {
        return std::nullopt;
    }
    FileRead file = readRegularFile(request.localPath, kMaxOffPictureSize);
    if (!file.ok()) {
        FtpResult result;
        result.message = QStringLiteral("%1 could not be read.").arg(request.localPath);
        return result;
    }
    request.contents = std::move(file.bytes);
    return std::nullopt;
}

} // namespace

// What lives on the worker thread and is touched only there.
struct FtpPublisher::Worker {
    std::unique_ptr<FtpClient> client;
    Placement placement = Placement::RenameOver;
    QString placementServer; // the server `placement` was learnt on
    // A refusal to rename may be passing (a file held open, a quota, a server restarting), so a
    // fallback is not kept for good: the rename over the picture is tried again at this time
    // (steady clock), after pauses that grow while the server keeps refusing.
    Backoff renameBackoff;
    qint64 renameRetryAtMs = 0;

    FtpClient& on(const FtpEndpoint& endpoint) {
        const QString server = endpoint.host + u':' + QString::number(endpoint.port);
        if (server != placementServer) {
            placement = Placement::RenameOver;
            placementServer = server;
            renameBackoff.reset();
        }
        return *client;
    }

    // One frame, placed the way this server allows. Returns the failed request's result, if any.
    std::optional<FtpResult> send(const TransferRequest& request, const FtpStop& uploadStop,
                                  const FtpStop& placeStop, bool& placementChanged);
};

// The worker's way back to the GUI thread. Closed when the publisher goes, so a request that
// outlived it (only possible while the program ends) posts nowhere.
struct FtpPublisher::Backchannel {
    std::mutex mutex;
    FtpPublisher* publisher = nullptr;

    void post(std::function<void()> fn) {
        std::lock_guard lock(mutex);
        if (publisher != nullptr) {
            QMetaObject::invokeMethod(publisher, std::move(fn), Qt::QueuedConnection);
        }
    }
    void close() {
        std::lock_guard lock(mutex);
        publisher = nullptr;
    }
};

struct FtpPublisher::TransferOutcome {
    bool published = false;
    // A request failed (not merely cancelled): the connection is gone and the cause is here.
    std::optional<FtpResult> failure;
    // Set when the worker has just learnt that this server cannot rename, or that it can again.
    bool placementChanged = false;
    bool direct = false;
};

namespace {

// Puts the uploaded temp.jpg under the published name. The published picture is deleted only on
// a server known to refuse a rename over a file while renaming to a free name works; a server
// that cannot rename at all gets the picture uploaded under its name instead. A transient refusal
// (4xx) or a broken connection deletes nothing.
// `renamedAlready`: the outcome of the first rename over the picture, when it went with the upload.
FtpResult place(FtpClient& client, Placement& placement, const TransferRequest& request,
                const FtpStop& stop, const std::optional<FtpResult>& renamedAlready = std::nullopt) {
    const QString temp = tempJpegName();
    auto uploadDirect = [&] {
        return client.upload(request.endpoint, request.contents, request.remoteDir, request.filename, stop);
    };
    auto deleteAndRename = [&](const QString& from) {
        client.remove(request.endpoint, request.remoteDir, request.filename, stop);
        const FtpResult renamed = client.rename(request.endpoint, request.remoteDir, from, request.filename, stop);
        // The picture is gone from the server now: never leave it missing until the next frame.
        return renamed.refused ? uploadDirect() : renamed;
    };

    if (placement == Placement::DeleteThenRename) {
        return deleteAndRename(temp);
    }
    const FtpResult renamed = renamedAlready ? *renamedAlready
                                             : client.rename(request.endpoint, request.remoteDir, temp, request.filename, stop);
    if (renamed.ok || !renamed.refused) {
        return renamed;
    }
    // Refused for good: find out, without touching the published picture, whether renaming works
    // on this server at all.
    const FtpResult check = client.rename(request.endpoint, request.remoteDir, temp, kRenameCheckName, stop);
    if (check.ok) {
        placement = Placement::DeleteThenRename;
        return deleteAndRename(kRenameCheckName);
    }
    if (!check.refused) {
        return check;
    }
    placement = Placement::Direct;
    client.remove(request.endpoint, request.remoteDir, temp, stop);
    return uploadDirect();
}

// One frame: upload and place it. Returns the failed request's result, if one failed.
std::optional<FtpResult> transfer(FtpClient& client, Placement& placement, const TransferRequest& request,
                                  const FtpStop& uploadStop, const FtpStop& placeStop) {
    if (placement == Placement::Direct) {
        const FtpResult sent = client.upload(request.endpoint, request.contents, request.remoteDir,
                                             request.filename, uploadStop);
        return sent.ok ? std::nullopt : std::optional(sent);
    }
    if (placement == Placement::RenameOver) {
        // The usual case: the rename goes with the upload, one request per frame. Stopped midway,
        // it leaves the published picture as it was or already replaced, never missing.
        bool uploaded = false;
        const FtpResult renamed = client.uploadAndRename(request.endpoint, request.contents, request.remoteDir,
                                                         tempJpegName(), request.filename, uploadStop, uploaded);
        if (renamed.ok || !uploaded) {
            return renamed.ok ? std::nullopt : std::optional(renamed);
        }
        const FtpResult placed = place(client, placement, request, placeStop, renamed);
        return placed.ok ? std::nullopt : std::optional(placed);
    }
    const FtpResult sent =
        client.upload(request.endpoint, request.contents, request.remoteDir, tempJpegName(), uploadStop);
    if (!sent.ok) {
        return sent;
    }
    const FtpResult placed = place(client, placement, request, placeStop);
    return placed.ok ? std::nullopt : std::optional(placed);
}

} // namespace

std::optional<FtpResult> FtpPublisher::Worker::send(const TransferRequest& request, const FtpStop& uploadStop,
                                                    const FtpStop& placeStop, bool& placementChanged) {
    FtpClient& server = on(request.endpoint);
    const Placement before = placement;
    const bool retryRename = placement != Placement::RenameOver && steadyMs() >= renameRetryAtMs;
    if (retryRename) {
        placement = Placement::RenameOver;
    }
    const std::optional<FtpResult> failed = transfer(server, placement, request, uploadStop, placeStop);
    if (retryRename && placement == Placement::RenameOver) {
        if (failed) {
            // Lost on the way before the server said yes or no: asked again with the next frame.
            placement = before;
        } else {
            renameBackoff.reset();
        }
    } else if (placement != Placement::RenameOver && (retryRename || before == Placement::RenameOver)) {
        renameRetryAtMs = steadyMs() + renameBackoff.nextPauseMs();
    }
    placementChanged = placement != before;
    return failed;
}

FtpPublisher::FtpPublisher(const Settings& settings, const InterfaceTexts& texts, Messages& messages,
                           std::unique_ptr<FtpClient> client, FtpPublisherOptions options, QObject* parent)
    : QObject(parent), settings_(settings), texts_(texts), messages_(messages), options_(std::move(options)),
      worker_(std::make_shared<Worker>()), back_(std::make_shared<Backchannel>()),
      cancelGeneration_(std::make_shared<std::atomic<int>>(0)),
      abortAll_(std::make_shared<std::atomic<bool>>(false)),
      closingDeadline_(std::make_shared<std::atomic<qint64>>(0)), backoff_(options_.backoff) {
    worker_->client = client ? std::move(client) : std::make_unique<CurlFtpClient>();
    worker_->client->setTimeouts(options_.timeouts);
    worker_->renameBackoff = options_.backoff;
    if (!options_.saveJpeg) {
        options_.saveJpeg = &saveFrameAsJpeg;
    }
    if (options_.dataFolder.isEmpty()) {
        options_.dataFolder = Paths::dataFolder(); // asked once: it is looked up anew on every call
    }
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &FtpPublisher::retryTick);
    paceTimer_.setSingleShot(true);
    connect(&paceTimer_, &QTimer::timeout, this, [this] {
        const QImage held = std::exchange(held_, QImage());
        if (!held.isNull()) {
            publishFrame(held);
        }
    });
    back_->publisher = this;
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("ftp"));
    threadContext_ = new QObject;
    threadContext_->moveToThread(thread_);
    thread_->start();
}

FtpPublisher::~FtpPublisher() {
    stopWorker(3000);
    back_->close();
}

void FtpPublisher::stopWorker(int waitMs) {
    if (thread_ == nullptr) {
        return;
    }
    abortAll_->store(true);
    thread_->quit();
    if (thread_->wait(QDeadlineTimer(waitMs))) {
        delete threadContext_;
        delete thread_;
    } else {
        // A request stuck beyond every time limit: leave the thread to finish on its own rather
        // than destroy it under its feet. Only reached while the program is ending.
        auto keepAlive = worker_;
        QObject::connect(thread_, &QThread::finished, thread_, [keepAlive] {});
        QObject::connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
        QObject::connect(thread_, &QThread::finished, threadContext_, &QObject::deleteLater);
    }
    thread_ = nullptr;
    threadContext_ = nullptr;
}

QString FtpPublisher::dataFolder() const { return options_.dataFolder; }

FtpEndpoint FtpPublisher::endpoint() const {
    QStringList from{settings_.ftpAddress, settings_.ftpUsername, settings_.ftpPassword, acceptedHostKey_};
    if (!endpointMemo_ || endpointMemo_->first != from) {
        FtpEndpoint endpoint = FtpEndpoint::fromAddress(from[0], from[1], from[2]);
        endpoint.acceptedHostKey = acceptedHostKey_;
        endpointMemo_.emplace(std::move(from), std::move(endpoint));
    }
    return endpointMemo_->second;
}

QString FtpPublisher::loginDetails() const {
    return QStringList{settings_.ftpAddress, settings_.ftpUsername, settings_.ftpPassword, settings_.ftpDir,
                       acceptedHostKey_}
        .join(QChar(0));
}

void FtpPublisher::acceptHostKey(const QString& fingerprint) {
    acceptedHostKey_ = fingerprint;
    testFtpConnection();
}

QString FtpPublisher::currentRemoteDir() const { return remoteDirectory(settings_.ftpDir); }

// The folder the picture was last published to; before any transfer, the folder in the panel.
QString FtpPublisher::withdrawalDir() const {
    return lastRemoteDir_.isEmpty() ? currentRemoteDir() : lastRemoteDir_;
}

void FtpPublisher::setStatus(LinkState state, const QString& detail, const QString& unknownHostKey) {
    LinkStatus next{state, 0, detail, unknownHostKey};
    if (state == LinkState::Retrying) {
        next.retryInSeconds = static_cast<int>((std::max<qint64>(retryAtMs_ - steadyMs(), 0) + 999) / 1000);
    }
    if (state == LinkState::Connected && detail.isEmpty()) {
        next.detail = serverRemark_;
    }
    if (next != status_) {
        status_ = next;
        emit statusChanged(status_);
    }
}

void FtpPublisher::post(std::function<void()> job) {
    if (threadContext_ != nullptr) {
        QMetaObject::invokeMethod(threadContext_, std::move(job), Qt::QueuedConnection);
    }
}

FtpStop FtpPublisher::transferStop() const {
    const int generation = cancelGeneration_->load();
    return [cancel = cancelGeneration_, stop = abortStop(), generation] {
        return stop() || cancel->load() != generation;
    };
}

FtpStop FtpPublisher::abortStop() const {
    return [abort = abortAll_, closing = closingDeadline_] {
        const qint64 deadline = closing->load();
        return abort->load() || (deadline != 0 && steadyMs() >= deadline);
    };
}

bool FtpPublisher::canPublish() const { return settings_.ftpOn && connected_ && !shutDown_; }

void FtpPublisher::cancelTransfer() { cancelGeneration_->fetch_add(1); }

void FtpPublisher::testFtpConnection() {
    if (shutDown_) {
        return;
    }
    if (settings_.ftpOn) {
        const bool waitingOnFailure = status_.state == LinkState::Retrying ||
                                      status_.state == LinkState::LoginRefused ||
                                      status_.state == LinkState::Untrusted;
        if (connected_ || connecting_ || (waitingOnFailure && loginDetails() == failedLogin_)) {
            return;
        }
        backoff_.reset();
        connectNow(true);
        return;
    }

    // Webcam mode: the web page should no longer show a picture this program stopped updating.
    const bool wasConnected = connected_;
    connected_ = false;
    retryTimer_.stop();
    backoff_.reset();
    setStatus(LinkState::Off, {});
    // Nothing is published any more, so no frame is the one on the server: when FTP upload is
    // chosen again, the very next frame must go up even if the picture has not changed.
    reference_ = QImage();
    post([this, back = back_, worker = worker_, wasConnected, endpoint = endpoint(), dir = withdrawalDir(),
          filename = settings_.ftpFilename, stop = abortStop()] {
        if (wasConnected) {
            worker->client->remove(endpoint, dir, filename, stop);
        }
        worker->client->disconnect();
        if (wasConnected) {
            back->post([this] { emit withdrawn(); });
        }
    });
}

void FtpPublisher::connectNow(bool askedByUser) {
    connecting_ = true;
    retryTimer_.stop();
    setStatus(LinkState::Connecting, status_.detail);
    if (askedByUser) {
        emit busy(texts_[Text::Connecting]);
    }
    const QString triedWith = loginDetails();
    post([this, back = back_, worker = worker_, endpoint = endpoint(), stop = abortStop(), askedByUser,
          triedWith] {
        const bool available = worker->client->available();
        FtpResult result;
        if (available) {
            result = worker->client->checkLogin(endpoint, stop);
        } else {
            result.message = kInternetFailed;
        }
        if (!result.ok) {
            worker->client->disconnect();
        }
        back->post([this, result, askedByUser, triedWith] {
            connecting_ = false;
            if (askedByUser) {
                emit idle();
            }
            if (shutDown_ || !settings_.ftpOn) {
                return;
            }
            if (result.ok) {
                // The pause shrinks back only once a frame gets through: a server that logs in
                // but refuses every upload must not be tried every two seconds.
                connected_ = true;
                setStatus(LinkState::Connected, {});
            } else {
                connectionFailed(result, triedWith);
            }
        });
    });
}

void FtpPublisher::connectionFailed(const FtpResult& result, const QString& triedWith) {
    connected_ = false;
    failedLogin_ = triedWith;
    if (!failureReported_) {
        // Once a run: after that the menu bar tells, and nobody has to click anything away.
        failureReported_ = true;
        // Named by what failed: a folder that cannot be entered is no connection failure, the
        // login worked.
        messages_.warn(result.message == kInternetFailed       ? kInternetFailed
                       : result.failure == FtpFailure::Folder ? QStringLiteral("Ftp folder %1 cannot be entered")
                                                                    .arg(currentRemoteDir())
                                                              : kFtpFailed);
    }
    if (result.failure == FtpFailure::Login || !endpoint().addressError.isEmpty()) {
        // Trying the same login again cannot help, and servers lock out accounts that keep trying.
        setStatus(LinkState::LoginRefused, result.message);
        return;
    }
    if (result.failure == FtpFailure::Trust) {
        // Only the user can decide to trust another key or certificate.
        setStatus(LinkState::Untrusted, result.message, result.unknownHostKey);
        return;
    }
    QString detail = result.message;
    if (result.failure == FtpFailure::Folder) {
        detail = QStringLiteral("The folder \"%1\" cannot be entered on the server. (%2)")
                     .arg(currentRemoteDir(), result.message);
    }
    retryAtMs_ = steadyMs() + backoff_.nextPauseMs();
    setStatus(LinkState::Retrying, detail);
    retryTick();
}

void FtpPublisher::retryTick() {
    if (shutDown_ || status_.state != LinkState::Retrying) {
        return;
    }
    const qint64 left = retryAtMs_ - steadyMs();
    if (left <= 0) {
        connectNow(false);
        return;
    }
    setStatus(LinkState::Retrying, status_.detail);
    // Wake at each whole second still to wait, so the count on the menu bar runs down evenly.
    retryTimer_.start(static_cast<int>(left % 1000 == 0 ? 1000 : left % 1000));
}

void FtpPublisher::publishFrame(const QImage& frame) {
    if (!canPublish() || thread_ == nullptr) {
        return;
    }
    if (publishing_) {
        // Only the newest frame waits for the upload in flight; older ones are never sent.
        waiting_ = frame;
        return;
    }
    // The off picture is sent as it stands and is never taken for an unchanged frame.
    if (!offPictureReady_ && imagesEqual(frame, reference_)) {
        return;
    }
    // With a least interval between uploads (a hosted site's limit), a changed frame that comes
    // too soon waits; only the newest one goes up when the pause is over.
    const qint64 now = steadyMs();
    const qint64 due = lastUploadMs_ + qint64{settings_.ftpInterval} * 1000;
    if (!offPictureReady_ && settings_.ftpInterval > 0 && lastUploadMs_ > 0 && now < due) {
        held_ = frame;
        if (!paceTimer_.isActive()) {
            paceTimer_.start(static_cast<int>(due - now));
        }
        return;
    }
    QByteArray jpeg;
    if (!offPictureReady_) {
        try {
            jpeg = options_.saveJpeg(frame, dataFolder());
        } catch (const std::exception&) {
            // Without a fresh temp.jpg there is nothing to send: an older one must not go up in
            // this frame's place.
            return;
        }
    }

    TransferRequest request{endpoint(), dataFolder() + u'/' + tempJpegName(), currentRemoteDir(),
                            settings_.ftpFilename, std::move(jpeg)};
    lastRemoteDir_ = request.remoteDir;
    lastUploadMs_ = now;
    publishing_ = true;
    post([this, back = back_, worker = worker_, request, frame, stop = transferStop(), placeStop = abortStop()] {
        TransferOutcome outcome;
        TransferRequest job = request;
        bool found = false;
        if (std::optional<FtpResult> unreadable = loadPicture(job, found)) {
            outcome.failure = unreadable;
        } else if (found) {
            const std::optional<FtpResult> failed = worker->send(job, stop, placeStop, outcome.placementChanged);
            outcome.direct = worker->placement == Placement::Direct;
            outcome.published = !failed;
            if (failed && !failed->cancelled) {
                worker->client->disconnect();
                outcome.failure = failed;
            }
        }
        back->post([this, outcome, frame] { finishTransfer(outcome, frame); });
    });
}

void FtpPublisher::finishTransfer(const TransferOutcome& outcome, const QImage& frame) {
    publishing_ = false;
    const bool toldDirect = !serverRemark_.isEmpty();
    if (outcome.placementChanged && outcome.direct != toldDirect) {
        serverRemark_ = outcome.direct ? QStringLiteral("This server cannot rename files, so the picture is uploaded "
                                                        "straight under its published name.")
                                       : QString();
        std::fprintf(stderr, "Oculet: %s\n",
                     outcome.direct ? qPrintable(serverRemark_)
                                    : "The server renames files again, so the picture goes up under a temporary name "
                                      "first once more.");
    }
    if (outcome.published) {
        backoff_.reset();
        reference_ = frame;
        setStatus(LinkState::Connected, {});
        emit framePublished();
    }
    if (outcome.failure && !shutDown_ && settings_.ftpOn) {
        connectionFailed(*outcome.failure, loginDetails());
    }
    const QImage next = std::exchange(waiting_, QImage());
    if (!next.isNull()) {
        publishFrame(next);
    }
}

void FtpPublisher::shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    retryTimer_.stop();
    paceTimer_.stop();
    waiting_ = QImage();
    held_ = QImage();
    // Every request from here on, the one in flight included, ends by this time.
    closingDeadline_->store(steadyMs() + options_.shutdownBudgetMs);
    const QString folder = dataFolder();
    const QString offPicture = folder + u'/' + Paths::offPictureName();
    // Without an off picture the last live frame would stay on the server as if the station
    // were still on the air: it is withdrawn instead (the publishing panel says so).
    const bool keepPicture = settings_.offPictureOnShutdown() && QFile::exists(offPicture);
    if (keepPicture) {
        copyAtomically(offPicture, folder + u'/' + tempJpegName());
    }
    offPictureReady_ = true;

    const bool wasConnected = settings_.ftpOn && connected_;
    connected_ = false;
    setStatus(LinkState::Off, {});
    if (!wasConnected || thread_ == nullptr) {
        stopWorker(500);
        return;
    }
    cancelTransfer();

    auto finished = std::make_shared<QSemaphore>();
    TransferRequest request{endpoint(), folder + u'/' + tempJpegName(), currentRemoteDir(), settings_.ftpFilename, {}};
    post([worker = worker_, request, withdrawFrom = withdrawalDir(), keepPicture, stop = abortStop(), finished] {
        if (keepPicture) {
            TransferRequest job = request;
            bool found = false;
            bool placementChanged = false;
            if (!loadPicture(job, found) && found) {
                worker->send(job, stop, stop, placementChanged);
            }
        } else {
            // The picture is withdrawn, so there is no point sending a last one first.
            worker->client->remove(request.endpoint, withdrawFrom, request.filename, stop);
        }
        worker->client->disconnect();
        finished->release();
    });
    // The window waits here, but only this long: a dead server must not hold the closing. A
    // request notices the deadline within about a second.
    if (!finished->tryAcquire(1, options_.shutdownBudgetMs + 1200)) {
        abortAll_->store(true);
    }
    stopWorker(300);
}

} // namespace oculet
