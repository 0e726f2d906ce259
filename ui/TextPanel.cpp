#include "ui/TextPanel.h"

#include "ui/FaceButton.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLineEdit>
#include <QRadioButton>

namespace oculet {
namespace {

constexpr int kListLines = 5;

void fillList(QComboBox* list, const std::array<QString, kListLines>& lines, int chosen) {
    list->clear();
    for (const QString& line : lines) {
        list->addItem(line);
    }
    list->setCurrentIndex(chosen >= 0 && chosen < kListLines ? chosen : 0);
}

// Stores the text of a list's box into the list's lines and puts the lines back into the list.
void remember(QComboBox* list, std::array<QString, kListLines>& lines, int chosen) {
    QStringList kept(lines.begin(), lines.end());
    rememberText(kept, chosen, list->currentText());
    for (int i = 0; i < kListLines && i < kept.size(); ++i) {
        lines[static_cast<std::size_t>(i)] = kept[i];
    }
}

} // namespace

void rememberText(QStringList& lines, int chosen, const QString& text) {
    if (lines.size() < kListLines) {
        lines.append(text);
    } else if (chosen >= 0 && chosen < lines.size()) {
        lines[chosen] = text;
    }
}

TextPanel::TextPanel(PanelContext& context, QWidget* parent) : OptionPanel("Frame2", 240, context, parent) {
    ckText_ = named(new QCheckBox(this), "ckText");
    optCont_ = named(new QRadioButton(this), "optCont");
    optTime_ = named(new QRadioButton(this), "optTime");
    auto* modes = new QButtonGroup(this);
    modes->addButton(optCont_);
    modes->addButton(optTime_);
    cboScrollText_ = named(new QComboBox(this), "cboScrollText");
    ckFile1_ = named(new QCheckBox(this), "ckFile1");
    txtFile1_ = named(new QLineEdit(this), "txtFile1");
    cmdBrowse1_ = new FaceButton(QStringLiteral("cmdBrowse1"), {}, this);
    ckFixedTxt_ = named(new QCheckBox(this), "ckFixedTxt");
    cboFtxt_ = named(new QComboBox(this), "cboFtxt");
    ckFile2_ = named(new QCheckBox(this), "ckFile2");
    txtFile2_ = named(new QLineEdit(this), "txtFile2");
    cmdBrowse2_ = new FaceButton(QStringLiteral("cmdBrowse2"), {}, this);
    ckTransparent_ = named(new QCheckBox(this), "ckTransparent");
    cmdBkCol_ = new FaceButton(QStringLiteral("cmdBkCol"), {}, this);
    cmdFont_ = new FaceButton(QStringLiteral("cmdFont"), {}, this);
    cmdColor_ = new FaceButton(QStringLiteral("cmdColor"), {}, this);
    cmdClose_ = new FaceButton(QStringLiteral("cmdClose"), {}, this);
    for (QComboBox* list : {cboScrollText_, cboFtxt_}) {
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
    }
    // Captions are never cut; the file paths give way (their full text scrolls in the box).
    for (QAbstractButton* box : std::initializer_list<QAbstractButton*>{ckText_, optCont_, optTime_, ckFile1_,
                                                                       ckFixedTxt_, ckFile2_, ckTransparent_}) {
        box->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    for (QLineEdit* path : {txtFile1_, txtFile2_}) {
        path->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(1);
    grid->setHorizontalSpacing(4);
    grid->addWidget(ckText_, 0, 0, 1, 3);
    grid->addWidget(optCont_, 1, 0);
    grid->addWidget(optTime_, 1, 1, 1, 2);
    grid->addWidget(cboScrollText_, 2, 0, 1, 3);
    grid->addWidget(ckFile1_, 3, 0);
    grid->addWidget(txtFile1_, 3, 1);
    grid->addWidget(cmdBrowse1_, 3, 2);
    grid->addWidget(ckFixedTxt_, 4, 0);
    grid->addWidget(ckTransparent_, 4, 1, 1, 2);
    grid->addWidget(cboFtxt_, 5, 0, 1, 3);
    grid->addWidget(ckFile2_, 6, 0);
    grid->addWidget(txtFile2_, 6, 1);
    grid->addWidget(cmdBrowse2_, 6, 2);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {cmdFont_, cmdColor_, cmdBkCol_, cmdClose_}) {
        buttons->addWidget(button);
    }
    grid->addLayout(buttons, 7, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    Settings& s = settings();
    connect(ckText_, &QCheckBox::toggled, this, &TextPanel::scrollModeChanged);
    connect(modes, &QButtonGroup::buttonClicked, this, &TextPanel::scrollModeChanged);
    connect(ckFixedTxt_, &QCheckBox::toggled, this, [this, &s] {
        s.current(s.fTxtOn) = tickValue(ckFixedTxt_);
        context_.boxes[BoxId::FixedText].visible = s.fixedTextShown();
    });
    connect(ckTransparent_, &QCheckBox::toggled, this, [this, &s] {
        s.current(s.transparent) = tickValue(ckTransparent_);
        cmdBkCol_->setEnabled(!s.textsTransparent());
    });
    connect(ckFile1_, &QCheckBox::toggled, this, [this, &s] { s.ckFile1 = tickValue(ckFile1_); });
    connect(ckFile2_, &QCheckBox::toggled, this, [this, &s] { s.ckFile2 = tickValue(ckFile2_); });
    connect(txtFile1_, &QLineEdit::textChanged, this, [&s](const QString& path) { s.file1 = path; });
    connect(txtFile2_, &QLineEdit::textChanged, this, [&s](const QString& path) { s.file2 = path; });
    connect(cboScrollText_, &QComboBox::activated, this, [&s](int index) { s.scrollIndex = index; });
    connect(cboFtxt_, &QComboBox::activated, this, [&s](int index) { s.fixedIndex = index; });
    connect(cboScrollText_, &QComboBox::editTextChanged, this, [this] {
        context_.hooks.restartScrolling();
        sizeDropDowns();
    });
    connect(cboFtxt_, &QComboBox::editTextChanged, this, &TextPanel::sizeDropDowns);
    connect(cmdBrowse1_, &QPushButton::clicked, this, [this] {
        const QString path = context_.dialogs.chooseTextFile(dialogTitle(ckFile1_->text()));
        if (!path.isEmpty()) {
            txtFile1_->setText(path);
        }
    });
    connect(cmdBrowse2_, &QPushButton::clicked, this, [this] {
        const QString path = context_.dialogs.chooseTextFile(dialogTitle(ckFile2_->text()));
        if (!path.isEmpty()) {
            txtFile2_->setText(path);
        }
    });
    const std::pair<QPushButton*, Colour Settings::*> colours[] = {{cmdBkCol_, &Settings::textBkgColour},
                                                                   {cmdColor_, &Settings::textColour}};
    for (const auto& [button, colour] : colours) {
        connect(button, &QPushButton::clicked, this, [this, &s, colour = colour, button = button] {
            const QString title = dialogTitle(button->text());
            if (const std::optional<Colour> chosen = context_.dialogs.chooseColour(s.*colour, title)) {
                s.*colour = *chosen;
            }
        });
    }
    connect(cmdFont_, &QPushButton::clicked, this, &TextPanel::chooseFont);
    connect(cmdClose_, &QPushButton::clicked, this, &OptionPanel::closePanel);
}

void TextPanel::applyTexts(const InterfaceTexts& texts) {
    ckText_->setText(texts[Text::ShowScrollingText]);
    optCont_->setText(texts[Text::Continuous]);
    optTime_->setText(texts[Text::EveryMinute]);
    ckFile1_->setText(texts[Text::TextFromFile]);
    ckFile2_->setText(texts[Text::TextFromFile]);
    cmdBrowse1_->setText(texts[Text::BrowseButton]);
    cmdBrowse2_->setText(texts[Text::BrowseButton]);
    ckFixedTxt_->setText(texts[Text::ShowFixedText]);
    ckTransparent_->setText(texts[Text::Transparent]);
    cmdBkCol_->setText(texts[Text::BackColourButton]);
    cmdFont_->setText(texts[Text::FontButton]);
    cmdColor_->setText(texts[Text::ColourButton]);
    cmdClose_->setText(texts[Text::Close]);
}

void TextPanel::refresh() {
    Settings& s = settings();
    ckText_->setChecked(s.scrollTextShown());
    optCont_->setEnabled(s.scrollTextShown());
    optTime_->setEnabled(s.scrollTextShown());
    (s.current(s.txtOn) > 1 ? optTime_ : optCont_)->setChecked(true);
    fillList(cboScrollText_, s.scrollTexts, s.scrollIndex);
    fillList(cboFtxt_, s.fixedTexts, s.fixedIndex);
    ckFile1_->setChecked(s.textFile1InUse());
    txtFile1_->setText(s.file1);
    ckFile2_->setChecked(s.textFile2InUse());
    txtFile2_->setText(s.file2);
    ckFixedTxt_->setChecked(s.fixedTextShown());
    ckTransparent_->setChecked(s.textsTransparent());
    cmdBkCol_->setEnabled(!s.textsTransparent());
    sizeDropDowns();
}

void TextPanel::scrollModeChanged() {
    Settings& s = settings();
    const bool on = ckText_->isChecked();
    optCont_->setEnabled(on);
    optTime_->setEnabled(on);
    s.current(s.txtOn) = !on ? 0 : optTime_->isChecked() ? 60 : 1;
    context_.boxes[BoxId::ScrollText].visible = s.scrollTextShown();
}

void TextPanel::sizeDropDowns() {
    // The drop-down list is as wide as its widest line, even where the box itself is narrower.
    for (QComboBox* list : {cboScrollText_, cboFtxt_}) {
        int widest = 0;
        for (int i = 0; i < list->count(); ++i) {
            widest = std::max(widest, QFontMetrics(font()).horizontalAdvance(list->itemText(i)));
        }
        list->view()->setMinimumWidth(widest + 10);
    }
}

void TextPanel::chooseFont() {
    const PanelDialogs::FontChoice choice = context_.dialogs.chooseFont(settings().textFont, dialogTitle(cmdFont_->text()));
    if (choice.font) {
        settings().textFont = *choice.font;
        context_.hooks.restartScrolling();
    }
}

void TextPanel::beforeClosing() {
    Settings& s = settings();
    context_.hooks.restartScrolling();
    context_.hooks.scrollNextCycle();
    remember(cboScrollText_, s.scrollTexts, s.scrollIndex);
    remember(cboFtxt_, s.fixedTexts, s.fixedIndex);
}

} // namespace oculet
