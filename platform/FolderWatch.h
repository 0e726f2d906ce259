#pragma once

#include <QString>

namespace oculet {

// Tells whether anything in a folder may have changed since the last look: a file made, written,
// renamed, deleted or touched, or the folder itself gone. Lets a folder of thousands of received
// pictures be searched when a picture arrives rather than four times a second. Backed by inotify,
// which does not see changes made on another machine to a network folder, so the eighth look in
// a row without a change (two seconds at four frames a second) answers yes as well.
class FolderWatch {
public:
    FolderWatch() = default;
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Yes the first time, after a change of folder, after any change in it, at the eighth quiet
    // look in a row, and always while the folder cannot be watched (missing, or no inotify).
    bool changed(const QString& folder);

    static constexpr int kLooksBetweenRescans = 8;

private:
    void start(const QString& folder);
    void stop();

    QString folder_;
    int fd_ = -1;
    int looks_ = 0;
};

} // namespace oculet
