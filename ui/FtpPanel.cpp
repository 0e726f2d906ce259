#include "ui/FtpPanel.h"

#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "platform/AtomicFile.h"
#include "ui/FaceButton.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/RegularFile.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QBoxLayout>
#include <QSpinBox>

#include <limits>

namespace oculet {

FtpPanel::FtpPanel(PanelContext& context, QWidget* parent, QString dataFolder)
    : OptionPanel("frmFtp", 240, context, parent), settings_(context.settings), messages_(context.messages),
      dataFolder_(dataFolder.isEmpty() ? Paths::dataFolder() : std::move(dataFolder)) {
    // Over the whole frame, its border just outside on the left; in the desktop's own font.
    place_ = QPoint(-1, 0);
    setFont(QFont());
    setFixedSize(322, 240);

    optFtp0_ = named(new QRadioButton(QStringLiteral("FTP upload"), this), "optFtp0");
    optFtp1_ = named(new QRadioButton(QStringLiteral("WebCam 7 - XP"), this), "optFtp1");
    auto* group = new QButtonGroup(this);
    group->addButton(optFtp0_, 0);
    group->addButton(optFtp1_, 1);

    lblAdd_ = named(new QLabel(QStringLiteral("FTP address"), this), "lblAdd");
    txtAdd_ = named(new QLineEdit(this), "txtAdd");
    lblUser_ = named(new QLabel(QStringLiteral("Username"), this), "lblUser");
    txtUser_ = named(new QLineEdit(this), "txtUser");
    lblPass_ = named(new QLabel(QStringLiteral("Password"), this), "lblPass");
    txtPass_ = named(new QLineEdit(this), "txtPass");
    txtPass_->setEchoMode(QLineEdit::Password);
    lblDir_ = named(new QLabel(QStringLiteral("Web directory"), this), "lblDir");
    txtDir_ = named(new QLineEdit(this), "txtDir");
    lblFileName_ = named(new QLabel(QStringLiteral("Filename"), this), "lblFileName");
    txtFilename_ = named(new QLineEdit(this), "txtFilename");
    // A line edit cuts its text at 32,767 characters by default; what the user stored is kept
    // whole (and refused with a reason when the server cannot take it).
    for (QLineEdit* field : {txtAdd_, txtUser_, txtPass_, txtDir_, txtFilename_}) {
        field->setMaxLength(std::numeric_limits<int>::max());
    }
    ckCamOff_ = named(new QCheckBox(QStringLiteral("Upload image when Oculet is off"), this),
                      "ckCamOff");
    ckAutostart_ = named(new QCheckBox(QStringLiteral("Start Oculet when I log in"), this), "ckAutostart");
    cmdFtpBrowse_ = named(new QPushButton(QStringLiteral("Browse"), this), "cmdFtpBrowse");
    image1_ = named(new QLabel(this), "Image1");
    image1_->setFixedSize(48, 36);
    image1_->setAlignment(Qt::AlignCenter);
    cmdCloseFtp_ = new FaceButton(QStringLiteral("cmdCloseFtp"), QStringLiteral("Close"), this);
    cmdTrustKey_ = named(new QPushButton(QStringLiteral("Trust host key"), this), "cmdTrustKey");
    cmdTrustKey_->hide();
    lblInterval_ = named(new QLabel(QStringLiteral("Upload at most every"), this), "lblInterval");
    spinInterval_ = named(new QSpinBox(this), "txtInterval");
    spinInterval_->setRange(0, 3600);
    spinInterval_->setSuffix(QStringLiteral(" s"));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(1);
    grid->addWidget(optFtp0_, 0, 0);
    grid->addWidget(optFtp1_, 0, 1);
    int row = 1;
    for (auto [label, edit] : {std::pair{lblAdd_, txtAdd_}, std::pair{lblUser_, txtUser_},
                               std::pair{lblPass_, txtPass_}, std::pair{lblDir_, txtDir_},
                               std::pair{lblFileName_, txtFilename_}}) {
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    }
    grid->addWidget(ckCamOff_, row++, 0, 1, 2);
    // The panel is as tall as the frame: the least interval shares its row with the seldom-shown
    // trust button, and the picture stands beside the buttons and the autostart box.
    auto* interval = new QHBoxLayout;
    interval->addWidget(lblInterval_);
    interval->addWidget(spinInterval_);
    interval->addStretch();
    interval->addWidget(cmdTrustKey_);
    grid->addLayout(interval, row++, 0, 1, 2);
    auto* bottom = new QGridLayout;
    bottom->setVerticalSpacing(1);
    bottom->addWidget(image1_, 0, 0, 2, 1, Qt::AlignLeft | Qt::AlignTop);
    buttonRow_ = new QHBoxLayout;
    buttonRow_->addWidget(cmdFtpBrowse_);
    buttonRow_->addStretch();
    buttonRow_->addWidget(cmdCloseFtp_);
    bottom->addLayout(buttonRow_, 0, 1);
    bottom->addWidget(ckAutostart_, 1, 1, Qt::AlignLeft);
    bottom->setColumnStretch(1, 1);
    grid->addLayout(bottom, row, 0, 1, 2);

    connect(optFtp0_, &QRadioButton::toggled, this, [this](bool on) { setFtpMode(on); });
    connect(txtAdd_, &QLineEdit::textChanged, this, [this](const QString& t) { settings_.ftpAddress = t; });
    connect(txtUser_, &QLineEdit::textChanged, this, [this](const QString& t) { settings_.ftpUsername = t; });
    connect(txtPass_, &QLineEdit::textChanged, this, [this](const QString& t) { settings_.ftpPassword = t; });
    connect(txtDir_, &QLineEdit::textChanged, this, [this](const QString& t) { settings_.ftpDir = t; });
    connect(txtFilename_, &QLineEdit::textChanged, this, [this](const QString& t) { settings_.ftpFilename = t; });
    connect(ckCamOff_, &QCheckBox::toggled, this, [this](bool on) { settings_.ftpOffPic = on ? 1 : 0; });
    connect(spinInterval_, &QSpinBox::valueChanged, this, [this](int seconds) { settings_.ftpInterval = seconds; });
    // Only a click by the user writes or removes the entry; showing the panel only reads it.
    connect(ckAutostart_, &QCheckBox::clicked, this, [this](bool on) {
        QString error;
        if (!autostart_.setOn(on, &error)) {
            messages_.warn(error);
        }
        ckAutostart_->setChecked(autostart_.isOn());
    });
    connect(cmdFtpBrowse_, &QPushButton::clicked, this, &FtpPanel::browseOffPicture);
    connect(cmdCloseFtp_, &QPushButton::clicked, this, &FtpPanel::closePanel);
    connect(cmdTrustKey_, &QPushButton::clicked, this, [this] {
        const QString accepted = offeredHostKey_;
        offerHostKey({});
        emit hostKeyAccepted(accepted);
    });

    chooser_ = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Off-air picture"), Paths::programFolder(),
                                            QStringLiteral("Jpeg files (*.jpg)"));
    };

    const FileRead stored = readRegularFile(dataFolder_ + u'/' + Paths::offPictureName(), kMaxOffPictureSize);
    if (stored.ok()) {
        offPicture_.loadFromData(stored.bytes);
    }
    showOffPicture();
    refresh();
}

