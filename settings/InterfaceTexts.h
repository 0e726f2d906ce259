#pragma once

#include <QString>

namespace oculet {

// The interface texts that other parts of the program show later (messages, captions). A
// language file fills them; until one is loaded the messages the user waits on carry plain
// English so a panel is never blank, and the no-picture text stays empty (a plain grey box).
struct InterfaceTexts {
    QString connecting = QStringLiteral("Connecting. . .");     // while the FTP connection opens
    QString reconnecting = QStringLiteral("Reconnecting. . ."); // while it is opened again
    QString closing = QStringLiteral("Closing. . .");           // while the program shuts down
    QString noPicture;                                          // in the last-received box
};

} // namespace oculet
