#include "source/SourcePrograms.h"

#include "settings/Settings.h"

#include <array>

namespace oculet {

QString sourceMenuCaption(int program) {
    static const std::array<QString, kProgramCount> captions = {
        QStringLiteral("EasyPal"), QStringLiteral("MMSSTV"), QStringLiteral("DM780"),
        QStringLiteral("KG-STV"), QStringLiteral("Screen capture")};
    return program >= 0 && program < kProgramCount ? captions[program] : captions[0];
}

QString titleFragmentFor(int program, const QString& programLabelCaption) {
    if (program == ScreenCapture) {
        return sourceMenuCaption(ScreenCapture);
    }
    return program == DM780 ? QStringLiteral("Digital Master") : programLabelCaption;
}

bool isScreenMode(const QString& titleFragment) {
    return titleFragment.contains(QStringLiteral("Screen"));
}

} // namespace oculet
