#pragma once

#include "compose/FramePublisher.h"
#include "platform/FtpClient.h"
#include "publish/LinkStatus.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QThread;

namespace oculet {

struct Settings;
class InterfaceTexts;
class Messages;

struct FtpPublisherOptions {
    FtpTimeouts timeouts;
    // How long the closing may spend on the server (last upload or withdrawal) before it gives up.
    int shutdownBudgetMs = 3500;
    // Pauses between attempts after a failure.
    Backoff backoff;
    // Where temp.jpg and CamOff.jpg live; empty means Paths::dataFolder().
    QString dataFolder;
    // Writes the frame as temp.jpg into the data folder and returns the file's bytes;
    // saveFrameAsJpeg unless replaced.
    std::function<QByteArray(const QImage& frame, const QString& dataFolder)> saveJpeg;
};

// Puts frames on the web server by FTP without ever blocking the window or the frame cycle:
// every network request runs on a worker thread, and its result comes back to the GUI thread in
// order. Lives on the GUI thread. The FTP details are read from the settings model at each use
// and handed to the worker with the request, so an edit in the publishing panel is used from the
// next request.
//
// Upload protocol: the JPEG goes up whole as "temp.jpg", then takes the published name by a
// rename, so the published picture is only ever replaced by a complete one. A server that refuses
// the rename gets the picture another way, but only until renaming works again, which is tried
// after pauses that grow while the refusal lasts. A lost connection is tried again in the
// background after a growing pause; a refused login waits until the login details change. The
// state is reported by statusChanged(), never by a box that waits.
class FtpPublisher : public QObject, public FramePublisher {
    Q_OBJECT
public:
    // `client` defaults to the libcurl client. `settings`, `texts` and `messages` must outlive
    // the publisher.
    FtpPublisher(const Settings& settings, const InterfaceTexts& texts, Messages& messages,
                 std::unique_ptr<FtpClient> client = nullptr, FtpPublisherOptions options = {},
                 QObject* parent = nullptr);
    ~FtpPublisher() override;

    // FramePublisher: FTP publishing is on and a connection is open.
    bool canPublish() const override;
    // The publish step: skips a frame equal to the last published one; writes temp.jpg (unless
    // the off picture is ready), uploads it and puts it under the published name. The frame
    // becomes the reference picture once it is published. Frames that come while an upload is on
    // its way are not queued: the newest of them goes up when it is over. With a least interval
    // set, a changed frame waits until that long after the last upload began.
    void publishFrame(const QImage& frame) override;

    // Run at the end of start-up and when the publishing panel closes. In FTP mode without a
    // connection it connects (busy() while it does), unless the last attempt failed and the
    // login details have not changed since: then the running retry, or the refusal, stands. In
    // webcam mode it withdraws the published picture, if connected, and drops the connection.
    void testFtpConnection();

    // The user trusts this SSH host key (as offered in status().unknownHostKey): the next
    // connection, made now, adds it to known_hosts when the server still shows it.
    void acceptHostKey(const QString& fingerprint);

    // Abandons an upload in flight (the frame is not published). For anything that must not be
    // disturbed by a transfer: option panels, the region editor, shutdown.
    void cancelTransfer();

    // The closing sequence's publishing part. Blocks for at most the shutdown budget plus about
    // a second, whatever the server does. When "Upload image when Oculet is off" is ticked and
    // CamOff.jpg is there, it is copied over temp.jpg, then temp.jpg is published and stays;
    // otherwise the published picture is deleted from the server. Without a connection the
    // server is not touched. Afterwards the connection is closed and the publisher does nothing
    // more.
    void shutdown();

    bool isConnected() const { return connected_; }
    bool isConnecting() const { return connecting_; }
    bool isPublishing() const { return publishing_; }
    const LinkStatus& status() const { return status_; }
    // The last frame that reached the server; null until one has.
    QImage reference() const { return reference_; }
    QString dataFolder() const;

signals:
    // The message panel: show `text` while a connection asked for by the user is being made,
    // hide on idle().
    void busy(const QString& text);
    void idle();
    void statusChanged(const oculet::LinkStatus& status);
    // A frame (or the off picture) has taken the published name.
    void framePublished();
    // The published picture has been withdrawn (deleted) and the connection dropped.
    void withdrawn();

private:
    struct Worker;
    struct Backchannel;
    struct TransferOutcome;

    FtpEndpoint endpoint() const;
    // What a refused login or an unusable address depends on: when it changes, try again.
    QString loginDetails() const;
    QString currentRemoteDir() const;
    QString withdrawalDir() const;
    void connectNow(bool askedByUser);
    void connectionFailed(const FtpResult& result, const QString& triedWith);
    void retryTick();
    void setStatus(LinkState state, const QString& detail, const QString& unknownHostKey = {});
    void post(std::function<void()> job);
    FtpStop transferStop() const;
    FtpStop abortStop() const;
    void finishTransfer(const TransferOutcome& outcome, const QImage& frame);
    void stopWorker(int waitMs);

    const Settings& settings_;
    const InterfaceTexts& texts_;
    Messages& messages_;
    FtpPublisherOptions options_;

    QThread* thread_ = nullptr;
    QObject* threadContext_ = nullptr;
    std::shared_ptr<Worker> worker_;
    std::shared_ptr<Backchannel> back_;
    std::shared_ptr<std::atomic<int>> cancelGeneration_;
    std::shared_ptr<std::atomic<bool>> abortAll_;
    // Once the closing has begun, every request ends by this time (steady clock, ms; 0 = none).
    std::shared_ptr<std::atomic<qint64>> closingDeadline_;

    LinkStatus status_;
    Backoff backoff_;
    QTimer retryTimer_;
    qint64 retryAtMs_ = 0;       // steady clock
    QString failedLogin_;        // the login details of the last failed attempt
    QString acceptedHostKey_;
    // The endpoint last built from the address and login, asked for on every frame.
    mutable std::optional<std::pair<QStringList, FtpEndpoint>> endpointMemo_;
    QString serverRemark_;       // what the tool tip keeps saying about this server
    bool failureReported_ = false;

    QImage reference_;
    QImage waiting_; // the newest frame that came during an upload
    QImage held_;    // the newest changed frame that came before the least interval was over
    QTimer paceTimer_;
    qint64 lastUploadMs_ = 0; // steady clock: when the last upload began
    QString lastRemoteDir_;
    bool connected_ = false;
    bool connecting_ = false;
    bool publishing_ = false;
    bool offPictureReady_ = false; // temp.jpg holds the off picture: sent as it stands
    bool shutDown_ = false;
};

} // namespace oculet
