#include "settings/LanguageFile.h"

#include <gtest/gtest.h>

namespace oculet {
namespace {

const QString kVersion = QStringLiteral("Oculet 2.21");

// A file with the given version line, three header lines and `texts` numbered text lines.
QByteArray languageFile(const QByteArray& versionLine, int texts, const QByteArray& eol = "\n") {
    QByteArray file = versionLine + eol + "Language = Test" + eol + "\"Translator, with a comma\"" + eol + "Date" + eol;
    for (int i = 1; i <= texts; ++i) {
        file += "Key" + QByteArray::number(i) + " = text " + QByteArray::number(i) + eol;
    }
    return file;
}

TEST(LanguageFile, TheVersionLineDecidesWhetherAFileIsUsed) {
    const std::pair<QByteArray, LanguageStatus> rows[] = {
        {"Oculet 2.21", LanguageStatus::Loaded},
        {"Language file for Oculet 2.21", LanguageStatus::Loaded},
        {"Oculet 2.21 \t", LanguageStatus::Loaded},
        {"Oculet 2.21 x", LanguageStatus::WrongVersion},
        {"Oculet 2.2", LanguageStatus::WrongVersion},
        {"oculet 2.21", LanguageStatus::Unusable},
    };
    for (const auto& [line, status] : rows) {
        EXPECT_EQ(parseLanguageFile(languageFile(line, 74), kVersion).status, status) << line.constData();
    }
    EXPECT_EQ(parseLanguageFile(languageFile("Oculet 2.21", 73), kVersion).status, LanguageStatus::Unusable);
}

TEST(LanguageFile, TextsByPositionAfterTheLastEqualsSign) {
    QByteArray file = languageFile("Oculet 2.21", 74, "\r\n");
    file.replace("Key1 = text 1", "Key = first =  second value ");
    file.replace("Key2 = text 2", "  no key at all  ");
    const LanguageFileContents contents = parseLanguageFile(file, kVersion);
    ASSERT_EQ(contents.status, LanguageStatus::Loaded);
    EXPECT_EQ(contents.texts[0], QStringLiteral("second value"));
    EXPECT_EQ(contents.texts[1], QStringLiteral("no key at all"));
    EXPECT_EQ(contents.texts[73], QStringLiteral("text 74"));
    // A file of the older version keeps the later texts in English; a newer file's are read,
    // and lines beyond the texts this version knows are ignored.
    EXPECT_EQ(contents.texts[kTextCount - 1], InterfaceTexts()[Text(kTextCount)]);
    const LanguageFileContents newer = parseLanguageFile(languageFile("Oculet 2.21", kTextCount + 1), kVersion);
    EXPECT_EQ(newer.texts[74], QStringLiteral("text 75"));
    EXPECT_EQ(newer.texts[kTextCount - 1], QStringLiteral("text %1").arg(kTextCount));
}

TEST(LanguageFile, WindowsWesternTextIsReadWhenItIsNotUtf8) {
    // "Schließen – “Zu”" in Windows-1252, and the same in UTF-8.
    EXPECT_EQ(decodeLanguageText("Schlie\xdf" "en \x96 \x93Zu\x94"), QStringLiteral("Schließen – “Zu”"));
    EXPECT_EQ(decodeLanguageText("Schlie\xc3\x9f" "en"), QStringLiteral("Schließen"));
}

} // namespace
} // namespace oculet
