#pragma once

#include "ui/OptionPanel.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace oculet {

// The last received picture's options (`Frame3`): shown or not, which folder the picture comes
// from, and the border colour. The folder typed here is taken when the panel closes.
class LastRxPanel final : public OptionPanel {
    Q_OBJECT
public:
    LastRxPanel(PanelContext& context, QWidget* parent);
    void applyTexts(const InterfaceTexts& texts) override;

protected:
    void refresh() override;
    void beforeClosing() override;

private:
    QCheckBox* ckLastRx_;
    QLineEdit* txtLastRx_;
    QPushButton* cmdBrowse_;
    QRadioButton* optFolder0_;
    QRadioButton* optFolder1_;
    QPushButton* cmdBorder_;
    QPushButton* cmdLastRx_;
    const InterfaceTexts* texts_ = nullptr;
};

} // namespace oculet
