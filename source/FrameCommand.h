#pragma once

// The text the capture-region editor starts the frame program with, and its reading in the frame
// program: the title, then the frame colour as a literal such as " :&HFFFFFF:" (blue, green,
// red), then the close button's caption, joined with nothing between them.

#include "settings/Units.h"

#include <QString>

namespace oculet {

struct FrameCommand {
    QString title;
    Colour colour = 0xFFFFFF;
    QString closeCaption;

    bool operator==(const FrameCommand&) const = default;
};

// The command text for a title, a colour literal and a caption.
QString frameCommandText(const QString& title, const QString& colourLiteral, const QString& closeCaption);

// Reads a command text. The colour literal is the last " :…:" in it, so a title may hold colons;
// a literal that is not "&H" with up to eight hexadecimal digits gives white, and a text with no
// literal at all is all title.
FrameCommand parseFrameCommand(const QString& text);

// The frame program's own arguments read as its command text: every argument after the
// program's name, joined with blanks (the editor passes one; pieces typed by hand are joined
// back). Leaves argc at 1, so that QApplication, made from argc and argv afterwards, sees no
// argument: a title or caption such as "-style=fusion" is the frame's, never an option of Qt's.
FrameCommand takeFrameCommand(int& argc, char** argv);

} // namespace oculet
