#include "settings/LanguageFile.h"

#include <QStringDecoder>

#include <optional>

namespace oculet {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned codes stay as
// Latin-1 gives them.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Reads the file the way its lines and fields were written: line by line, or field by field.
class Reader {
public:
    explicit Reader(QString text) : text_(std::move(text)) {}

    std::optional<QString> line() {
        if (pos_ >= text_.size()) {
            return std::nullopt;
        }
        qsizetype end = text_.indexOf(u'\n', pos_);
        if (end < 0) {
            end = text_.size();
        }
        QString result = text_.mid(pos_, end - pos_);
        if (result.endsWith(u'\r')) {
            result.chop(1);
        }
        pos_ = end + 1;
        return result;
    }

    // One delimited field: up to a comma or the line end; a field in double quotes may hold
    // commas.
    std::optional<QString> field() {
        while (pos_ < text_.size() && (text_[pos_] == u' ' || text_[pos_] == u'\t')) {
            ++pos_;
        }
        if (pos_ >= text_.size()) {
            return std::nullopt;
        }
        QString result;
        if (text_[pos_] == u'"') {
            const qsizetype close = text_.indexOf(u'"', pos_ + 1);
            const qsizetype end = close < 0 ? text_.size() : close;
            result = text_.mid(pos_ + 1, end - pos_ - 1);
            pos_ = end + 1;
        }
        const qsizetype start = pos_;
        while (pos_ < text_.size() && text_[pos_] != u',' && text_[pos_] != u'\n' && text_[pos_] != u'\r') {
            ++pos_;
        }
        if (result.isEmpty()) {
            result = text_.mid(start, pos_ - start).trimmed();
        }
        if (pos_ < text_.size() && text_[pos_] == u'\r') {
            ++pos_;
        }
        if (pos_ < text_.size() && (text_[pos_] == u',' || text_[pos_] == u'\n')) {
            ++pos_;
        }
        return result;
    }

private:
    QString text_;
    qsizetype pos_ = 0;
};

} // namespace

LanguageInfo languageInfo(int index) {
    static const QString kEnglishWrong = QStringLiteral("Wrong language file version.");
    static const QString kEnglishMissing = QStringLiteral("Language file not found or corrupt");
    switch (index) {
    case 0: return {QStringLiteral("Oculet_English.Language"), kEnglishWrong, kEnglishMissing};
    case 1: return {QStringLiteral("Oculet_Spanish.Language"), kEnglishWrong, kEnglishMissing};
    case 2: return {QStringLiteral("Oculet_German.Language"), kEnglishWrong, kEnglishMissing};
    case 3:
        return {QStringLiteral("Oculet_French.Language"), QStringLiteral("Mauvaise version de fichier langage."),
                QStringLiteral("Fichier langage non trouvé ou corrompu.")};
    case 4:
        return {QStringLiteral("Oculet_Dutch.Language"), QStringLiteral("Foute taalbestand versie."),
                QStringLiteral("Taalbestand ontbreekt of corrupt.")};
    default: return {QString(), kEnglishWrong, kEnglishMissing};
    }
}

QString decodeLanguageText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    text.clear();
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(byte >= 0x80 && byte < 0xA0 ? QChar(kCp1252High[byte - 0x80]) : QChar(byte));
    }
    return text;
}

bool versionLineMatches(const QString& line, const QString& versionText) {
    const qsizetype at = line.indexOf(versionText.section(u' ', 0, 0));
    return at >= 0 && line.mid(at) == versionText;
}

QString textLineValue(const QString& line) {
    return line.mid(line.lastIndexOf(u'=') + 1).trimmed();
}

LanguageFileContents parseLanguageFile(const QByteArray& bytes, const QString& versionText) {
    LanguageFileContents contents;
    Reader reader(decodeLanguageText(bytes));
    const std::optional<QString> version = reader.line();
    if (!version || !version->contains(versionText.section(u' ', 0, 0))) {
        return contents;
    }
    if (!versionLineMatches(*version, versionText)) {
        contents.status = LanguageStatus::WrongVersion;
        return contents;
    }
    for (int i = 0; i < 3; ++i) {
        if (!reader.field()) {
            return contents;
        }
    }
    const InterfaceTexts builtIn;
    for (int i = 0; i < kTextCount; ++i) {
        const std::optional<QString> line = reader.line();
        if (!line && i < kRequiredTextCount) {
            return contents;
        }
        const auto key = static_cast<Text>(i + 1);
        contents.texts[std::size_t(i)] = line ? textLineValue(*line) : builtIn[key];
    }
    contents.status = LanguageStatus::Loaded;
    return contents;
}

} // namespace oculet
