#include "publish/FtpPanel.h"
#include "settings/Settings.h"
#include "tests/publish/PublishTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace oculet {
namespace {

class PanelTest : public ::testing::Test {
protected:
    template <class W = QWidget> W* child(const char* name) { return panel.findChild<W*>(name); }
    QString dataFolder = test::TestEnvironment::makeTempDir("panel");
    Settings settings;
    test::RecordingMessageBoxes messages;
    FtpPanel panel{settings, messages, nullptr, dataFolder};
};

TEST_F(PanelTest, ControlsShowAndEditTheSettingsAndWebcamModeGreysTheFtpDetails) {
    const std::pair<const char*, QString Settings::*> boxes[] = {
        {"txtAdd", &Settings::ftpAddress}, {"txtUser", &Settings::ftpUsername}, {"txtPass", &Settings::ftpPassword},
        {"txtDir", &Settings::ftpDir}, {"txtFilename", &Settings::ftpFilename}};
    for (const auto& [box, field] : boxes) {
        settings.*field = box;
    }
    settings.ftpOn = true;
    QStringList signalled;
    QObject::connect(&panel, &FtpPanel::opened, [&] { signalled << "opened"; });
    QObject::connect(&panel, &FtpPanel::closed, [&] { signalled << "closed"; });
    panel.openPanel();
    EXPECT_EQ(signalled, QStringList{"opened"});
    EXPECT_EQ(panel.pos(), QPoint(-1, 0));
    EXPECT_EQ(child<QLineEdit>("txtPass")->echoMode(), QLineEdit::Password);
    for (const auto& [box, field] : boxes) {
        EXPECT_EQ(child<QLineEdit>(box)->text(), box);
        child<QLineEdit>(box)->setText(QString(box) + "!");
        EXPECT_EQ(settings.*field, QString(box) + "!");
    }
    child<QCheckBox>("ckCamOff")->setChecked(false);
    EXPECT_EQ(settings.ftpOffPic, 0);
    for (const bool ftp : {false, true}) {
        child<QRadioButton>(ftp ? "optFtp0" : "optFtp1")->click();
        EXPECT_EQ(settings.ftpOn, ftp);
        for (const char* name : {"txtAdd", "lblAdd", "txtUser", "lblUser", "txtPass", "lblPass", "txtDir", "lblDir",
                                 "txtFilename", "lblFileName"}) {
            EXPECT_EQ(child(name)->isEnabled(), ftp) << name;
        }
    }
    child<QPushButton>("cmdCloseFtp")->click();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(signalled, QStringList({"opened", "closed"}));
}

TEST_F(PanelTest, OffPictureIsCopiedWholeOnlyWhenItIsAPicture) {
    const QString camOff = dataFolder + "/CamOff.jpg", folder = test::TestEnvironment::makeTempDir("pic");
    ASSERT_TRUE(test::writeFile(folder + "/broken.jpg", "not a picture"));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(folder + "/off.jpg"));
    for (const QString& chosen : {QString(), folder + "/broken.jpg"}) {
        panel.setFileChooser([chosen] { return chosen; });
        panel.browseOffPicture();
        EXPECT_FALSE(QFile::exists(camOff));
        EXPECT_TRUE(panel.offPicture().isNull());
    }
    EXPECT_EQ(messages.shown.size(), 1); // for the broken file only

    panel.setFileChooser([&] { return folder + "/off.jpg"; });
    panel.browseOffPicture();
    EXPECT_EQ(test::bytesOf(camOff), test::bytesOf(folder + "/off.jpg"));
    EXPECT_EQ(panel.offPicture().size(), QSize(64, 48));
    EXPECT_FALSE(child<QLabel>("Image1")->pixmap().isNull());
    // A panel made later shows the stored picture.
    FtpPanel later(settings, messages, nullptr, dataFolder);
    EXPECT_EQ(later.offPicture().size(), QSize(64, 48));
}

} // namespace
} // namespace oculet
