#include "ui/OptionPanel.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QKeyEvent>
#include <QSignalBlocker>

namespace oculet {

PanelDialogs::FontChoice QtPanelDialogs::chooseFont(const FontSetting& start, const QString& title) {
    QFont initial(start.name, start.size);
    initial.setBold(start.bold);
    initial.setItalic(start.italic);
    initial.setUnderline(start.underline);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, owner_, title);
    if (!ok) {
        return {};
    }
    return {FontSetting{chosen.family(), chosen.bold(), chosen.italic(), roundHalfEven(chosen.pointSizeF()),
                        chosen.underline()},
            0};
}

std::optional<Colour> QtPanelDialogs::chooseColour(Colour start, const QString& title) {
    const QColor chosen = QColorDialog::getColor(toQColor(start), owner_, title);
    return chosen.isValid() ? std::optional<Colour>(toColour(chosen)) : std::nullopt;
}

QString QtPanelDialogs::chooseFolder(const QString& title) {
    return QFileDialog::getExistingDirectory(owner_, title, QString());
}

QString QtPanelDialogs::chooseTextFile(const QString& title) {
    QFileDialog dialog(owner_, title, QString(), QStringLiteral("Text files (*.txt)"));
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
    // Takes the keys, so Escape reaches it.
    setFocus();
}

void OptionPanel::keyPressEvent(QKeyEvent* event) {
    // Escape does what the close button does (a control that has a use for it keeps it).
    if (event->key() == Qt::Key_Escape) {
        closePanel();
        return;
    }
    QGroupBox::keyPressEvent(event);
}

void OptionPanel::closePanel() {
    beforeClosing();
    hide();
    emit closed();
}

int tickValue(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }

} // namespace oculet
