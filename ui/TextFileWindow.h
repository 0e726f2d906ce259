#pragma once

#include <QPlainTextEdit>

namespace oculet {

// A plain window of ours that shows a text file (Help.txt) when the desktop has no program for
// text files.
class TextFileWindow : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TextFileWindow(QWidget* parent = nullptr);

    // Shows the file's text, or why it cannot be read, under `title`, beside `near` (the main
    // window) on its screen.
    void showFile(const QString& path, const QString& title, const QRect& near);
};

} // namespace oculet
