#include "ui/OptionPanel.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QSignalBlocker>

namespace oculet {

PanelDialogs::FontChoice QtPanelDialogs::chooseFont(const FontSetting& start) {
    QFont initial(start.name, start.size);
    initial.setBold(start.bold);
    initial.setItalic(start.italic);
    initial.setUnderline(start.underline);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, owner_, QStringLiteral("Oculet"));
    if (!ok) {
        return {};
    }
    return {FontSetting{chosen.family(), chosen.bold(), chosen.italic(), roundHalfEven(chosen.pointSizeF()),
                        chosen.underline()},
            0};
}

std::optional<Colour> QtPanelDialogs::chooseColour(Colour start) {
    const QColor chosen = QColorDialog::getColor(toQColor(start), owner_, QStringLiteral("Oculet"));
    return chosen.isValid() ? std::optional<Colour>(toColour(chosen)) : std::nullopt;
}

QString QtPanelDialogs::chooseFolder() {
    return QFileDialog::getExistingDirectory(owner_, QStringLiteral("Oculet"), QString());
}

QString QtPanelDialogs::chooseTextFile() {
    QFileDialog dialog(owner_, QStringLiteral("Oculet"), QString(), QStringLiteral("Text files (*.txt)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setFileMode(QFileDialog::AnyFile);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                 : QString();
}

OptionPanel::OptionPanel(const char* name, int height, PanelContext& context, QWidget* parent)
    : QGroupBox(parent), context_(context) {
    setObjectName(QString::fromLatin1(name));
    setAutoFillBackground(true);
    setGeometry(0, 0, kFrameWidth, height);
    // A little smaller than the desktop's font: the longest captions of every language fit the
    // frame's width.
    QFont compact = font();
    compact.setPixelSize(11);
    setFont(compact);
    hide();
}

void OptionPanel::openPanel(const QString& title) {
    setTitle(title);
    move(place_);
    {
        const QList<QWidget*> controls = findChildren<QWidget*>();
        std::vector<std::unique_ptr<QSignalBlocker>> quiet;
        for (QWidget* control : controls) {
            quiet.push_back(std::make_unique<QSignalBlocker>(control));
        }
        refresh();
    }
    show();
    raise();
}

void OptionPanel::closePanel() {
    beforeClosing();
    hide();
    emit closed();
}

int tickValue(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }

} // namespace oculet
