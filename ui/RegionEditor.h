#pragma once

// The capture-region editor's window (`frmCap`): the numbers of the frame window's rectangle, the
// eight nudge buttons, the target's switch and the close button, below the main window. What is
// stored and where, and what the frame program is told, is decided by RegionEdit (source/); the
// window polls it every 100 ms and repeats a held nudge every 500 ms. Closing the editor closes
// the frame window.

#include "source/RegionEdit.h"

#include <QTimer>
#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QPushButton;

namespace oculet {

class RegionEditor : public QWidget {
    Q_OBJECT
public:
    RegionEditor(Settings& settings, Desktop& desktop, const SourceWindow& source, Messages& messages,
                 const InterfaceTexts& texts, FrameProgram& program);

    // Opens the editor for a target below the main window (its outer frame, screen pixels);
    // `programCaption` is the source program's name on the menu bar.
    void open(RegionTarget target, const QRect& mainWindow, const QString& programCaption);
    // `cmdClose`: closes the frame window and the editor. Nothing when it is closed.
    void closeEditor();
    RegionTarget target() const { return edit_.target(); }

    // One poll: the frame window's rectangle into the shown numbers and the live settings.
    void poll();

signals:
    // The editor closed: the main window takes input again and publishing may resume.
    void closed();
    // A poll wrote the rectangle into the settings.
    void polled();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void nudgePressed(int code);
    void nudgeReleased();
    void repeat();
    void nudge(int code, int step);

    const InterfaceTexts& texts_;
    RegionEdit edit_;
    int held_ = 0; // the nudge button held down, 0 for none

    QTimer pollTimer_;   // `Timer1`
    QTimer repeatTimer_; // `Timer2`
    QLabel* help_;
    std::array<QLabel*, 4> headings_{};
    std::array<QLabel*, 4> values_{};
    std::array<QPushButton*, 8> nudges_{};
    QCheckBox* check_;
    QPushButton* close_;
};

} // namespace oculet
