#include "ui/LastRxPanel.h"

#include "ui/FaceButton.h"
#include "ui/Captions.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QRadioButton>

namespace oculet {

LastRxPanel::LastRxPanel(PanelContext& context, QWidget* parent) : OptionPanel("Frame3", 190, context, parent) {
    ckLastRx_ = named(new QCheckBox(this), "ckLastRx");
    txtLastRx_ = named(new QLineEdit(this), "txtLastRx");
    cmdBrowse_ = new FaceButton(QStringLiteral("cmdBrowse"), {}, this);
    optFolder0_ = named(new QRadioButton(this), "optFolder0");
    optFolder1_ = named(new QRadioButton(this), "optFolder1");
    auto* folders = new QButtonGroup(this);
    folders->addButton(optFolder0_);
    folders->addButton(optFolder1_);
    cmdBorder_ = new FaceButton(QStringLiteral("cmdBorder"), {}, this);
    cmdLastRx_ = new FaceButton(QStringLiteral("cmdLastRx"), {}, this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(ckLastRx_, 0, 0, 1, 2);
    grid->addWidget(optFolder0_, 1, 0, 1, 2);
    grid->addWidget(optFolder1_, 2, 0, 1, 2);
    grid->addWidget(txtLastRx_, 3, 0);
    grid->addWidget(cmdBrowse_, 3, 1);
    grid->addWidget(cmdBorder_, 4, 0, Qt::AlignLeft);
    grid->addWidget(cmdLastRx_, 4, 1);

    connect(ckLastRx_, &QCheckBox::toggled, this, [this](bool on) {
        settings().current(settings().lastRx) = on;
        context_.boxes[BoxId::LastRx].visible = on;
    });
    connect(folders, &QButtonGroup::buttonClicked, this, [this] {
        settings().current(settings().optDir) = optFolder0_->isChecked();
        context_.hooks.folderChanged();
    });
    connect(cmdBrowse_, &QPushButton::clicked, this, [this] {
        const QString folder = context_.dialogs.chooseFolder(optFolder1_->text());
        if (!folder.isEmpty()) {
            txtLastRx_->setText(folder.endsWith(u'/') ? folder : folder + u'/');
        }
    });
    connect(cmdBorder_, &QPushButton::clicked, this, [this] {
        if (const std::optional<Colour> colour = context_.dialogs.chooseColour(settings().borderColour, cmdBorder_->text())) {
            settings().borderColour = *colour;
        }
    });
    connect(cmdLastRx_, &QPushButton::clicked, this, &OptionPanel::closePanel);
}

void LastRxPanel::applyTexts(const InterfaceTexts& texts) {
    texts_ = &texts;
    ckLastRx_->setText(texts[Text::LastRxOn]);
    cmdBrowse_->setText(texts[Text::BrowseButton]);
    optFolder0_->setText(texts[Text::UserFolder]);
    optFolder1_->setText(programFolderCaption(texts, settings().clampedProgram()));
    cmdBorder_->setText(texts[Text::BorderButton]);
    cmdLastRx_->setText(texts[Text::Close]);
}

void LastRxPanel::refresh() {
    Settings& s = settings();
    ckLastRx_->setChecked(s.current(s.lastRx));
    txtLastRx_->setText(s.current(s.epDir));
    // Only EasyPal keeps its last picture in the user's own folder as well.
    const bool easyPal = s.clampedProgram() == EasyPal;
    optFolder0_->setEnabled(easyPal);
    (easyPal && s.current(s.optDir) ? optFolder0_ : optFolder1_)->setChecked(true);
    if (texts_ != nullptr) {
        optFolder1_->setText(programFolderCaption(*texts_, s.clampedProgram()));
    }
}

void LastRxPanel::beforeClosing() {
    const QString folder = txtLastRx_->text();
    if (folder.isEmpty()) {
        return;
    }
    const bool separated = folder.endsWith(u'/') || folder.endsWith(u'\\');
    settings().current(settings().epDir) = separated ? folder : folder + u'/';
}

} // namespace oculet