void FtpPanel::offerHostKey(const QString& fingerprint) {
    offeredHostKey_ = fingerprint;
    cmdTrustKey_->setToolTip(QString(texts_[Text::TrustKeyTip]).replace(QStringLiteral("%1"), fingerprint));
    cmdTrustKey_->setVisible(!fingerprint.isEmpty());
}

void FtpPanel::addGroup(QWidget* group) {
    // The panel is as large as the picture and full: the group gets a page of its own over the
    // publishing controls, opened and closed by a button beside Close and named by the group's
    // window title.
    auto* page = named(new QFrame(this), "pageGroup");
    page->setAutoFillBackground(true);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(6, 4, 6, 4);
    pageLayout->addWidget(group);
    pageLayout->addStretch();
    page->hide();
    auto* toggle = named(new QPushButton(group->windowTitle(), this), "cmdGroupPage");
    toggle->setCheckable(true);
    buttonRow_->insertWidget(buttonRow_->indexOf(cmdCloseFtp_), toggle);
    connect(group, &QWidget::windowTitleChanged, toggle, &QPushButton::setText);
    connect(toggle, &QPushButton::toggled, page, [this, page, toggle](bool on) {
        page->setGeometry(0, 0, width(), toggle->geometry().top() - 2);
        page->setVisible(on);
        page->raise();
    });
    connect(this, &FtpPanel::closed, toggle, [toggle] { toggle->setChecked(false); });
}

