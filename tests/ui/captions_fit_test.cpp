// Every caption of the menus, panels and the region editor, in every shipped language, at the
// desktop's default font: nothing cut, nothing lying over its neighbour.
#include "platform/FrameProgram.h"
#include "platform/Messages.h"
#include "source/FrameCommand.h"
#include "source/SourcePrograms.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/PanelFixture.h"
#include "ui/Captions.h"
#include "ui/ClockPanel.h"
#include "ui/FtpPanel.h"
#include "ui/Language.h"
#include "ui/LastRxPanel.h"
#include "ui/MenuBar.h"
#include "ui/PopupMenus.h"
#include "ui/RegionEditor.h"
#include "ui/StatusMark.h"
#include "ui/TextPanel.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace oculet {
namespace {

// A control's caption against its room; for a wrapping label, its longest word and its lines.
QString cutCaption(QWidget* w) {
    const QFontMetrics fm = w->fontMetrics();
    QSize need, room = w->size();
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty() && label->pixmap().isNull()) {
        room = label->contentsRect().size();
        const QStringList lines = label->text().split(u'\n');
        for (const QString& line : lines) {
            const QStringList parts = label->wordWrap() ? line.split(QRegularExpression(QStringLiteral("\\s"))) : QStringList{line};
            for (const QString& part : parts) {
                need.setWidth(std::max(need.width(), fm.horizontalAdvance(part)));
            }
        }
        need.setHeight(label->wordWrap() ? label->heightForWidth(label->width()) : fm.height() * int(lines.size()));
    } else if (auto* box = qobject_cast<QAbstractButton*>(w); box && !box->text().isEmpty()) {
        // A tick box or option needs its mark beside the text; a button a little room around it.
        const bool marked = qobject_cast<QCheckBox*>(w) != nullptr || qobject_cast<QRadioButton*>(w) != nullptr;
        need = QSize(marked ? box->sizeHint().width() : fm.horizontalAdvance(box->text()) + 6, fm.height());
    } else {
        return {};
    }
    if (need.width() <= room.width() && need.height() <= room.height()) {
        return {};
    }
    return QStringLiteral("%1 \"%2\" needs %3x%4, has %5x%6")
        .arg(w->objectName(), w->property("text").toString())
        .arg(need.width()).arg(need.height()).arg(room.width()).arg(room.height());
}

// What is cut or overlapped in a shown window: each caption against its control, each control
// against its parent's edges and its shown siblings.
QStringList faults(QWidget* window) {
    QStringList found;
    const std::function<void(QWidget*)> visit = [&](QWidget* parent) {
        QList<QWidget*> shown;
        for (QObject* child : parent->children()) {
            auto* w = qobject_cast<QWidget*>(child);
            if (w == nullptr || w->isWindow() || !w->isVisibleTo(window)) {
                continue;
            }
            shown << w;
            if (const QString cut = cutCaption(w); !cut.isEmpty()) {
                found << cut;
            }
            // A panel's border may lie a pixel outside the frame.
            if (!parent->rect().adjusted(-1, -1, 1, 1).contains(w->geometry())) {
                found << w->objectName() + QStringLiteral(" runs past the edge of ") + parent->objectName();
            }
            // Controls are checked whole; what lies inside a list or a field is theirs.
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w) ||
                                 qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
                                 qobject_cast<QAbstractScrollArea*>(w);
            if (!control) {
                visit(w);
            }
        }
        for (int i = 0; i < shown.size(); ++i) {
            for (int j = i + 1; j < shown.size(); ++j) {
                if (shown[i]->geometry().intersects(shown[j]->geometry())) {
                    found << shown[i]->objectName() + QStringLiteral(" overlaps ") + shown[j]->objectName();
                }
            }
        }
    };
    visit(window);
    return found;
}

// A frame program whose window comes at once, for the region editor.
struct EditorScene final : Messages, FrameProgram {
    test::FakeDesktop desktop;
    Settings settings;
    SourceWindow source{desktop};
    void show(Kind, const QString&, const QString&, std::function<void(bool)>) override {}
    void closeAll() override {}
    qint64 start(const QString& command, QString*) override {
        desktop.setWindowProcess(desktop.addWindow(parseFrameCommand(command).title, {0, 0, 10, 10}), 4242);
        return 4242;
    }
    void stop() override {}
};

