#pragma once

// The one pass that brings stored values the program cannot use back into range. The load runs it
// once, after every value has been read; the corrected values are what the program uses and what
// the shutdown saves.

#include "settings/Settings.h"

namespace oculet {

void correctLoadedSettings(Settings& settings, const VirtualScreen& screen);

} // namespace oculet
