// oculet-frame: shows a screen region as a movable, sizable coloured frame for Oculet's
// capture-region editor, which starts it, finds its window by process id, moves it and reads it
// back. Usage: oculet-frame "TITLE :&HBBGGRR:CLOSE-CAPTION"
#include "tools/FrameWindow.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>

#include <xcb/xcb.h>

namespace {

// A window destroyed by another client (xdotool windowclose, a dying window manager) never gets a
// close request; without this the program would run on with nothing to show.
class QuitWhenDestroyed final : public QAbstractNativeEventFilter {
public:
    explicit QuitWhenDestroyed(const QWidget& window) : window_(window) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type == "xcb_generic_event_t") {
            const auto* event = static_cast<const xcb_generic_event_t*>(message);
            if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
                static_cast<const xcb_destroy_notify_event_t*>(message)->window == window_.winId()) {
                QCoreApplication::quit();
            }
        }
        return false;
    }

private:
    const QWidget& window_;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb"); // the editor finds and moves X11 windows
    // Read before Qt sees the arguments, and kept from it: Qt would take a title such as
    // "-style=fusion" as its own option.
    const oculet::FrameCommand command = oculet::takeFrameCommand(argc, argv);
    QApplication app(argc, argv);
    FrameWindow window(command);
    window.show();
    QuitWhenDestroyed quitWhenDestroyed(window);
    app.installNativeEventFilter(&quitWhenDestroyed);
    return app.exec();
}
