#include "publish/FtpPublisher.h"

#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBoxes.h"
#include "platform/Paths.h"
#include "publish/ImageCompare.h"
#include "publish/JpegWriter.h"
#include "publish/RemotePath.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSemaphore>
#include <QThread>

#include <exception>
#include <mutex>

namespace oculet {
namespace {

const QString kInternetFailed = QStringLiteral("Internet connection failed");
const QString kFtpFailed = QStringLiteral("Ftp connection failed");

bool isReplaceRefusal(const FtpResult& result) {
    return !result.ok && !result.cancelled && (result.replyCode == 550 || result.replyCode == 553);
}

// Copies a file over another so that a reader sees the old or the new content, never a mix.
bool copyAtomically(const QString& from, const QString& to) {
    QFile source(from);
    return source.open(QIODevice::ReadOnly) && replaceFile(to, source.readAll()) == 0;
}

} // namespace

// What lives on the worker thread and is touched only there.
struct FtpPublisher::Worker {
    std::unique_ptr<FtpClient> client;
    // Set once this server has refused to rename over an existing file; the published file is
    // then deleted first. Forgotten with the connection.
    bool deleteBeforeRename = false;
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
    bool reconnected = false;     // a reconnect was tried after a failed upload
    bool reconnectOk = false;
};

struct TransferRequest {
    FtpEndpoint endpoint;
    QString localPath;
    QString remoteDir;
    QString filename;
};

namespace {

// Renames temp.jpg over the published name. A server that will not replace an existing file
// answers 550/553: only then is the published file deleted and the rename repeated. A transient
// refusal (4xx) deletes nothing; the next frame tries again.
bool renameOver(FtpClient& client, bool& deleteBeforeRename, const TransferRequest& request,
                const FtpStop& stop) {
    const QString temp = tempJpegName();
    if (deleteBeforeRename) {
        client.remove(request.endpoint, request.remoteDir, request.filename, stop);
        return client.rename(request.endpoint, request.remoteDir, temp, request.filename, stop).ok;
    }
    FtpResult renamed =
        client.rename(request.endpoint, request.remoteDir, temp, request.filename, stop);
    if (isReplaceRefusal(renamed)) {
        client.remove(request.endpoint, request.remoteDir, request.filename, stop);
        renamed = client.rename(request.endpoint, request.remoteDir, temp, request.filename, stop);
        deleteBeforeRename = renamed.ok;
    }
    return renamed.ok;
}

} // namespace

FtpPublisher::FtpPublisher(Settings& settings, const InterfaceTexts& texts,
                           MessageBoxes& messages, std::unique_ptr<FtpClient> client,
                           FtpPublisherOptions options, QObject* parent)
    : QObject(parent), settings_(settings), texts_(texts), messages_(messages),
      options_(std::move(options)), worker_(std::make_shared<Worker>()),
      back_(std::make_shared<Backchannel>()),
      cancelGeneration_(std::make_shared<std::atomic<int>>(0)),
      abortAll_(std::make_shared<std::atomic<bool>>(false)) {
    worker_->client = client ? std::move(client) : std::make_unique<CurlFtpClient>();
    worker_->client->setTimeouts(options_.timeouts);
    if (!options_.saveJpeg) {
        options_.saveJpeg = &saveFrameAsJpeg;
    }
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

QString FtpPublisher::dataFolder() const {
    return options_.dataFolder.isEmpty() ? Paths::dataFolder() : options_.dataFolder;
}

FtpEndpoint FtpPublisher::endpoint() const {
    return FtpEndpoint::fromAddress(settings_.ftpAddress, settings_.ftpUsername,
                                    settings_.ftpPassword);
}

QString FtpPublisher::currentRemoteDir() const { return remoteDirectory(settings_.ftpDir); }

// The folder the picture was last published to; before any transfer, the folder in the panel.
QString FtpPublisher::withdrawalDir() const {
    return lastRemoteDir_.isEmpty() ? currentRemoteDir() : lastRemoteDir_;
}

void FtpPublisher::setConnected(bool connected) {
    if (connected_ != connected) {
        connected_ = connected;
        emit connectedChanged(connected);
    }
}

void FtpPublisher::post(std::function<void()> job) {
    if (threadContext_ != nullptr) {
        QMetaObject::invokeMethod(threadContext_, std::move(job), Qt::QueuedConnection);
    }
}

FtpStop FtpPublisher::transferStop() const {
    const int generation = cancelGeneration_->load();
    return [cancel = cancelGeneration_, abort = abortAll_, generation] {
        return abort->load() || cancel->load() != generation;
    };
}

FtpStop FtpPublisher::abortStop() const {
    return [abort = abortAll_] { return abort->load(); };
}

bool FtpPublisher::canPublish() const { return settings_.ftpOn && connected_ && !shutDown_; }

void FtpPublisher::cancelTransfer() { cancelGeneration_->fetch_add(1); }

void FtpPublisher::testFtpConnection() {
    if (shutDown_) {
        return;
    }
    if (settings_.ftpOn) {
        if (connected_ || connecting_) {
            return;
        }
        connecting_ = true;
        emit busy(texts_[Text::Connecting]);
        post([this, back = back_, worker = worker_, endpoint = endpoint(), stop = abortStop()] {
            const bool available = worker->client->available();
            const bool ok = available && worker->client->checkLogin(endpoint, stop).ok;
            if (!ok) {
                worker->client->disconnect();
            }
            worker->deleteBeforeRename = false;
            back->post([this, available, ok] {
                    connecting_ = false;
                    emit idle();
                    if (!available) {
                        messages_.inform(kInternetFailed);
                    }
                    if (!ok) {
                        messages_.inform(kFtpFailed);
                    }
                    setConnected(ok);
                    emit connectionTested(ok);
                });
        });
        return;
    }

    // Webcam mode: the web page should no longer show a picture this program stopped updating.
    const bool wasConnected = connected_;
    setConnected(false);
    // Nothing is published any more, so no frame is the one on the server: when FTP upload is
    // chosen again, the very next frame must go up even if the picture has not changed.
    reference_ = QImage();
    post([this, back = back_, worker = worker_, wasConnected, endpoint = endpoint(), dir = withdrawalDir(),
          filename = settings_.ftpFilename, stop = abortStop()] {
        if (wasConnected) {
            worker->client->remove(endpoint, dir, filename, stop);
        }
        worker->client->disconnect();
        worker->deleteBeforeRename = false;
        if (wasConnected) {
            back->post([this] { emit withdrawn(); });
        }
    });
}

void FtpPublisher::publishFrame(const QImage& frame, std::function<void()> done) {
    auto finishLater = [this, done] {
        QMetaObject::invokeMethod(this, [done] { if (done) { done(); } }, Qt::QueuedConnection);
    };
    if (shutDown_ || thread_ == nullptr) {
        finishLater();
        return;
    }
    // The off picture is sent as it stands and is never taken for an unchanged frame.
    if (!offPictureReady_) {
        if (imagesEqual(frame, reference_)) {
            finishLater();
            return;
        }
        try {
            options_.saveJpeg(frame, dataFolder());
        } catch (const std::exception&) {
            // Without a fresh temp.jpg there is nothing to send: an older one must not go up in
            // this frame's place.
            finishLater();
            return;
        }
    }

    TransferRequest request{endpoint(), dataFolder() + u'/' + tempJpegName(), currentRemoteDir(),
                            settings_.ftpFilename};
    lastRemoteDir_ = request.remoteDir;
    publishing_ = true;
    post([this, back = back_, worker = worker_, request, frame, done, stop = transferStop(),
          abort = abortStop()] {
        TransferOutcome outcome;
        FtpClient& client = *worker->client;
        if (!QFile::exists(request.localPath)) {
            // Nothing to send; the connection is not at fault.
        } else if (const FtpResult sent = client.upload(request.endpoint, request.localPath,
                                                        request.remoteDir, tempJpegName(), stop);
                   sent.ok) {
            outcome.published = renameOver(client, worker->deleteBeforeRename, request, abort);
        } else if (!sent.cancelled) {
            // The server refused the file or the connection broke: log in again now, so that a
            // dead connection is noticed (and reported) and the next frame finds a live one.
            outcome.reconnected = true;
            back->post([this] { emit busy(texts_[Text::Reconnecting]); });
            client.disconnect();
            worker->deleteBeforeRename = false;
            outcome.reconnectOk = client.checkLogin(request.endpoint, abort).ok;
        }
        back->post([this, outcome, frame, done] { finishTransfer(outcome, frame, done); });
    });
}

void FtpPublisher::finishTransfer(const TransferOutcome& outcome, const QImage& frame,
                                  const std::function<void()>& done) {
    publishing_ = false;
    if (outcome.reconnected) {
        emit idle();
        if (!outcome.reconnectOk && !shutDown_) {
            setConnected(false);
            messages_.inform(kFtpFailed);
        }
        emit connectionTested(outcome.reconnectOk);
    }
    if (outcome.published) {
        reference_ = frame;
        emit framePublished();
    }
    if (done) {
        done();
    }
}

void FtpPublisher::shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    const bool keepPicture = settings_.ftpOffPic != 0;
    const QString folder = dataFolder();
    if (keepPicture) {
        const QString offPicture = folder + QStringLiteral("/CamOff.jpg");
        if (QFile::exists(offPicture)) {
            copyAtomically(offPicture, folder + u'/' + tempJpegName());
        }
    }
    offPictureReady_ = true;

    if (!(settings_.ftpOn && connected_) || thread_ == nullptr) {
        stopWorker(options_.shutdownBudgetMs);
        return;
    }
    cancelTransfer();

    const QDeadlineTimer deadline(options_.shutdownBudgetMs);
    auto finished = std::make_shared<QSemaphore>();
    // Every request of the closing sequence ends at the deadline, whatever the server does.
    FtpStop stop = [abort = abortAll_, deadline] { return abort->load() || deadline.hasExpired(); };
    TransferRequest request{endpoint(), folder + u'/' + tempJpegName(), currentRemoteDir(),
                            settings_.ftpFilename};
    const QString withdrawFrom = withdrawalDir();
    post([worker = worker_, request, withdrawFrom, keepPicture, stop, finished] {
        FtpClient& client = *worker->client;
        if (keepPicture) {
            if (QFile::exists(request.localPath) &&
                client.upload(request.endpoint, request.localPath, request.remoteDir,
                              tempJpegName(), stop)
                    .ok) {
                renameOver(client, worker->deleteBeforeRename, request, stop);
            }
        } else {
            // The picture is withdrawn, so there is no point sending a last one first.
            client.remove(request.endpoint, withdrawFrom, request.filename, stop);
        }
        client.disconnect();
        finished->release();
    });
    // The window may wait here, but only this long: a dead server must not hold the closing.
    if (!finished->tryAcquire(1, options_.shutdownBudgetMs + 1500)) {
        abortAll_->store(true);
    }
    setConnected(false);
    stopWorker(1500);
}

} // namespace oculet
