#pragma once

#include "settings/InterfaceTexts.h"

#include <QString>

namespace oculet {

// Where publishing stands, as the menu bar shows it.
enum class LinkState {
    Off,          // webcam mode, or the program is ending
    Connecting,   // a login is being tried
    Connected,    // frames are published
    Retrying,     // the last attempt failed; the next one waits for the back-off pause
    LoginRefused, // the login or the address cannot work: nothing is tried until they change
    Untrusted,    // the server's certificate or host key is not trusted: the same
};

struct LinkStatus {
    LinkState state = LinkState::Off;
    int retryInSeconds = 0; // while Retrying
    // Why the last attempt failed, or a standing remark about the server; never the password.
    QString detail;
    // The SSH host key ("SHA256:...") of a server known_hosts does not know, which the user may
    // accept in the publishing panel.
    QString unknownHostKey;

    // The short text for the menu bar: "connected", "retrying in 12 s", "login refused",
    // "not trusted"; in the language of `texts`, English without.
    QString caption(const InterfaceTexts& texts) const;
    QString caption() const { return caption(InterfaceTexts()); }
    // The caption and the detail, for the tool tip.
    QString toolTip(const InterfaceTexts& texts) const;
    QString toolTip() const { return toolTip(InterfaceTexts()); }
    bool operator==(const LinkStatus&) const = default;
};

// The pause before the next attempt after a failure: 2 s at first, doubling up to 5 minutes, back
// to the start once a frame gets through. A dead server then costs a dozen connections an hour.
class Backoff {
public:
    Backoff(int firstMs = 2000, int longestMs = 5 * 60 * 1000)
        : firstMs_(firstMs), longestMs_(longestMs) {}

    // The pause to wait after this failure; the next one is twice as long.
    int nextPauseMs();
    void reset() { failures_ = 0; }

private:
    int firstMs_;
    int longestMs_;
    int failures_ = 0;
};

} // namespace oculet
