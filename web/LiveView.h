#pragma once

#include "compose/FramePublisher.h"
#include "platform/HttpServer.h"
#include "publish/FtpPublisher.h"
#include "web/LiveFrames.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <mutex>

namespace oculet {

struct Settings;

// The live view: a small web server inside Oculet with a page of its own, the picture stream,
// the newest picture and a status summary. It stands between the frame cycle and the publish
// step: each frame is made a JPEG once, and that JPEG is both what the viewers get and, through
// saveJpeg(), what is written to temp.jpg and uploaded. Lives on the GUI thread; the server
// answers on its own thread and never holds the cycle.
class LiveView : public QObject, public FramePublisher {
    Q_OBJECT
public:
    enum class State { Off, Serving, PortInUse, Failed };

    explicit LiveView(QObject* parent = nullptr);
    ~LiveView() override;

    // The publish step the frames go on to (not owned; null: none).
    void setPublisher(FramePublisher* publisher) { next_ = publisher; }

    // Starts, restarts or stops the server as the [web] settings say, and takes the password
    // from them; the station's title is read from `settings` (which must outlive the live view)
    // with each frame.
    State apply(const Settings& settings);
    void stop();
    State state() const { return state_; }
    // What went wrong when the server could not start.
    QString error() const { return error_; }
    quint16 port() const { return server_.port(); }
    // The page's address for this computer's browser; empty while off.
    QString address() const;
    int viewers() const { return server_.streamClients(); }
    void setPublishing(const QString& words);

    // The frames the live view has been given.
    const LiveFrames& frames() const { return frames_; }

    bool canPublish() const override;
    void publishFrame(const QImage& frame) override;
    // The viewers keep getting frames while a panel holds publishing (the live view's own
    // group is on one).
    void showHeldFrame(const QImage& frame) override;

    // The publish step's JPEG writer: a frame the live view has already made into a JPEG is
    // written as those bytes, any other one is encoded as usual.
    QByteArray saveJpeg(const QImage& frame, const QString& dataFolder);
    // The publisher's options with its JPEG written through saveJpeg(): one encoding for both.
    FtpPublisherOptions publisherOptions() {
        FtpPublisherOptions options;
        options.saveJpeg = [this](const QImage& frame, const QString& folder) { return saveJpeg(frame, folder); };
        return options;
    }

signals:
    void viewersChanged(int viewers);

private:
    HttpReply answer(const HttpRequest& request);

    HttpServer server_;
    LiveFrames frames_;
    FramePublisher* next_ = nullptr;
    State state_ = State::Off;
    QString error_;
    HttpServerOptions running_;
    int lastViewers_ = 0;
    // The last frame made into a JPEG here and its bytes.
    QImage encodedFrame_;
    QByteArray encoded_;

    // Read by the server's thread.
    mutable std::mutex mutex_;
    QString password_;
    QString title_;
    QString publishing_ = QStringLiteral("off");
    const Settings* settings_ = nullptr; // where the title is read from frame to frame
};

} // namespace oculet
