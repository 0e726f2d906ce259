#include "ui/FtpPanel.h"
#include "settings/Settings.h"
#include "tests/support/TestEnvironment.h"
#include "tests/ui/PanelFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace oculet {
namespace {

TEST(FtpPanel, ControlsShowAndEditTheSettingsAndWebcamModeGreysTheFtpDetails) {
    test::Fixture fixture;
    Settings& settings = fixture.settings;
    FtpPanel panel(fixture.context, nullptr, test::TestEnvironment::makeTempDir("panel"));
    const std::pair<const char*, QString Settings::*> boxes[] = {
        {"txtAdd", &Settings::ftpAddress}, {"txtUser", &Settings::ftpUsername}, {"txtPass", &Settings::ftpPassword},
        {"txtDir", &Settings::ftpDir}, {"txtFilename", &Settings::ftpFilename}};
    const QString tail(40000, u'x'); // longer than a line edit keeps by default
    for (const auto& [box, field] : boxes) {
        settings.*field = box + tail;
    }
    settings.ftpOn = true;
    settings.ftpInterval = 7;
    QStringList signalled;
    QObject::connect(&panel, &FtpPanel::closed, [&] { signalled << "closed"; });
    panel.openPanel();
    EXPECT_EQ(panel.pos(), QPoint(-1, 0));
    for (const auto& [box, field] : boxes) {
        auto* edit = panel.findChild<QLineEdit*>(box);
        EXPECT_EQ(edit->text(), box + tail);
        EXPECT_EQ(settings.*field, box + tail);
        edit->setText(QString(box) + "!");
        EXPECT_EQ(settings.*field, QString(box) + "!");
    }
    auto* camOff = panel.findChild<QCheckBox*>("ckCamOff");
    auto* interval = panel.findChild<QSpinBox*>("txtInterval");
    EXPECT_TRUE(camOff->isChecked() && interval->value() == 7) << "the stored off picture switch and interval";
    camOff->setChecked(false);
    EXPECT_EQ(settings.ftpOffPic, 0);
    interval->setValue(15);
    EXPECT_EQ(settings.ftpInterval, 15);
    for (const bool ftp : {false, true}) {
        panel.findChild<QRadioButton*>(ftp ? "optFtp0" : "optFtp1")->click();
        EXPECT_EQ(settings.ftpOn, ftp);
        for (const char* name : {"txtAdd", "lblAdd", "txtUser", "lblUser", "txtPass", "lblPass", "txtDir", "lblDir",
                                 "txtFilename", "lblFileName", "txtInterval"}) {
            EXPECT_EQ(panel.findChild<QWidget*>(name)->isEnabled(), ftp) << name;
        }
    }
    // A host key is offered for trust only while the publisher holds one, and taken once.
    auto* trust = panel.findChild<QPushButton*>("cmdTrustKey");
    EXPECT_FALSE(trust->isVisible());
    QObject::connect(&panel, &FtpPanel::hostKeyAccepted, [&](const QString& key) { signalled << key; });
    panel.offerHostKey(QStringLiteral("SHA256:k3y"));
    ASSERT_TRUE(trust->isVisible() && trust->toolTip().contains(QStringLiteral("SHA256:k3y")));
    trust->click();
    EXPECT_FALSE(trust->isVisible());
    panel.findChild<QPushButton*>("cmdCloseFtp")->click();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(signalled, QStringList({"SHA256:k3y", "closed"}));
}

TEST(FtpPanel, TheLoginBoxShowsAndSwitchesTheAutostartEntry) {
    test::Fixture fixture;
    test::RecordingMessages& messages = fixture.messages;
    FtpPanel panel(fixture.context, nullptr, test::TestEnvironment::makeTempDir("autostart-panel"));
    const QString folder = test::TestEnvironment::makeTempDir("autostart");
    const Autostart autostart(folder + "/autostart", QStringLiteral("/usr/bin/oculet"));
    panel.setAutostart(autostart);
    auto* box = panel.findChild<QCheckBox*>("ckAutostart");
    ASSERT_TRUE(QDir().mkpath(folder + "/autostart"));
    ASSERT_TRUE(test::writeFile(autostart.entryPath(), "[Desktop Entry]\nType=Application\nName=X\nExec=oculet\n"));
    panel.openPanel();
    EXPECT_TRUE(box->isChecked()) << "an entry made by hand";
    box->click();
    EXPECT_FALSE(autostart.isOn());
    box->click();
    EXPECT_TRUE(autostart.isOn());
    EXPECT_TRUE(box->isChecked());

    // Where no entry can be written the user is told, and the box shows that none is there.
    ASSERT_TRUE(test::writeFile(folder + "/file", "x"));
    panel.setAutostart(Autostart(folder + "/file", QStringLiteral("/usr/bin/oculet")));
    panel.openPanel();
    EXPECT_FALSE(box->isChecked());
    box->click();
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(messages.shown.size(), 1);
}

TEST(FtpPanel, OffPictureIsCopiedWholeOnlyWhenItIsAPictureAndItsLackIsSaidOnClosing) {
    test::Fixture fixture;
    const QString dataFolder = test::TestEnvironment::makeTempDir("panel"), chosen = dataFolder + "/chosen.jpg";
    FtpPanel panel(fixture.context, nullptr, dataFolder);
    panel.setFileChooser([&] { return chosen; });
    // Ticked to upload it at the end, but there is none: said when the panel closes.
    fixture.settings.ftpOn = true, fixture.settings.ftpOffPic = 1;
    panel.openPanel();
    panel.closePanel();
    ASSERT_EQ(fixture.messages.shown.size(), 1);
    EXPECT_TRUE(fixture.messages.shown[0].contains("deleted")) << fixture.messages.shown[0].toStdString();
    fixture.messages.shown.clear();
    for (const bool picture : {false, true}) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        ASSERT_TRUE(picture ? image.save(chosen) : test::writeFile(chosen, "not a picture"));
        panel.browseOffPicture();
        EXPECT_EQ(test::readFile(dataFolder + "/CamOff.jpg"), picture ? test::readFile(chosen) : QByteArray());
        EXPECT_EQ(panel.offPicture().size(), picture ? QSize(64, 48) : QSize(0, 0));
        EXPECT_EQ(fixture.messages.shown.size(), 1) << "a warning for the broken file only";
    }
    EXPECT_FALSE(panel.findChild<QLabel*>("Image1")->pixmap().isNull());
    panel.closePanel();
    EXPECT_EQ(fixture.messages.shown.size(), 1) << "said with an off picture there";
}

} // namespace
} // namespace oculet
