#include "platform/Messages.h"
#include "source/SourcePrograms.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/PanelFixture.h"
#include "ui/Captions.h"
#include "ui/ClockPanel.h"
#include "ui/Language.h"
#include "ui/LastRxPanel.h"
#include "ui/PopupMenus.h"
#include "ui/TextPanel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>

#include <chrono>

#include <gtest/gtest.h>

namespace oculet {
namespace {

using test::RecordingMessages;
using test::Fixture;

const QString kVersion = QStringLiteral("Oculet 2.21");


TEST(Captions, ComposedFromTheTextsAndTheSourceProgram) {
    const InterfaceTexts texts;
    const struct {
        int item, program;
        QString expected;
    } rows[] = {{CaptureAreaItem, MMSSTV, "Set MMSSTV capture area"}, {CaptureAreaItem, ScreenCapture, "Set screen capture area"},
                {ProgressAreaItem, EasyPal, "Set EasyPal progress area"}, {ClockPanelItem, EasyPal, "UTC Clock"},
                {HelpTextItem, EasyPal, "Set up Webcam 7/XP    Oculet 2.21"}, {HelpWindowItem, EasyPal, "Help"}};
    for (const auto& row : rows) {
        EXPECT_EQ(optionsItemCaption(row.item, texts, row.program, sourceMenuCaption(row.program), kVersion), row.expected);
    }
    EXPECT_EQ(programFolderCaption(texts, EasyPal), "EasyPal folder");
    EXPECT_EQ(programFolderCaption(texts, MMSSTV), "MMSSTV History folder");
    // A translated "Screen capture" still captures the screen rather than looking for a window.
    EXPECT_TRUE(isScreenMode(titleFragmentFor(ScreenCapture, QStringLiteral("Captura de pantalla"))));
}

TEST(Language, ShippedFilesLoadAndATranslatorsFileIsKeptAndFailuresAreSaid) {
    const QString data = test::TestEnvironment::makeTempDir("language");
    const QString folder = data + "/Languages";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray translators = "Oculet 2.21\nedited by hand, broken\n";
    ASSERT_TRUE(test::writeFile(folder + "/Oculet_German.Language", translators));
    ASSERT_TRUE(test::writeFile(folder + "/Oculet_English.Language", "Oculet 2.20\nan old one\n"));
    RecordingMessages boxes;
    installShippedFiles(data, folder, kVersion, boxes);
    EXPECT_EQ(test::readFile(folder + "/Oculet_German.Language"), translators);
    EXPECT_TRUE(QFileInfo(data + "/Help.txt").size() > 0);
    boxes.shown.clear();

    InterfaceTexts texts;
    LanguageLoader loader(texts, boxes, folder, kVersion);
    // Each shipped file is complete, and those whose two messages the program words in their
    // language before loading word them the same.
    // The texts added after the first 74 are translated too, not left to the English fallback.
    const InterfaceTexts english;
    EXPECT_TRUE(loader.load(1));
    EXPECT_NE(texts[Text::StartAtLogin], english[Text::StartAtLogin]);
    EXPECT_NE(texts[Text::UploadInterval], english[Text::UploadInterval]);
    for (int language : {0, 3, 4}) {
        EXPECT_TRUE(loader.load(language)) << language;
        for (const Text later : {Text::StartAtLogin, Text::UploadInterval}) {
            EXPECT_EQ(texts[later] == english[later], language == 0) << language;
        }
        EXPECT_EQ(texts[Text::WrongVersion], languageInfo(language).wrongVersion) << language;
        EXPECT_EQ(texts[Text::FileMissing], languageInfo(language).fileMissing) << language;
    }
    // A broken file is said once, however often the options menu loads it again.
    EXPECT_FALSE(loader.load(2));
    EXPECT_FALSE(loader.load(2));
    ASSERT_TRUE(test::writeFile(folder + "/Oculet_Dutch.Language", "Oculet 2.22\n"));
    EXPECT_FALSE(loader.load(4));
    EXPECT_FALSE(loader.load(4));
    EXPECT_EQ(boxes.shown, QStringList({"Language file not found or corrupt", "Viewhall|Foute taalbestand versie.",
                                        "Viewhall|Foute taalbestand versie."}));
    EXPECT_EQ(texts[Text::Options], "Opties") << "a failed load changed a caption";
    QFile::remove(folder + "/Oculet_German.Language");
    installShippedFiles(data, folder, kVersion, boxes);
    EXPECT_TRUE(loader.load(2));
    EXPECT_EQ(texts[Text::Options], "Optionen");
    EXPECT_EQ(texts[Text::LiveViewViewers], "Live-Ansicht: %1 Zuschauer") << "the texts added later are translated";
}

TEST(Language, AFileTheShippedOneReplacesIsKeptBesideItAndOnlyPlainFilesAreRead) {
    const QString data = test::TestEnvironment::makeTempDir("language-kept");
    const QString folder = data + "/Languages";
    ASSERT_TRUE(QDir().mkpath(folder));
    QByteArray dutch = "Oculet 2.21 \r\nLanguage = Nederlands\r\nVertaler\r\nDatum\r\n";
    for (int i = 1; i <= kTextCount; ++i) {
        dutch += "tekst " + QByteArray::number(i) + "\r\n";
    }
    ASSERT_TRUE(test::writeFile(folder + "/Oculet_Dutch.Language", dutch));
    ASSERT_TRUE(test::writeFile(folder + "/Oculet_Spanish.Language", "Oculet 2.19\nfirst translation\n"));
    test::UnwrittenFifo fifo(folder + "/Oculet_English.Language");
    ASSERT_TRUE(fifo.made());
    RecordingMessages boxes;
    const auto started = std::chrono::steady_clock::now();
    installShippedFiles(data, folder, kVersion, boxes);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << "waited on the FIFO";
    EXPECT_EQ(test::readFile(folder + "/Oculet_Dutch.Language"), dutch);
    EXPECT_EQ(test::readFile(folder + "/Oculet_Spanish.Language.bak"), "Oculet 2.19\nfirst translation\n");
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].contains("Oculet_Spanish.Language.bak"));
    EXPECT_FALSE(QFileInfo(folder + "/Oculet_English.Language").isFile()) << "the FIFO was replaced";

