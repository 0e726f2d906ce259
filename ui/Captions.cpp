#include "ui/Captions.h"

#include "settings/Settings.h"

namespace oculet {

QString optionsItemCaption(int item, const InterfaceTexts& texts, int program, const QString& programCaption,
                           const QString& versionText) {
    switch (item) {
    case CaptureAreaItem:
        if (program == ScreenCapture) {
            return texts[Text::ScreenRegionArea];
        }
        return QString(texts[Text::CaptureArea]).replace(QStringLiteral("EasyPal"), programCaption);
    case LanguageItem: return texts[Text::Language];
    case HelpTextItem: return texts[Text::WebcamSetup] + QStringLiteral("    ") + versionText;
    case HelpWindowItem: return texts[Text::Help];
    default: return texts[static_cast<Text>(static_cast<int>(Text::ProgressArea) + item - ProgressAreaItem)];
    }
}

QString programFolderCaption(const InterfaceTexts& texts, int program) {
    static const char* const kFolders[] = {"EasyPal ", "MMSSTV History ", "DM 780 Received ", "KG-STV AutoSave "};
    const QString folder = program >= 0 && program < ScreenCapture ? QString::fromLatin1(kFolders[program])
                                                                    : texts[Text::ScreenCapture] + u' ';
    return folder + texts[Text::FolderWord];
}

} // namespace oculet
