#include "ui/Language.h"

#include "platform/AtomicFile.h"
#include "platform/Messages.h"

#include <QDir>
#include <QFile>

namespace oculet {
namespace {

// Far more than 74 lines of any language take; a larger file is not a language file.
constexpr qint64 kMaxLanguageFileSize = 256 * 1024;

std::optional<QByteArray> readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxLanguageFileSize) {
        return std::nullopt;
    }
    return file.read(kMaxLanguageFileSize);
}

} // namespace

LanguageLoader::LanguageLoader(InterfaceTexts& texts, Messages& messages, QString languagesFolder,
                               QString versionText)
    : texts_(texts), messages_(messages), folder_(std::move(languagesFolder)), version_(std::move(versionText)) {
    for (int i = 0; i < kLanguageCount; ++i) {
        said_[static_cast<std::size_t>(i)] = languageInfo(i);
    }
}

bool LanguageLoader::load(int index) {
    const bool known = index >= 0 && index < kLanguageCount;
    const LanguageInfo info = known ? said_[static_cast<std::size_t>(index)] : languageInfo(index);
    const std::optional<QByteArray> bytes =
        known ? readSmallFile(folder_ + u'/' + info.fileName) : std::optional<QByteArray>();
    const LanguageFileContents contents = bytes ? parseLanguageFile(*bytes, version_) : LanguageFileContents{};
    switch (contents.status) {
    case LanguageStatus::WrongVersion:
        messages_.tell(QStringLiteral("Viewhall"),
                       info.wrongVersion.isEmpty() ? languageInfo(0).wrongVersion : info.wrongVersion);
        return false;
    case LanguageStatus::Unusable:
        // Opening the options menu loads the language again: the same complaint each time
        // would stand between the user and the menu.
        if (missingSaidFor_ != index) {
            missingSaidFor_ = index;
            messages_.warn(info.fileMissing.isEmpty() ? languageInfo(0).fileMissing : info.fileMissing);
        }
        return false;
    case LanguageStatus::Loaded: break;
    }
    for (int i = 0; i < kTextCount; ++i) {
        texts_.set(static_cast<Text>(i + 1), contents.texts[static_cast<std::size_t>(i)]);
    }
    LanguageInfo& own = said_[static_cast<std::size_t>(index)];
    own.wrongVersion = texts_[Text::WrongVersion];
    own.fileMissing = texts_[Text::FileMissing];
    missingSaidFor_.reset();
    return true;
}

void installShippedFiles(const QString& dataFolder, const QString& languagesFolder, const QString& versionText) {
    QDir().mkpath(languagesFolder);
    for (int i = 0; i < kLanguageCount; ++i) {
        const QString name = languageInfo(i).fileName;
        const QString target = languagesFolder + u'/' + name;
        QFile present(target);
        QString versionLine = present.open(QIODevice::ReadOnly) ? decodeLanguageText(present.readLine(1024)) : QString();
        while (versionLine.endsWith(u'\n') || versionLine.endsWith(u'\r')) {
            versionLine.chop(1);
        }
        if (versionLineMatches(versionLine, versionText)) {
            continue;
        }
        QFile shipped(QStringLiteral(":/Languages/") + name);
        if (shipped.open(QIODevice::ReadOnly)) {
            replaceFile(target, shipped.readAll());
        }
    }
    const QString help = dataFolder + QStringLiteral("/Help.txt");
    QFile shippedHelp(QStringLiteral(":/Help.txt"));
    if (!QFile::exists(help) && shippedHelp.open(QIODevice::ReadOnly)) {
        replaceFile(help, shippedHelp.readAll());
    }
}

} // namespace oculet
