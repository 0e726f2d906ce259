#pragma once

#include <QString>

namespace oculet {

// The caption of a source program's entry in the source menu, as built in.
QString sourceMenuCaption(int program);

// The text searched for in window titles: the caption shown on the program label, except for
// DM780, whose window is titled "Digital Master", and the screen region, whose caption a
// language file may translate: its fragment keeps naming the screen.
QString titleFragmentFor(int program, const QString& programLabelCaption);

// A fragment that names the screen (the "Screen capture" entry) captures absolute screen
// coordinates; no window takes part.
bool isScreenMode(const QString& titleFragment);

} // namespace oculet