    ASSERT_TRUE(test::writeFile(folder + "/Oculet_Spanish.Language", "Oculet 2.20\nsecond\n"));
    installShippedFiles(data, folder, kVersion, boxes);
    installShippedFiles(data, folder, kVersion, boxes);
    EXPECT_EQ(test::readFile(folder + "/Oculet_Spanish.Language.bak"), "Oculet 2.20\nsecond\n") << "the newest is kept";
    EXPECT_EQ(boxes.shown.size(), 2) << "said once per file replaced";

    InterfaceTexts texts;
    LanguageLoader loader(texts, boxes, folder, kVersion);
    EXPECT_TRUE(loader.load(4));
    EXPECT_EQ(texts[Text::Options], "tekst 8");
    boxes.shown.clear();
    const auto loading = std::chrono::steady_clock::now();
    EXPECT_FALSE(loader.load(0));
    EXPECT_LT(std::chrono::steady_clock::now() - loading, std::chrono::seconds(2)) << "waited on the FIFO";
    EXPECT_EQ(boxes.shown, QStringList({"Language file not found or corrupt"}));
}

std::unique_ptr<OptionPanel> makePanel(int panel, PanelContext& context) {
    return panel == 0   ? std::unique_ptr<OptionPanel>(std::make_unique<ClockPanel>(context, nullptr))
           : panel == 1 ? std::unique_ptr<OptionPanel>(std::make_unique<LastRxPanel>(context, nullptr))
                        : std::make_unique<TextPanel>(context, nullptr);
}

