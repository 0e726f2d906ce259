#pragma once

#include "ui/OptionPanel.h"

#include <QStringList>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace oculet {

// A text list keeps at most five lines. The text in its box is remembered when the panel closes:
// as a new line while there is room, otherwise in place of the chosen line.
void rememberText(QStringList& lines, int chosen, const QString& text);

// The scrolling and fixed text options (`Frame2`): whether and how the scrolling text runs, the
// fixed text, the two text lists and text files, the texts' font and colours.
class TextPanel final : public OptionPanel {
    Q_OBJECT
public:
    TextPanel(PanelContext& context, QWidget* parent);
    void applyTexts(const InterfaceTexts& texts) override;
    void chooseFont();

protected:
    void refresh() override;
    void beforeClosing() override;

private:
    void scrollModeChanged();
    void sizeDropDowns();

    QCheckBox* ckText_;
    QRadioButton* optCont_;
    QRadioButton* optTime_;
    QComboBox* cboScrollText_;
    QCheckBox* ckFile1_;
    QLineEdit* txtFile1_;
    QPushButton* cmdBrowse1_;
    QCheckBox* ckFixedTxt_;
    QComboBox* cboFtxt_;
    QCheckBox* ckFile2_;
    QLineEdit* txtFile2_;
    QPushButton* cmdBrowse2_;
    QCheckBox* ckTransparent_;
    QPushButton* cmdBkCol_;
    QPushButton* cmdFont_;
    QPushButton* cmdColor_;
    QPushButton* cmdClose_;
};

} // namespace oculet
