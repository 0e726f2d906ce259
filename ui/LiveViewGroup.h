#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace oculet {

struct Settings;
class InterfaceTexts;
class LiveView;

// The "Live view" group of the publishing panel: turns the live view on, sets its port, whether
// other computers may reach it and its password, and shows the page's address as a link (opened
// with the desktop's browser) or says why the server is not running. Its controls edit the
// settings model; each change is applied to the live view at once.
class LiveViewGroup : public QGroupBox {
    Q_OBJECT
public:
    LiveViewGroup(Settings& settings, LiveView& liveView, const InterfaceTexts& texts, QWidget* parent = nullptr);

    void applyTexts();

signals:
    // The line the status mark's tool tip shows about the viewers; empty while nothing is served.
    void viewersLineChanged(const QString& line);

public:
    // Puts the settings into the controls.
    void refreshFromSettings();
    // Applies the settings to the live view and shows the outcome.
    void applySettings();

private:
    void showState();

    Settings& settings_;
    LiveView& liveView_;
    const InterfaceTexts& texts_;
    QCheckBox* ckOn_;
    QLabel* lblPort_;
    QSpinBox* port_;
    QCheckBox* ckLan_;
    QLabel* lblPassword_;
    QLineEdit* password_;
    QLabel* address_;
    bool refreshing_ = false;
};

} // namespace oculet
