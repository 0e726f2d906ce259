#include "ui/ClockPanel.h"

#include "ui/FaceButton.h"
#include "platform/Messages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

namespace oculet {

ClockPanel::ClockPanel(PanelContext& context, QWidget* parent) : OptionPanel("Frame4", 150, context, parent) {
    ckClockZ_ = named(new QCheckBox(this), "ckClockZ");
    ckClockL_ = named(new QCheckBox(this), "ckClockL");
    lblUTC_ = named(new QLabel(this), "lblUTC");
    lblLocal_ = named(new QLabel(this), "lblLocal");
    cmdClockFont_ = new FaceButton(QStringLiteral("cmdClockFont"), {}, this);
    cmdClockColor_ = new FaceButton(QStringLiteral("cmdClockColor"), {}, this);
    cmdClockClose_ = new FaceButton(QStringLiteral("cmdClockClose"), {}, this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(ckClockZ_, 0, 0);
    grid->addWidget(lblUTC_, 0, 1);
    grid->addWidget(ckClockL_, 1, 0);
    grid->addWidget(lblLocal_, 1, 1);
    grid->addWidget(cmdClockFont_, 2, 0);
    grid->addWidget(cmdClockColor_, 2, 1);
    grid->addWidget(cmdClockClose_, 3, 1);

    connect(ckClockZ_, &QCheckBox::toggled, this, [this] {
        settings().current(settings().clockOnZ) = tickValue(ckClockZ_);
        clockSwitched();
    });
    connect(ckClockL_, &QCheckBox::toggled, this, [this] {
        settings().current(settings().clockOnL) = tickValue(ckClockL_);
        clockSwitched();
    });
    connect(cmdClockFont_, &QPushButton::clicked, this, &ClockPanel::chooseFont);
    connect(cmdClockColor_, &QPushButton::clicked, this, [this] {
        if (const std::optional<Colour> colour = context_.dialogs.chooseColour(settings().clockColour, cmdClockColor_->text())) {
            settings().clockColour = *colour;
        }
    });
    connect(cmdClockClose_, &QPushButton::clicked, this, &OptionPanel::closePanel);
}

void ClockPanel::applyTexts(const InterfaceTexts& texts) {
    ckClockZ_->setText(texts[Text::ShowUtcClock]);
    ckClockL_->setText(texts[Text::ShowLocalClock]);
    cmdClockFont_->setText(texts[Text::ClockFontButton]);
    cmdClockColor_->setText(texts[Text::ClockColourButton]);
    cmdClockClose_->setText(texts[Text::Close]);
}

void ClockPanel::refresh() {
    ckClockZ_->setChecked(settings().utcClockOn());
    ckClockL_->setChecked(settings().localClockOn());
}

void ClockPanel::showTimes(const QDateTime& utc, const QDateTime& local) {
    lblUTC_->setText(utc.toUTC().toString(QStringLiteral("HH:mm:ss")) + u'z');
    lblLocal_->setText(local.toString(QStringLiteral("HH:mm:ss")));
}

void ClockPanel::clockSwitched() {
    const bool shown = settings().clockShown();
    context_.boxes[BoxId::Clock].visible = shown;
    context_.hooks.clockShown(shown);
}

void ClockPanel::chooseFont() {
    const PanelDialogs::FontChoice choice = context_.dialogs.chooseFont(settings().clockFont, cmdClockFont_->text());
    if (choice.font) {
        settings().clockFont = *choice.font;
    } else if (choice.error != 0) {
        // A cancel is the user's own answer; only a dialog that could not be shown is reported.
        context_.messages.warn(QStringLiteral("Error #%1").arg(choice.error));
    }
}

} // namespace oculet
