// oculet-frame: shows a screen region as a movable, sizable coloured frame for Oculet's
// capture-region editor, which starts it, finds its window by process id, moves it and reads it
// back. Usage: oculet-frame "TITLE :&HBBGGRR:CLOSE-CAPTION"
#include "tools/FrameWindow.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb"); // the editor finds and moves X11 windows
    QApplication app(argc, argv);
    // The editor passes one text; pieces given by hand are joined back with blanks.
    const QString text = QApplication::arguments().mid(1).join(u' ');
    FrameWindow window(oculet::parseFrameCommand(text));
    window.show();
    return app.exec();
}