void FtpPanel::applyTexts(const InterfaceTexts& texts) {
    texts_ = texts;
    offerHostKey(offeredHostKey_);
    optFtp0_->setText(texts[Text::FtpUpload]);
    optFtp1_->setText(texts[Text::WebcamMode]);
    lblAdd_->setText(texts[Text::FtpAddress]);
    lblUser_->setText(texts[Text::FtpUser]);
    lblPass_->setText(texts[Text::FtpPassword]);
    lblDir_->setText(texts[Text::FtpFolder]);
    lblFileName_->setText(texts[Text::FtpFileName]);
    ckCamOff_->setText(texts[Text::UploadWhenOff]);
    ckAutostart_->setText(texts[Text::StartAtLogin]);
    lblInterval_->setText(texts[Text::UploadInterval]);
    cmdFtpBrowse_->setText(texts[Text::BrowseButton]);
    cmdCloseFtp_->setText(texts[Text::Close]);
}

void FtpPanel::refresh() {
    txtAdd_->setText(settings_.ftpAddress);
    txtUser_->setText(settings_.ftpUsername);
    txtPass_->setText(settings_.ftpPassword);
    txtDir_->setText(settings_.ftpDir);
    txtFilename_->setText(settings_.ftpFilename);
    ckCamOff_->setChecked(settings_.offPictureOnShutdown());
    spinInterval_->setValue(settings_.ftpInterval);
    ckAutostart_->setChecked(autostart_.isOn());
    (settings_.ftpOn ? optFtp0_ : optFtp1_)->setChecked(true);
    setFtpMode(settings_.ftpOn);
}

void FtpPanel::beforeClosing() {
    if (settings_.ftpOn && settings_.offPictureOnShutdown() && offPicture_.isNull()) {
        messages_.tell(QStringLiteral("No off picture has been chosen, so the picture on the server will be "
                                      "deleted when Oculet closes. Choose one with %1 to leave it there.")
                           .arg(cmdFtpBrowse_->text()));
    }
}

void FtpPanel::setFtpMode(bool ftpOn) {
    settings_.ftpOn = ftpOn;
    for (QWidget* w : std::initializer_list<QWidget*>{txtAdd_, lblAdd_, txtUser_, lblUser_,
                                                      txtPass_, lblPass_, txtDir_, lblDir_,
                                                      txtFilename_, lblFileName_, lblInterval_,
                                                      spinInterval_}) {
        w->setEnabled(ftpOn);
    }
}

void FtpPanel::browseOffPicture() {
    const QString path = chooser_ ? chooser_() : QString();
    if (path.trimmed().isEmpty()) {
        return;
    }
    takeOffPicture(path);
}

bool FtpPanel::takeOffPicture(const QString& path) {
    const FileRead source = readRegularFile(path, kMaxOffPictureSize);
    const QString name = QFileInfo(path).fileName();
    if (!source.ok()) {
        messages_.warn(QStringLiteral("The picture \"%1\" could not be opened.").arg(name));
        return false;
    }
    const QByteArray& bytes = source.bytes;
    QImage picture;
    if (!picture.loadFromData(bytes)) {
        messages_.warn(QStringLiteral("\"%1\" could not be read as a picture.").arg(name));
        return false;
    }
    // The off picture may be published at any shutdown: replace it whole or not at all.
    const QString stored = dataFolder_ + u'/' + Paths::offPictureName();
    if (replaceFile(stored, bytes) != 0) {
        messages_.warn(QStringLiteral("The picture could not be copied to %1.").arg(stored));
        return false;
    }
    offPicture_ = picture;
    showOffPicture();
    return true;
}

void FtpPanel::showOffPicture() {
    if (offPicture_.isNull()) {
        image1_->clear();
        return;
    }
    image1_->setPixmap(QPixmap::fromImage(offPicture_.scaled(image1_->size(), Qt::KeepAspectRatio,
                                                              Qt::SmoothTransformation)));
}

} // namespace oculet