TEST(PopupMenus, TheLanguageMenuOpensBesideItsItemAndAClickChooses) {
    LanguageMenu languages;
    OptionsMenu options(languages);
    options.setCaptions(QStringList(kOptionsItemCount, "item"));
    languages.setCaptions({"a", "b", "c", "d", "e"});
    options.setLanguage(3);
    options.popup({100, 100});
    const auto send = [](QLabel* item, QEvent::Type type) {
        QMouseEvent event(type, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(item, &event);
    };
    send(options.item(LanguageItem), QEvent::MouseMove);
    EXPECT_TRUE(languages.isVisible());
    EXPECT_EQ(languages.pos(), options.mapToGlobal(QPoint(options.width(), 160)));
    EXPECT_TRUE(languages.findChild<QLabel*>("lblCk3")->isVisibleTo(&languages));
    EXPECT_FALSE(languages.findChild<QLabel*>("lblCk0")->isVisibleTo(&languages));
    send(options.item(TextPanelItem), QEvent::MouseMove);
    EXPECT_FALSE(languages.isVisible());
    QList<int> chosen;
    QObject::connect(&options, &LabelMenu::chosen, [&](int item) { chosen << item; });
    send(options.item(TextPanelItem), QEvent::MouseButtonRelease);
    EXPECT_EQ(chosen, QList<int>{TextPanelItem});
    send(options.item(LanguageItem), QEvent::MouseMove);
    options.close();
    EXPECT_FALSE(languages.isVisible() || options.isVisible());
}

// Every caption comes from the interface texts, and every control changes its setting.
TEST(OptionPanels, EachControlChangesItsSettingAndTheFrame) {
    InterfaceTexts numbered;
    for (int i = 1; i <= kTextCount; ++i) {
        numbered.set(static_cast<Text>(i), QStringLiteral("#%1").arg(i));
    }
    const FontSetting courier{"Courier", false, true, 11, true};
    using F = Fixture;
    const struct {
        const char* what;
        int panel; // 0 clock, 1 last received picture, 2 texts
        std::function<void(F&)> before;
        QStringList actions; // click a control, or "control=text" to type into it
        std::function<bool(F&)> check;
    } rows[] = {
        {"both clocks off hide the clock", 0, [](F& f) { f.settings.clockOnL[0] = 0; }, {"ckClockZ"},
         [](F& f) { return f.settings.clockOnZ[0] == 0 && !f.boxes[BoxId::Clock].visible && f.hooked == QStringList{"clock off"}; }},
        {"either clock brings it back", 0, [](F& f) { f.settings.clockOnZ[0] = f.settings.clockOnL[0] = 0; }, {"ckClockL"},
         [](F& f) { return f.settings.clockOnL[0] == 1 && f.boxes[BoxId::Clock].visible && f.hooked == QStringList{"clock on"}; }},
        {"a cancelled clock font says nothing", 0, {}, {"cmdClockFont"}, [](F& f) { return f.messages.shown.isEmpty(); }},
        {"a failed clock font says why", 0, [](F& f) { f.dialogs.font.error = 5; }, {"cmdClockFont"}, [](F& f) { return f.messages.shown == QStringList{"Error #5"}; }},
        {"a chosen clock font", 0, [&](F& f) { f.dialogs.font.font = courier; }, {"cmdClockFont"}, [&](F& f) { return f.settings.clockFont == courier; }},
        {"a cancelled colour keeps the colour", 0, {}, {"cmdClockColor"}, [](F& f) { return f.settings.clockColour == 65535; }},
        {"a chosen clock colour", 0, [](F& f) { f.dialogs.colour = 0; }, {"cmdClockColor"}, [](F& f) { return f.settings.clockColour == 0; }},
        {"the last received picture off", 1, {}, {"ckLastRx"}, [](F& f) { return !f.settings.lastRx[0] && !f.boxes[BoxId::LastRx].visible; }},
        {"the user's folder", 1, {}, {"optFolder0"}, [](F& f) { return f.settings.optDir[0] && f.hooked == QStringList{"folder"}; }},
        {"a typed folder gets its separator", 1, {}, {"txtLastRx=/srv/rx", "cmdLastRx"}, [](F& f) { return f.settings.epDir[0] == "/srv/rx/"; }},
        {"an empty folder changes nothing", 1, {}, {"txtLastRx=", "cmdLastRx"}, [](F& f) { return f.settings.epDir[0] == "c:\\EasyPal"; }},
        {"a browsed folder, a border colour", 1, [](F& f) { std::tie(f.dialogs.path, f.dialogs.colour) = std::tuple("/srv/pictures", 9); },
         {"cmdBrowse", "cmdBorder", "cmdLastRx"}, [](F& f) { return f.settings.epDir[0] == "/srv/pictures/" && f.settings.borderColour == 9; }},
        {"no scrolling text greys its cadences", 2, [](F& f) { f.settings.txtOn[0] = 60; }, {"ckText"},
         [](F& f) { return f.settings.txtOn[0] == 0 && !f.boxes[BoxId::ScrollText].visible; }},
        {"scrolling text again every minute", 2, [](F& f) { f.settings.txtOn[0] = 60; }, {"ckText", "ckText"},
         [](F& f) { return f.settings.txtOn[0] == 60 && f.boxes[BoxId::ScrollText].visible; }},
        {"continuous scrolling text", 2, [](F& f) { f.settings.txtOn[0] = 60; }, {"optCont"},
         [](F& f) { return f.settings.txtOn[0] == 1 && f.boxes[BoxId::ScrollText].visible; }},
        {"the fixed text on", 2, {}, {"ckFixedTxt"}, [](F& f) { return f.settings.fTxtOn[0] == 1 && f.boxes[BoxId::FixedText].visible; }},
        {"a background when not transparent", 2, [](F& f) { f.dialogs.colour = 7; }, {"ckTransparent", "cmdBkCol"},
         [](F& f) { return f.settings.transparent[0] == 0 && f.settings.textBkgColour == 7; }},
        {"a chosen text colour", 2, [](F& f) { f.dialogs.colour = 8; }, {"cmdColor"}, [](F& f) { return f.settings.textColour == 8; }},
        {"a chosen text font restarts the text", 2, [&](F& f) { f.dialogs.font.font = courier; }, {"cmdFont"},
         [&](F& f) { return f.settings.textFont == courier && f.hooked == QStringList{"restart"}; }},
        {"a failed text font says nothing", 2, [](F& f) { f.dialogs.font.error = 5; }, {"cmdFont"}, [](F& f) { return f.messages.shown.isEmpty() && f.hooked.isEmpty(); }},
        {"text files", 2, [](F& f) { f.dialogs.path = "/t.txt"; }, {"ckFile1", "cmdBrowse1", "ckFile2", "cmdBrowse2"},
         [](F& f) { return f.settings.ckFile1 == 1 && f.settings.file1 == "/t.txt" && f.settings.ckFile2 == 1 && f.settings.file2 == "/t.txt"; }},
        {"closing remembers both texts in place of the chosen lines and runs the text next", 2,
         [](F& f) { std::tie(f.settings.scrollIndex, f.settings.fixedIndex) = std::tuple(2, 4); },
         {"cboScrollText=news", "cboFtxt=call sign", "cmdClose"}, [](F& f) {
             return f.settings.scrollTexts[2] == "news" && f.settings.fixedTexts[4] == "call sign" &&
                    f.settings.scrollTexts[1] == Settings{}.scrollTexts[1] &&
                    f.hooked == QStringList({"restart", "restart", "minute"}); // typing, then closing
         }},
    };
    for (const auto& row : rows) {
        Fixture f;
        if (row.before) {
            row.before(f);
        }
        const std::unique_ptr<OptionPanel> panel = makePanel(row.panel, f.context);
        panel->applyTexts(numbered);
        for (const QAbstractButton* control : panel->findChildren<QAbstractButton*>(QRegularExpression("."))) {
            EXPECT_TRUE(control->text().contains(u'#')) << control->objectName().toStdString();
        }
        panel->openPanel({});
        f.hooked.clear();
        for (const QString& action : row.actions) {
            const QString name = action.section(u'=', 0, 0);
            if (auto* edit = panel->findChild<QLineEdit*>(name); edit && action.contains(u'=')) {
                edit->setText(action.section(u'=', 1));
            } else if (auto* list = panel->findChild<QComboBox*>(name)) {
                list->setEditText(action.section(u'=', 1));
            } else if (auto* button = panel->findChild<QAbstractButton*>(name); button && button->isEnabled()) {
                button->click();
            }
        }
        EXPECT_TRUE(row.check(f)) << row.what << ": " << f.hooked.join(", ").toStdString();
    }
}

} // namespace
} // namespace oculet