TEST(Captions, EveryCaptionFitsEveryWindowInEveryLanguage) {
    const QString data = test::TestEnvironment::makeTempDir("fit");
    test::RecordingMessages boxes;
    installShippedFiles(data, data + "/Languages", QStringLiteral("Oculet 2.21"), boxes);
    InterfaceTexts texts;
    LanguageLoader loader(texts, boxes, data + "/Languages", QStringLiteral("Oculet 2.21"));

    // Made once and given each language in turn, as the running program does.
    test::Fixture f;
    f.settings.program = MMSSTV; // the longest folder caption: "MMSSTV History folder"
    QWidget frame; // the panels lie on the frame, which cuts what does not fit
    frame.setObjectName("picImg");
    frame.setFixedSize(320, 240);
    auto* clockPanel = new ClockPanel(f.context, &frame);
    clockPanel->showTimes(QDateTime::currentDateTimeUtc(), QDateTime::currentDateTime()); // beside their boxes
    OptionPanel* const panels[] = {clockPanel, new LastRxPanel(f.context, &frame),
                                   new TextPanel(f.context, &frame), new FtpPanel(f.context, &frame, data)};
    frame.show();
    QWidget barWindow;
    barWindow.setObjectName("Form1");
    barWindow.setFixedSize(320, 20);
    MenuBar bar(&barWindow);
    SourceMenu sources;
    LanguageMenu languages;
    OptionsMenu options(languages);
    EditorScene scene;
    RegionEditor editor(scene.settings, scene.desktop, scene.source, scene, texts, scene);
    const auto check = [](QWidget* window, const std::string& what) {
        const QStringList found = faults(window);
        EXPECT_TRUE(found.isEmpty()) << what << ": " << found.join("; ").toStdString();
    };

    for (int language = 0; language < kLanguageCount; ++language) {
        ASSERT_TRUE(loader.load(language)) << language;
        const std::string in = " in language " + std::to_string(language);
        for (OptionPanel* panel : panels) {
            panel->applyTexts(texts);
            panel->openPanel(sourceMenuCaption(MMSSTV) + u' ' + texts[Text::LastReceivedItem]);
            check(&frame, panel->objectName().toStdString() + in);
            panel->closePanel();
        }

        sources.setCaption(ScreenCapture, texts[Text::ScreenCapture]);
        bar.program()->setText(sources.caption(ScreenCapture));
        bar.options()->setText(texts[Text::Options]);
        bar.cam()->setText(texts[Text::CamMode]);
        bar.status()->applyTexts(texts);
        bar.fitCaptions();
        barWindow.show();
        for (const LinkState state : {LinkState::Connecting, LinkState::Connected, LinkState::Retrying,
                                      LinkState::LoginRefused, LinkState::Untrusted}) {
            bar.status()->showStatus({state, 300, {}, {}});
            check(&barWindow, "menu bar, state " + std::to_string(int(state)) + in);
        }

        QStringList items;
        for (int i = 0; i < kOptionsItemCount; ++i) {
            items << optionsItemCaption(i, texts, MMSSTV, sourceMenuCaption(MMSSTV), QStringLiteral("Oculet 2.21"));
        }
        options.setCaptions(items);
        languages.setCaptions({texts[Text::English], texts[Text::Spanish], texts[Text::German],
                               texts[Text::French], texts[Text::Dutch]});
        sources.popup({0, 22}, ScreenCapture);
        check(&sources, "source menu" + in);
        sources.hide();
        options.popup({70, 22});
        languages.popup({300, 22}, language);
        check(&options, "options menu" + in);
        check(&languages, "language menu" + in);
        options.close();

        for (const RegionTarget target : {RegionTarget::Capture, RegionTarget::ProgressStrip, RegionTarget::SignalMeter,
                                          RegionTarget::Aux1, RegionTarget::Aux2}) {
            editor.open(target, QRect(0, 0, 322, 288), sourceMenuCaption(MMSSTV));
            check(&editor, "region editor, target " + std::to_string(int(target)) + in);
            // Opened again in another language, the editor speaks it.
            EXPECT_EQ(editor.findChild<QLabel*>("lblHeight")->text(), texts[Text::EditorHeight]) << in;
            EXPECT_EQ(editor.findChild<QAbstractButton*>("cmdClose")->text(), texts[Text::Close]) << in;
            editor.closeEditor();
        }
    }
}

} // namespace
} // namespace oculet
