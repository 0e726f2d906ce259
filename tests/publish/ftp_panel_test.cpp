#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "publish/FtpPanel.h"
#include "publish/FtpPublisher.h"
#include "tests/publish/PublishTestSupport.h"
#include "tests/support/FtpServer.h"
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

using test::FtpServer;
using test::RecordingMessageBoxes;
using test::TestEnvironment;
using test::waitUntil;

const QStringList kFtpControls = {
    QStringLiteral("txtAdd"),  QStringLiteral("lblAdd"),  QStringLiteral("txtUser"),
    QStringLiteral("lblUser"), QStringLiteral("txtPass"), QStringLiteral("lblPass"),
    QStringLiteral("txtDir"),  QStringLiteral("lblDir"),  QStringLiteral("txtFilename"),
    QStringLiteral("lblFileName")};

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        dataFolder = TestEnvironment::makeTempDir(QStringLiteral("panel"));
        frameArea.resize(320, 240);
        panel = new FtpPanel(settings, messages, &frameArea, dataFolder);
    }
    template <class W> W* child(const QString& name) { return panel->findChild<W*>(name); }

    QString dataFolder;
    Settings settings;
    RecordingMessageBoxes messages;
    QWidget frameArea;
    FtpPanel* panel = nullptr;
};

TEST_F(PanelTest, ControlsEditTheSettingsAndWebcamModeGreysTheFtpDetails) {
    bool opened = false;
    QObject::connect(panel, &FtpPanel::opened, [&] { opened = true; });
    settings.ftpOn = true;
    panel->openPanel();
    EXPECT_TRUE(opened);
    EXPECT_EQ(panel->pos(), QPoint(-1, 0));
    EXPECT_EQ(child<QLineEdit>(QStringLiteral("txtPass"))->echoMode(), QLineEdit::Password);
    EXPECT_EQ(child<QPushButton>(QStringLiteral("cmdCloseFtp"))->palette().color(QPalette::Button),
              QColor(162, 195, 255));

    child<QLineEdit>(QStringLiteral("txtAdd"))->setText(QStringLiteral("ftp.example.org:2121"));
    child<QLineEdit>(QStringLiteral("txtDir"))->setText(QStringLiteral("cam"));
    child<QCheckBox>(QStringLiteral("ckCamOff"))->setChecked(false);
    EXPECT_EQ(settings.ftpAddress, QStringLiteral("ftp.example.org:2121"));
    EXPECT_EQ(settings.ftpDir, QStringLiteral("cam"));
    EXPECT_EQ(settings.ftpOffPic, 0);

    child<QRadioButton>(QStringLiteral("optFtp1"))->click();
    EXPECT_FALSE(settings.ftpOn);
    for (const QString& name : kFtpControls) {
        EXPECT_FALSE(child<QWidget>(name)->isEnabled()) << name.toStdString();
    }
    child<QRadioButton>(QStringLiteral("optFtp0"))->click();
    EXPECT_TRUE(settings.ftpOn);
    for (const QString& name : kFtpControls) {
        EXPECT_TRUE(child<QWidget>(name)->isEnabled()) << name.toStdString();
    }
}

TEST_F(PanelTest, OffPictureChoice) {
    const QString camOff = dataFolder + QStringLiteral("/CamOff.jpg");
    panel->setFileChooser([] { return QString(); });
    panel->browseOffPicture();
    EXPECT_FALSE(QFile::exists(camOff));
    EXPECT_TRUE(messages.shown.isEmpty());

    const QString broken = TestEnvironment::makeTempDir(QStringLiteral("pic")) + "/broken.jpg";
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    panel->setFileChooser([broken] { return broken; });
    panel->browseOffPicture();
    EXPECT_FALSE(QFile::exists(camOff));
    EXPECT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(panel->offPicture().isNull());

    const QString good = TestEnvironment::makeTempDir(QStringLiteral("pic")) + "/off.jpg";
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(good, "JPG"));
    panel->setFileChooser([good] { return good; });
    panel->browseOffPicture();
    QFile copy(camOff);
    QFile original(good);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), original.readAll());
    EXPECT_EQ(panel->offPicture().size(), QSize(64, 48));
    EXPECT_FALSE(child<QLabel>(QStringLiteral("Image1"))->pixmap().isNull());
}

// The panel wired to the publisher as the main window does it.
TEST_F(PanelTest, ClosingThePanelConnectsOrWithdraws) {
    FtpServer server;
    ASSERT_TRUE(server.start());
    settings.ftpOn = true;
    settings.ftpAddress = server.address();
    settings.ftpUsername = FtpServer::user();
    settings.ftpPassword = FtpServer::password();
    InterfaceTexts texts;
    FtpPublisherOptions options;
    options.dataFolder = dataFolder;
    FtpPublisher publisher(settings, texts, messages, nullptr, options);
    bool layoutEditing = false;
    QObject::connect(panel, &FtpPanel::opened, [&] { layoutEditing = true; });
    QObject::connect(panel, &FtpPanel::closed, [&] {
        publisher.testFtpConnection();
        layoutEditing = false;
    });

    panel->openPanel();
    EXPECT_TRUE(layoutEditing);
    child<QPushButton>(QStringLiteral("cmdCloseFtp"))->click();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(layoutEditing);
    ASSERT_TRUE(waitUntil([&] { return publisher.canPublish(); }));

    int done = 0;
    publisher.publishFrame(test::testFrame(1), [&] { ++done; });
    ASSERT_TRUE(waitUntil([&] { return done == 1; }));
    ASSERT_TRUE(server.exists(QStringLiteral("cam_1.jpg")));

    bool withdrawn = false;
    QObject::connect(&publisher, &FtpPublisher::withdrawn, [&] { withdrawn = true; });
    panel->openPanel();
    child<QRadioButton>(QStringLiteral("optFtp1"))->click();
    child<QPushButton>(QStringLiteral("cmdCloseFtp"))->click();
    EXPECT_FALSE(publisher.canPublish());
    ASSERT_TRUE(waitUntil([&] { return withdrawn; }));
    EXPECT_FALSE(server.exists(QStringLiteral("cam_1.jpg")));
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace
} // namespace oculet
