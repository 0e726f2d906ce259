#include "source/RegionEditor.h"

#include "platform/Messages.h"
#include "source/FrameCommand.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>

#include <algorithm>

namespace oculet {
namespace {

constexpr int kTwips = 15;

struct TargetLook {
    const char* colour;     // the frame colour passed to the frame program
    Text caption;           // the options menu item that opens it
    Text checkCaption;      // ignored for the capture rectangle, which has no check box
};

// Indexed by RegionTarget - 1.
constexpr std::array<TargetLook, 5> kTargets = {{
    {" :&HFFFFFF:", Text::CaptureArea, Text::Close},
    {" :&H8080FF:", Text::ProgressArea, Text::EditorProgressOn},
    {" :&H80FFFF:", Text::SignalMeterArea, Text::EditorSignalMeterOn},
    {" :&HFFFF80:", Text::Aux1Area, Text::EditorAux1On},
    {" :&H80FF80:", Text::Aux2Area, Text::EditorAux2On},
}};

const TargetLook& lookOf(RegionTarget target) { return kTargets[static_cast<std::size_t>(target) - 1]; }

// The source rectangles of the copied boxes, by target.
struct SourceRect {
    PerProgram<int> Settings::*left;
    PerProgram<int> Settings::*top;
    PerProgram<int> Settings::*width;
    PerProgram<int> Settings::*height;
    PerProgram<bool> Settings::*on;
};
SourceRect sourceOf(RegionTarget target) {
    switch (target) {
    case RegionTarget::SignalMeter:
        return {&Settings::smLeft, &Settings::smTop, &Settings::smWidth, &Settings::smHeight, &Settings::smOn};
    case RegionTarget::Aux1:
        return {&Settings::aux1Left, &Settings::aux1Top, &Settings::aux1Width, &Settings::aux1Height,
                &Settings::aux1On};
    default:
        return {&Settings::aux2Left, &Settings::aux2Top, &Settings::aux2Width, &Settings::aux2Height,
                &Settings::aux2On};
    }
}

bool isCopiedBox(RegionTarget t) { return t >= RegionTarget::SignalMeter; }

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

ProcessFrameProgram::ProcessFrameProgram(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {}

qint64 ProcessFrameProgram::start(const QString& text, QString* error) {
    auto* process = new QProcess(this);
    process->setProgram(path_);
    process->setArguments({text});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    if (!process->waitForStarted(3000)) {
        *error = process->errorString();
        delete process;
        return 0;
    }
    // Ends with its window; a frame program still running when Oculet ends is ended with it.
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    connect(process, &QObject::destroyed, this, [this, process] {
        if (running_ == process) {
            running_ = nullptr;
        }
    });
    running_ = process;
    return process->processId();
}

void ProcessFrameProgram::stop() {
    if (running_ != nullptr) {
        running_->kill();
    }
}

RegionEditor::RegionEditor(Settings& settings, Desktop& desktop, const SourceWindow& source, Messages& messages,
                           const InterfaceTexts& texts, FrameProgram& program)
    : QWidget(nullptr, Qt::Window), settings_(settings), desktop_(desktop), source_(source), messages_(messages),
      texts_(texts), program_(program) {
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
        headings_[i] = new QLabel(texts.operator[](headingTexts[i]), this);
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
    check_->setGeometry(twips(300, 1600, 3900, 300));
    connect(check_, &QCheckBox::clicked, this, &RegionEditor::checkClicked);
    close_ = new QPushButton(texts[Text::Close], this);
    close_->setObjectName(QStringLiteral("cmdClose"));
    close_->setGeometry(twips(4125, 1600, 1000, 400));
    QPalette face = close_->palette();
    face.setColor(QPalette::Button, QColor(162, 195, 255));
    close_->setPalette(face);
    connect(close_, &QPushButton::clicked, this, &RegionEditor::closeEditor);
}

QRect RegionEditor::storedRect() const {
    const Settings& s = settings_;
    const WindowEdges& source = source_.edges();
    switch (target_) {
    case RegionTarget::Capture:
        return {s.current(s.captureLeft), s.current(s.captureTop), s.current(s.captureWidth),
                s.current(s.captureHeight)};
    case RegionTarget::ProgressStrip:
        return {source.left + s.barX, source.bottom - s.barY, s.barWt, s.barHt};
    default: {
        const SourceRect r = sourceOf(target_);
        return {s.current(s.*r.left), s.current(s.*r.top), s.current(s.*r.width), s.current(s.*r.height)};
    }
    }
}

void RegionEditor::open(RegionTarget target, const QRect& mainWindow, const QString& programCaption) {
    if (target_ != RegionTarget::None || target == RegionTarget::None) {
        return; // one editor at a time
    }
    target_ = target;
    frame_ = 0;
    held_ = 0;
    started_ = false;
    loading_ = true;
    setGeometry(mainWindow.left(), mainWindow.bottom() + 1, mainWindow.width() + 600 / kTwips, 2500 / kTwips);
    help_->setGeometry(twips(100, 100, width() * kTwips, 700));
    help_->setText(QStringLiteral("  ") + texts_[Text::EditorHelp] + u'\n' + texts_[Text::EditorHelpMore]);

    const TargetLook& look = lookOf(target);
    QString caption = texts_[look.caption];
    if (target == RegionTarget::Capture && settings_.program == ScreenCapture) {
        caption = texts_[Text::ScreenRegionArea];
    } else if (target <= RegionTarget::ProgressStrip) {
        caption.replace(QStringLiteral("EasyPal"), programCaption);
    }
    setWindowTitle(caption);
    const QString area = texts_[Text::EditorArea];
    const QString title = target <= RegionTarget::ProgressStrip ? programCaption + u' ' + area
                          : target == RegionTarget::SignalMeter ? texts_[Text::EditorSignalMeter] + u' ' + area
                          : target == RegionTarget::Aux1        ? QStringLiteral("Aux1 ") + area
                                                                : QStringLiteral("Aux2 ") + area;
    check_->setVisible(target != RegionTarget::Capture);
    check_->setText(texts_[look.checkCaption]);
    check_->setChecked(target == RegionTarget::ProgressStrip ? settings_.epProgress == 1
                       : isCopiedBox(target)                 ? settings_.current(settings_.*sourceOf(target).on)
                                                             : false);
    show();

    QString error;
    const qint64 pid = program_.start(frameCommandText(title, QString::fromLatin1(look.colour), texts_[Text::Close]),
                                      &error);
    if (pid == 0) {
        // Nothing to poll: the editor stays, inert, until it is closed.
        messages_.warn(QStringLiteral("Error"), QStringLiteral("Error Shelling file.\n") + error);
        return;
    }
    started_ = true;
    sinceStart_.start();
    frame_ = desktop_.findWindowOfProcess(pid);
    pid_ = pid;
    placeFrame();
    loading_ = false;
    pollTimer_.start();
}

void RegionEditor::placeFrame() {
    if (frame_ != 0) {
        desktop_.placeWindowOnTop(frame_, storedRect());
        const QRect placed = storedRect();
        value_ = {placed.x(), placed.y(), placed.width(), placed.height()};
    }
}

void RegionEditor::poll() {
    if (target_ == RegionTarget::None || !started_) {
        return;
    }
    if (frame_ == 0) {
        // A program starts its window a little after its process; it has a few seconds.
        frame_ = desktop_.findWindowOfProcess(pid_);
        if (frame_ == 0) {
            if (sinceStart_.elapsed() >= kWindowWait_ms) {
                program_.stop();
                closeEditor();
                messages_.warn(QStringLiteral("The frame program started but showed no window; the "
                                                "capture-region editor was closed."));
            }
            return;
        }
        placeFrame();
    }
    const std::optional<QRect> placement = desktop_.windowRect(frame_);
    if (!placement || (placement->left() == 0 && placement->width() == 0)) {
        closeEditor(); // the frame window was closed
        return;
    }
    const QRect p = *placement;
    const int shown[] = {p.left(), p.top(), p.width(), p.height()};
    for (int i = 0; i < 4; ++i) {
        values_[i]->setText(QString::number(shown[i]));
    }
    const QRect screen = desktop_.virtualScreen();
    int x = p.left();
    int y = p.top();
    x = std::min(std::max(x, 0), screen.width() - p.width());
    y = std::min(std::max(y, 0), screen.height() - p.height());
    value_ = {x, y, p.width(), p.height()};
    store(p, QRect(x, y, p.width(), p.height()));
    emit polled();
}

void RegionEditor::store(const QRect& placement, const QRect& clamped) {
    Settings& s = settings_;
    const WindowEdges& source = source_.edges();
    switch (target_) {
    case RegionTarget::Capture:
        // The capture keeps the frame's own place, off-screen parts and all.
        s.current(s.captureLeft) = placement.left();
        s.current(s.captureTop) = placement.top();
        s.current(s.captureWidth) = clamped.width();
        s.current(s.captureHeight) = clamped.height();
        s.current(s.captureOffX) = static_cast<std::int16_t>(placement.left() - source.left);
        s.current(s.captureOffY) = static_cast<std::int16_t>(placement.top() - source.top);
        break;
    case RegionTarget::ProgressStrip:
        s.barX = clamped.left() - source.left;
        s.barY = source.bottom - clamped.top();
        s.barWt = clamped.width();
        s.barHt = clamped.height();
        break;
    default: {
        const SourceRect r = sourceOf(target_);
        s.current(s.*r.left) = clamped.left();
        s.current(s.*r.top) = clamped.top();
        s.current(s.*r.width) = clamped.width();
        s.current(s.*r.height) = clamped.height();
        break;
    }
    }
}

void RegionEditor::nudge(int code, int step) {
    const int index = (code - 1) / 2;
    value_[index] += code % 2 == 1 ? step : -step;
    if (!loading_ && frame_ != 0) {
        desktop_.placeWindowOnTop(frame_, QRect(value_[0], value_[1], value_[2], value_[3]));
    }
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

void RegionEditor::checkClicked(bool on) {
    Settings& s = settings_;
    if (target_ == RegionTarget::ProgressStrip) {
        s.epProgress = on ? 1 : 0;
    } else if (isCopiedBox(target_)) {
        s.current(s.*sourceOf(target_).on) = on;
    }
}

void RegionEditor::closeEditor() {
    if (target_ == RegionTarget::None) {
        return;
    }
    pollTimer_.stop();
    repeatTimer_.stop();
    held_ = 0;
    if (frame_ != 0) {
        desktop_.askToClose(frame_);
    }
    frame_ = 0;
    started_ = false;
    target_ = RegionTarget::None;
    hide();
    emit closed();
}

void RegionEditor::closeEvent(QCloseEvent* event) {
    // The window manager's close button is the same as `cmdClose`.
    event->ignore();
    closeEditor();
}

} // namespace oculet
