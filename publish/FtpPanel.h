#pragma once

#include <QFrame>
#include <QImage>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace oculet {

struct Settings;
class InterfaceTexts;
class MessageBoxes;

// The publishing panel (frmFtp): publishing mode, FTP details and the off picture. Its controls
// edit the settings model directly; what the choices mean is decided elsewhere. The main window
// wires opened() to setting the layout-editing flag and closed() to the connection test
// (FtpPublisher::testFtpConnection) and clearing the flag.
//
// Object names are the control names: optFtp0, optFtp1, lblAdd, txtAdd, lblUser, txtUser,
// lblPass, txtPass, lblDir, txtDir, lblFileName, txtFilename, ckCamOff, cmdFtpBrowse, Image1,
// cmdCloseFtp.
class FtpPanel : public QFrame {
    Q_OBJECT
public:
    // `dataFolder` empty means Paths::dataFolder(). Loads CamOff.jpg into the preview when present.
    FtpPanel(Settings& settings, MessageBoxes& messages, QWidget* parent = nullptr,
             QString dataFolder = {});

    // Replaces the file dialog (tests); it returns the chosen path, or empty when cancelled.
    void setFileChooser(std::function<QString()> chooser) { chooser_ = std::move(chooser); }

    // Shows the panel at (-1, 0) with the current settings; emits opened().
    void openPanel();
    // What cmdCloseFtp does: hides the panel and emits closed().
    void closePanel();
    // What cmdFtpBrowse does: asks for a picture and takes it as the off picture.
    void browseOffPicture();
    // Takes the picture at `path` as the off picture: copied whole to CamOff.jpg in the data
    // folder and shown in the preview. A picture that cannot be read or copied is reported and
    // changes nothing. Returns whether it was taken.
    bool takeOffPicture(const QString& path);

    // Gives a group of controls a page of its own in the panel, opened by a button named by the
    // group's window title.
    void addGroup(QWidget* group);

    // The off picture (Image1), null when there is none.
    QImage offPicture() const { return offPicture_; }
    // Puts the interface texts into the captions.
    void applyTexts(const InterfaceTexts& texts);
    // Puts the settings into the controls (called by openPanel()).
    void refreshFromSettings();

    // An SFTP server whose host key ~/.ssh/known_hosts does not know: offers the user to trust
    // it. An empty fingerprint takes the offer back.
    void offerHostKey(const QString& fingerprint);

signals:
    void opened();
    void closed();
    void hostKeyAccepted(const QString& fingerprint);

private:
    void setFtpMode(bool ftpOn);
    void showOffPicture();

    Settings& settings_;
    MessageBoxes& messages_;
    QString dataFolder_;
    std::function<QString()> chooser_;
    QImage offPicture_;

    QRadioButton* optFtp0_ = nullptr;
    QRadioButton* optFtp1_ = nullptr;
    QLabel* lblAdd_ = nullptr;
    QLineEdit* txtAdd_ = nullptr;
    QLabel* lblUser_ = nullptr;
    QLineEdit* txtUser_ = nullptr;
    QLabel* lblPass_ = nullptr;
    QLineEdit* txtPass_ = nullptr;
    QLabel* lblDir_ = nullptr;
    QLineEdit* txtDir_ = nullptr;
    QLabel* lblFileName_ = nullptr;
    QLineEdit* txtFilename_ = nullptr;
    QCheckBox* ckCamOff_ = nullptr;
    QPushButton* cmdFtpBrowse_ = nullptr;
    QLabel* image1_ = nullptr;
    QPushButton* cmdCloseFtp_ = nullptr;
    QPushButton* cmdTrustKey_ = nullptr;
    QString offeredHostKey_;
};

} // namespace oculet
