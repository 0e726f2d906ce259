#pragma once

#include <QByteArray>
#include <QDateTime>

#include <deque>
#include <memory>
#include <mutex>

namespace oculet {

// One frame as the live view serves it. The JPEG is the one the publish step made for the frame;
// every viewer shares it.
struct LiveFrame {
    std::shared_ptr<const QByteArray> jpeg; // null until the first frame
    quint64 number = 0;                     // frames so far, this one included
    QDateTime time;                         // when it was composed (UTC)
    // What a browser keeps to ask "has it changed?": both move only when the picture does.
    QByteArray etag;
    QDateTime modified;
};

// The newest frame, written by the frame cycle and read by the web server's thread.
class LiveFrames {
public:
    LiveFrames();

    void add(const QByteArray& jpeg, const QDateTime& now);
    LiveFrame newest() const;
    // Frames per second over the last few seconds before `now`.
    double framesPerSecond(const QDateTime& now) const;

private:
    mutable std::mutex mutex_;
    LiveFrame newest_;
    std::deque<qint64> recentMs_;
    quint64 changes_ = 0;
    QByteArray runTag_; // tells this run's ETags from those of an earlier one
};

} // namespace oculet
