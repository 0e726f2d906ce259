// The command text the frame program is started with. Any text gives a title, a colour on the
// frame's 24 bits and a caption; and a command built from what was read reads back the same.

#include "source/FrameCommand.h"

#include <cstdint>
#include <cstdlib>

using namespace oculet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const FrameCommand command = parseFrameCommand(text);
    if (command.colour > 0xFFFFFF) {
        std::abort();
    }
    const QString literal = QStringLiteral(" :&H%1:").arg(command.colour, 6, 16, QLatin1Char('0'));
    if (!(parseFrameCommand(frameCommandText(command.title, literal, command.closeCaption)) == command)) {
        std::abort();
    }
    return 0;
}
