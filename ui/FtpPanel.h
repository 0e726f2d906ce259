#pragma once

#include "platform/Autostart.h"
#include "ui/OptionPanel.h"

#include <QImage>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QHBoxLayout;

namespace oculet {

// The publishing panel (frmFtp): publishing mode, FTP details and the off picture. Its controls
// edit the settings model directly; what the choices mean is decided elsewhere. Publishing is
// paused while it is open; its closing starts the connection test with the details as they are.
//
// Object names are the control names: optFtp0, optFtp1, lblAdd, txtAdd, lblUser, txtUser,
// lblPass, txtPass, lblDir, txtDir, lblFileName, txtFilename, ckCamOff, cmdFtpBrowse, Image1,
// cmdCloseFtp; ckAutostart shows and switches whether the session starts Oculet; txtInterval
// (with lblInterval) is the least time between uploads.
class FtpPanel : public OptionPanel {
    Q_OBJECT
public:
    // `dataFolder` empty means Paths::dataFolder(). Loads CamOff.jpg into the preview when present.
    FtpPanel(PanelContext& context, QWidget* parent = nullptr, QString dataFolder = {});

    // Replaces the file dialog (tests); it returns the chosen path, or empty when cancelled.
    void setFileChooser(std::function<QString()> chooser) { chooser_ = std::move(chooser); }
    // Replaces this user's autostart entry (tests).
    void setAutostart(Autostart autostart) { autostart_ = std::move(autostart); }

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
    void applyTexts(const InterfaceTexts& texts) override;

    // An SFTP server whose host key ~/.ssh/known_hosts does not know: offers the user to trust
    // it. An empty fingerprint takes the offer back.
    void offerHostKey(const QString& fingerprint);

signals:
    void hostKeyAccepted(const QString& fingerprint);

protected:
    void refresh() override;
    // Ticked to leave the off picture on the server, but none chosen: the user is told that the
    // picture is withdrawn instead.
    void beforeClosing() override;

private:
    void setFtpMode(bool ftpOn);
    void showOffPicture();

    Settings& settings_;
    Messages& messages_;
    QString dataFolder_;
    std::function<QString()> chooser_;
    Autostart autostart_ = Autostart::forThisProgram();
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
    QCheckBox* ckAutostart_ = nullptr;
    QLabel* lblInterval_ = nullptr;
    QHBoxLayout* buttonRow_ = nullptr; // Browse, Close, and any group page's button before Close
    QSpinBox* spinInterval_ = nullptr;
    QPushButton* cmdFtpBrowse_ = nullptr;
    QLabel* image1_ = nullptr;
    QPushButton* cmdCloseFtp_ = nullptr;
    QPushButton* cmdTrustKey_ = nullptr;
    QString offeredHostKey_;
    InterfaceTexts texts_; // for the trust button's tip, offered at any time
};

} // namespace oculet
