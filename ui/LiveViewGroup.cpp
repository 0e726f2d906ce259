#include "ui/LiveViewGroup.h"

#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "web/LiveView.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace oculet {

LiveViewGroup::LiveViewGroup(Settings& settings, LiveView& liveView, const InterfaceTexts& texts, QWidget* parent)
    : QGroupBox(parent), settings_(settings), liveView_(liveView), texts_(texts) {
    setObjectName(QStringLiteral("grpLiveView"));
    ckOn_ = new QCheckBox(this);
    ckOn_->setObjectName(QStringLiteral("ckLiveView"));
    lblPort_ = new QLabel(this);
    port_ = new QSpinBox(this);
    port_->setObjectName(QStringLiteral("txtLivePort"));
    port_->setRange(1, 65535);
    ckLan_ = new QCheckBox(this);
    ckLan_->setObjectName(QStringLiteral("ckLiveLan"));
    lblPassword_ = new QLabel(this);
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("txtLivePassword"));
    password_->setEchoMode(QLineEdit::Password);
    address_ = new QLabel(this);
    address_->setObjectName(QStringLiteral("lblLiveAddress"));
    address_->setOpenExternalLinks(true);
    address_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    address_->setWordWrap(true);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(2);
    grid->addWidget(ckOn_, 0, 0, 1, 2);
    grid->addWidget(lblPort_, 1, 0);
    grid->addWidget(port_, 1, 1, Qt::AlignLeft);
    grid->addWidget(ckLan_, 2, 0, 1, 2);
    grid->addWidget(lblPassword_, 3, 0);
    grid->addWidget(password_, 3, 1);
    grid->addWidget(address_, 4, 0, 1, 2);

    connect(&liveView_, &LiveView::viewersChanged, this, [this](int viewers) {
        emit viewersLineChanged(liveView_.state() == LiveView::State::Serving
                                    ? texts_[Text::LiveViewViewers].arg(viewers)
                                    : QString());
    });
    connect(ckOn_, &QCheckBox::toggled, this, [this](bool on) {
        settings_.webOn = on;
        applySettings();
    });
    connect(ckLan_, &QCheckBox::toggled, this, [this](bool on) {
        settings_.webLan = on;
        applySettings();
    });
    // The port is taken when the user has finished typing it, not at each digit.
    connect(port_, &QSpinBox::editingFinished, this, [this] {
        settings_.webPort = port_->value();
        applySettings();
    });
    connect(password_, &QLineEdit::textChanged, this, [this](const QString& text) {
        settings_.webPassword = text;
        applySettings();
    });
    applyTexts();
    refreshFromSettings();
}

void LiveViewGroup::applyTexts() {
    setTitle(texts_[Text::LiveView]);
    setWindowTitle(texts_[Text::LiveView]);
    ckOn_->setText(texts_[Text::LiveViewOn]);
    lblPort_->setText(texts_[Text::LiveViewPort]);
    ckLan_->setText(texts_[Text::LiveViewLan]);
    lblPassword_->setText(texts_[Text::LiveViewPassword]);
    showState();
}

void LiveViewGroup::refreshFromSettings() {
    refreshing_ = true;
    ckOn_->setChecked(settings_.webOn);
    port_->setValue(settings_.webPort);
    ckLan_->setChecked(settings_.webLan);
    password_->setText(settings_.webPassword);
    refreshing_ = false;
    showState();
}

void LiveViewGroup::applySettings() {
    if (refreshing_) {
        return;
    }
    liveView_.apply(settings_);
    showState();
}

void LiveViewGroup::showState() {
    switch (liveView_.state()) {
    case LiveView::State::Off: address_->clear(); break;
    case LiveView::State::Serving: {
        const QString address = liveView_.address();
        address_->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()));
        break;
    }
    case LiveView::State::PortInUse:
        address_->setText(texts_[Text::LiveViewPortTaken].arg(settings_.webPort).toHtmlEscaped());
        break;
    case LiveView::State::Failed:
        address_->setText(texts_[Text::LiveViewFailed].arg(liveView_.error()).toHtmlEscaped());
        break;
    }
}

} // namespace oculet
