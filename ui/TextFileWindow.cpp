#include "ui/TextFileWindow.h"

#include "platform/RegularFile.h"
#include "ui/ScreenPlacement.h"

namespace oculet {

TextFileWindow::TextFileWindow(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("frmHelpText"));
    setWindowFlag(Qt::Window);
    setReadOnly(true);
    resize(560, 420);
}

void TextFileWindow::showFile(const QString& path, const QString& title, const QRect& near) {
    // A help text is small; a larger file is not a help text.
    const FileRead read = readRegularFile(path, 1024 * 1024);
    setPlainText(read.ok() ? QString::fromUtf8(read.bytes)
                           : QStringLiteral("%1 cannot be shown: %2.").arg(path, read.reason()));
    setWindowTitle(title);
    // Beside the main window rather than over it.
    move(placeOnScreen(QRect(near.right() + 1, near.top(), width(), height()), screenAreaOf(near)).topLeft());
    show();
    raise();
    activateWindow();
}

} // namespace oculet
