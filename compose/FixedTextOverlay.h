#pragma once

// The fixed-text box: one chosen line of text, on the text background colour unless the
// program's layout asks for transparent text.

#include "settings/Settings.h"
#include "compose/CachedText.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <optional>

namespace oculet {

// The text the box shows now: the chosen line of the list, or, when "text from file" is ticked,
// the first field of text file 2 with one space on each side. Empty when there is nothing to
// show (an empty line, no file, an unreadable file).
QString fixedTextToShow(const Settings& settings);

// Draws the text with its top left at `topLeft` and returns the box it covers (as wide and high
// as the text). Draws nothing and returns nothing for an empty text.
// With `cached`, kept from frame to frame, the text is shaped only when it changes.
std::optional<QRect> drawFixedText(QImage& frame, QPoint topLeft, const QString& text, const FontSetting& font,
                                   Colour textColour, Colour backgroundColour, bool transparent,
                                   CachedText* cached = nullptr);

} // namespace oculet
