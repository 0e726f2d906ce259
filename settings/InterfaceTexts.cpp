#include "settings/InterfaceTexts.h"

namespace oculet {
namespace {

// Built-in English, one entry per text line of a language file, in file order.
constexpr std::array<const char*, kTextCount> kBuiltIn = {
    "Language",
    "English", "Spanish", "German", "French", "Dutch",
    "Screen capture",
    "Options",
    "Set EasyPal capture area",
    "Set EasyPal progress area", "Set s-meter capture area", "Set Aux1 capture area",
    "Set Aux2 capture area", "Lasr received image", "Text options", "UTC Clock",
    "Set up Webcam 7/XP",
    "Help",
    "Cam mode",
    "Border colour", "Browse", "Clock font", "Clock colour", "Font", "Colour", "Background",
    "FTP address", "Username", "Password", "Web directory", "Filename",
    "Last received picture: drag to move, right-drag to size",
    "S-meter: drag to move, right-drag to size",
    "Aux1: drag to move, right-drag to size",
    "Aux2: drag to move, right-drag to size",
    "Clock: drag to move",
    "Fixed text: drag to move",
    "Scrolling text: drag up or down",
    "Last rx On", "Show UTC Clock", "Local", "Show scrolling text", "Fixed text", "Transparent",
    "Text from file",
    "User folder",
    "Continous",
    "Every 60 seconds",
    "FTP upload",
    "WebCam 7 - XP",
    "Close",
    "folder",
    "Move and size the frame over the area to copy,",
    "or set its place with the buttons below.",
    "Left", "Top", "Width", "Height",
    "capture area",
    "S-meter",
    "S-meter on", "Aux1 on", "Aux2 on", "Progress strip on",
    "Set screen capture area",
    "Upload image when Oculet is off",
    "Wrong language file version.",
    "Language file not found or corrupt",
    // The messages the user waits on carry plain English so a panel is never blank; the
    // no-picture text stays empty (a plain grey box) until a language words it.
    "Connecting. . .",
    "Reconnecting. . .",
    "Closing. . .",
    "",
    // The question reads: first text, an empty line, the second text, a blank, the offered
    // version and "?".
    "A newer version of Oculet is available.",
    "Do you want to download",
    "Start Oculet when I log in",
    "Live view",
    "Serve the picture as a web page",
    "Port",
    "Reachable from other computers",
    "Password",
    "Port %1 is taken by another program. Choose another port.",
    "The live view cannot start: %1",
    "Live view: %1 viewers",
    "connecting", "connected", "retrying in %1 s", "login refused", "not trusted",
    "The server shows the host key %1, which ~/.ssh/known_hosts does not know. Trust it only if it is your "
    "server's key.",
    "Upload at most every",
};

} // namespace

InterfaceTexts::InterfaceTexts() {
    for (std::size_t i = 0; i < texts_.size(); ++i) {
        texts_[i] = QString::fromUtf8(kBuiltIn[i]);
    }
}

} // namespace oculet
