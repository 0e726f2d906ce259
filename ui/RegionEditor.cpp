#include "ui/RegionEditor.h"

#include "ui/ScreenPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace oculet {
namespace {

constexpr int kTwips = static_cast<int>(kTwipsPerPixel);

QIcon triangle(bool up) {
    QPixmap picture(9, 5);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 255));
    const QPolygon shape = up ? QPolygon({QPoint(0, 5), QPoint(9, 5), QPoint(4, 0)})
                              : QPolygon({QPoint(0, 0), QPoint(9, 0), QPoint(4, 5)});
    painter.drawPolygon(shape);
    return QIcon(picture);
}

QRect twips(int left, int top, int width, int height) {
    return QRect(left / kTwips, top / kTwips, width / kTwips, height / kTwips);
}

} // namespace

RegionEditor::RegionEditor(Settings& settings, Desktop& desktop, const SourceWindow& source, Messages& messages,
                           const InterfaceTexts& texts, FrameProgram& program)
    : QWidget(nullptr, Qt::Window), texts_(texts), edit_(settings, desktop, source, messages, texts, program) {
    setObjectName(QStringLiteral("frmCap"));
    pollTimer_.setInterval(100);
    repeatTimer_.setInterval(500);
    connect(&pollTimer_, &QTimer::timeout, this, &RegionEditor::poll);
    connect(&repeatTimer_, &QTimer::timeout, this, &RegionEditor::repeat);

    help_ = new QLabel(this);
    help_->setObjectName(QStringLiteral("Label2"));
    const char* headingNames[] = {"lblLeft", "lblTop", "lblWidth", "lblHeight"};
    const char* valueNames[] = {"lblX", "lblY", "lblWt", "lblHt"};
    const char* nudgeNames[] = {"cmdXup", "cmdXdn", "cmdYup", "cmdYdn", "cmdWup", "cmdWdn", "cmdHup", "cmdHdn"};
    const int lefts[] = {200, 1500, 2800, 4100};
    const int headingWidths[] = {900, 900, 800, 800};
    const Text headingTexts[] = {Text::EditorLeft, Text::EditorTop, Text::EditorWidth, Text::EditorHeight};
    for (int i = 0; i < 4; ++i) {
        headings_[i] = new QLabel(texts[headingTexts[i]], this);
        headings_[i]->setObjectName(QString::fromLatin1(headingNames[i]));
        headings_[i]->setGeometry(twips(lefts[i], 750, headingWidths[i], 300));
        values_[i] = new QLabel(this);
        values_[i]->setObjectName(QString::fromLatin1(valueNames[i]));
        values_[i]->setGeometry(twips(lefts[i], 1050, 800, 400));
        for (int down = 0; down < 2; ++down) {
            const int code = 2 * i + down + 1;
            auto* button = new QPushButton(this);
            button->setObjectName(QString::fromLatin1(nudgeNames[code - 1]));
            button->setIcon(triangle(down == 0));
            button->setGeometry(twips(lefts[i] + 800, 1050 + 200 * down, 300, 200));
            button->setFocusPolicy(Qt::NoFocus);
            connect(button, &QPushButton::pressed, this, [this, code] { nudgePressed(code); });
            connect(button, &QPushButton::released, this, &RegionEditor::nudgeReleased);
            nudges_[code - 1] = button;
        }
    }
    check_ = new QCheckBox(this);
    check_->setObjectName(QStringLiteral("ckBox"));
    // Ends short of the close button beside it, which begins at 4125.
    check_->setGeometry(twips(300, 1600, 3800, 300));
    connect(check_, &QCheckBox::clicked, this, [this](bool on) { edit_.setSwitch(on); });
    close_ = new QPushButton(texts[Text::Close], this);
    close_->setObjectName(QStringLiteral("cmdClose"));
    close_->setGeometry(twips(4125, 1600, 1000, 400));
    QPalette face = close_->palette();
    face.setColor(QPalette::Button, QColor(162, 195, 255));
    close_->setPalette(face);
    connect(close_, &QPushButton::clicked, this, &RegionEditor::closeEditor);
}

void RegionEditor::open(RegionTarget target, const QRect& mainWindow, const QString& programCaption) {
    if (edit_.target() != RegionTarget::None || target == RegionTarget::None) {
        return; // one editor at a time
    }
    held_ = 0;
    // The texts are set at every opening: the language may have changed since the last.
    help_->setText(QStringLiteral("  ") + texts_[Text::EditorHelp] + u'\n' + texts_[Text::EditorHelpMore]);
    const Text headingTexts[] = {Text::EditorLeft, Text::EditorTop, Text::EditorWidth, Text::EditorHeight};
    for (int i = 0; i < 4; ++i) {
        headings_[i]->setText(texts_[headingTexts[i]]);
    }
    close_->setText(texts_[Text::Close]);
    // As wide as the main window and a little more, or as its longest help line needs.
    int helpWidth = 0;
    for (const QString& line : help_->text().split(u'\n')) {
        helpWidth = std::max(helpWidth, help_->fontMetrics().horizontalAdvance(line));
    }
    const int editorWidth = std::max(mainWindow.width() + 600 / kTwips, helpWidth + 200 / kTwips + 4);
    setGeometry(placeOnScreen(QRect(mainWindow.left(), mainWindow.bottom() + 1, editorWidth, 2500 / kTwips),
                              screenAreaOf(mainWindow)));
    // Ends where the headings begin (750).
    help_->setGeometry(100 / kTwips, 100 / kTwips, width() - 200 / kTwips, 650 / kTwips);
    setWindowTitle(edit_.windowCaption(target, programCaption));
    check_->setVisible(RegionEdit::hasSwitch(target));
    check_->setText(edit_.switchCaption(target));
    check_->setChecked(edit_.switchOn(target));
    show();
    edit_.begin(target, programCaption);
    pollTimer_.start();
}

void RegionEditor::poll() {
    switch (edit_.poll()) {
    case RegionEdit::Poll::Idle: return;
    case RegionEdit::Poll::Closed: closeEditor(); return;
    case RegionEdit::Poll::Read: break;
    }
    const QRect p = edit_.placement();
    const int shown[] = {p.left(), p.top(), p.width(), p.height()};
    for (int i = 0; i < 4; ++i) {
        values_[i]->setText(QString::number(shown[i]));
    }
    emit polled();
}

void RegionEditor::nudge(int code, int step) {
    edit_.nudge(code, step);
    close_->setFocus();
}

void RegionEditor::nudgePressed(int code) {
    held_ = code;
    nudge(code, 1);
    repeatTimer_.start();
}

void RegionEditor::nudgeReleased() {
    held_ = 0;
    repeatTimer_.stop();
}

void RegionEditor::repeat() {
    if (held_ == 0) {
        repeatTimer_.stop();
        return;
    }
    nudge(held_, 15);
}

void RegionEditor::closeEditor() {
    if (edit_.target() == RegionTarget::None) {
        return;
    }
    pollTimer_.stop();
    repeatTimer_.stop();
    held_ = 0;
    edit_.end();
    hide();
    emit closed();
}

void RegionEditor::closeEvent(QCloseEvent* event) {
    // The window manager's close button is the same as `cmdClose`.
    event->ignore();
    closeEditor();
}

} // namespace oculet
