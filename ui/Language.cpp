#include "ui/Language.h"

#include "platform/AtomicFile.h"
#include "platform/Messages.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace oculet {
namespace {

// Far more than 74 lines of any language take; a larger file is not a language file.
constexpr qint64 kMaxLanguageFileSize = 256 * 1024;

std::optional<QByteArray> readSmallFile(const QString& path) {
    FileRead file = readRegularFile(path, kMaxLanguageFileSize);
    return file.ok() ? std::optional<QByteArray>(std::move(file.bytes)) : std::nullopt;
}

QString firstLine(const QByteArray& bytes) {
    const qsizetype end = bytes.indexOf('\n');
    return decodeLanguageText(end < 0 ? bytes : bytes.left(end));
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

void installShippedFiles(const QString& dataFolder, const QString& languagesFolder, const QString& versionText,
                         Messages& messages) {
    QDir().mkpath(languagesFolder);
    QStringList kept;
    for (int i = 0; i < kLanguageCount; ++i) {
        const QString name = languageInfo(i).fileName;
        const QString target = languagesFolder + u'/' + name;
        const FileRead present = readRegularFile(target, kMaxLanguageFileSize);
        // Something that is not a language file at all (a FIFO, a folder, a huge file) is left
        // alone: loading it fails and says so.
        if ((present.ok() && versionLineMatches(firstLine(present.bytes), versionText)) ||
            (!present.ok() && present.outcome != FileRead::Outcome::Missing)) {
            continue;
        }
        QFile shipped(QStringLiteral(":/Languages/") + name);
        if (!shipped.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray bytes = shipped.readAll();
        if (present.ok() && present.bytes != bytes && !present.bytes.trimmed().isEmpty()) {
            // Someone's work, perhaps a translation made for another version: kept beside it, the
            // newest such copy only, and never replaced when it cannot be kept.
            const QString copy = target + QStringLiteral(".bak");
            if (replaceFile(copy, present.bytes) != 0) {
                std::fprintf(stderr, "Oculet: %s names another version but could not be copied to %s; it is left as it is\n",
                             qPrintable(target), qPrintable(copy));
                continue;
            }
            kept << copy;
        }
        replaceFile(target, bytes);
    }
    if (!kept.isEmpty()) {
        const QString text = QStringLiteral("These language files were written for another version of Oculet and have "
                                            "been replaced by the ones that come with this version. Each is kept "
                                            "beside it as a copy:\n\n%1")
                                 .arg(kept.join(u'\n'));
        std::fprintf(stderr, "Oculet: %s\n", qPrintable(text));
        messages.warn(text);
    }
    const QString help = dataFolder + QStringLiteral("/Help.txt");
    QFile shippedHelp(QStringLiteral(":/Help.txt"));
    if (!QFile::exists(help) && shippedHelp.open(QIODevice::ReadOnly)) {
        replaceFile(help, shippedHelp.readAll());
    }
}

} // namespace oculet
