// oculet-frame: shows a screen region as a movable, sizable coloured frame for Oculet's
// capture-region editor, which starts it, finds its window by process id, moves it and reads it
// back. Usage: oculet-frame "TITLE :&HBBGGRR:CLOSE-CAPTION"
#include "tools/FrameWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb"); // the editor finds and moves X11 windows
    // Read before Qt sees the arguments, and kept from it: Qt would take a title such as
    // "-style=fusion" as its own option.
    const oculet::FrameCommand command = oculet::takeFrameCommand(argc, argv);
    QApplication app(argc, argv);
    FrameWindow window(command);
    window.show();
    return app.exec();
}
