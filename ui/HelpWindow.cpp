#include "ui/HelpWindow.h"

#include "settings/Units.h"

#include "ui/ScreenPlacement.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QWheelEvent>

#include <algorithm>

namespace oculet {
namespace {

// Design sizes in twips.
constexpr int kClientWidth = 10095;
constexpr int kClientHeight = 7080;
// As tall as the content (the last picture ends at 32725) and within the scroll bar's 16-bit range.
constexpr int kPanelHeight = 32760;

int px(int twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }

struct Step {
    const char* picture;
    int top;         // twips
    int labelHeight; // twips
    const char* text;
};

const std::array<Step, 5> kSteps = {{
    {"help1", 450, 1500, "1: With Oculet running, click on video camera icon in top right corner of WebCam7."},
    {"help2", 2800, 3700,
     "2: Click on 'Local image' button.\n\n3: Click in the window area above buttons. This brings up a 'Browse "
     "for file' window. Find the Oculet folder and click on Cam_1.bmp then click 'Open'."},
    {"help3", 10600, 3700, "Part of EasyPal should appear.\n\n4: Double click on the EasyPal area of the window."},
    {"help4", 18500, 3700, "Be sure the File tab is selected.\n\n5: Fill in the boxes as shown. Then click 'Ok'."},
    {"help5", 25600, 3700,
     "6: Click 'Save as'.\n\n7: Type 'Oculet' in the box, then click the 'Ok' button to the right of the box. Then "
     "click 'Ok' at the bottom of the window. To use WebCam7 with another program such as ManyCam, open this "
     "window and click on 'Clear' to remove the Oculet overlay. To use Oculet again open this window and click "
     "the arrow on the text box at the top and click on Oculet. This will put the Oculet overlay back again."},
}};

QPixmap picture(const char* name) {
    QSvgRenderer renderer(QStringLiteral(":/help/%1.svg").arg(QLatin1String(name)));
    QPixmap pixmap(renderer.defaultSize());
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

} // namespace

bool HelpScroll::wheel(int rotation) {
    const int next = value_ + (rotation == -120 ? 100 : -100);
    if (next < 0 || next > maximum()) {
        return false;
    }
    value_ = next;
    return true;
}

int HelpScroll::panelTop() const { return std::min(std::max(-value_, visibleHeight_ - panelHeight_), 0); }

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), scroll_(kPanelHeight, kClientHeight) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Oculet"));
    setFixedSize(px(kClientWidth), px(kClientHeight));

    auto* frame = new QGroupBox(QStringLiteral(" Set up Webcam 7/XP "), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(0, 0, px(kClientWidth), px(kPanelHeight));
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
    frame->setPalette(pal);
    frame->setAutoFillBackground(true);
    frame1_ = frame;

    int k = 1;
    for (const Step& step : kSteps) {
        auto* image = new QLabel(frame);
        image->setObjectName(QStringLiteral("Image%1").arg(k));
        image->setPixmap(picture(step.picture));
        image->setGeometry(px(300), px(step.top), image->pixmap().width(), image->pixmap().height());
        auto* label = new QLabel(QString::fromLatin1(step.text), frame);
        label->setObjectName(QStringLiteral("Label%1").arg(k));
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(image->width() + px(450), px(step.top), px(3500), px(step.labelHeight));
        ++k;
    }

    vScroll1_ = new QScrollBar(Qt::Vertical, this);
    vScroll1_->setObjectName(QStringLiteral("VScroll1"));
    vScroll1_->setGeometry(px(9840), 0, px(255), px(7095));
    vScroll1_->setRange(0, scroll_.maximum());
    vScroll1_->setSingleStep(100);
    vScroll1_->setPageStep(kClientHeight);
    connect(vScroll1_, &QScrollBar::valueChanged, this, &HelpWindow::scrolled);
}

void HelpWindow::placeOver(const QWidget& mainWindow) {
    const QRect main = mainWindow.frameGeometry();
    // Before it is first shown this window has no frame yet: it will get one like the main window's.
    const int frameWidth = width() + (main.width() - mainWindow.width());
    const int frameHeight = height() + (main.height() - mainWindow.height());
    const QRect wanted(main.left() + main.width() / 2 - frameWidth / 2, main.top(), frameWidth, frameHeight);
    // Beside a main window at the screen's edge it would hang off the screen: it stays on it.
    move(placeOnScreen(wanted, screenAreaOf(main)).topLeft());
}

void HelpWindow::scrolled(int value) {
    scroll_.setValue(value);
    frame1_->move(0, px(scroll_.panelTop()));
}

void HelpWindow::wheelEvent(QWheelEvent* event) {
    // Fine-grained wheels report parts of a notch; they count once they add up to one.
    wheelRemainder_ += event->angleDelta().y();
    while (std::abs(wheelRemainder_) >= 120) {
        const int rotation = wheelRemainder_ < 0 ? -120 : 120;
        wheelRemainder_ -= rotation;
        if (scroll_.wheel(rotation)) {
            vScroll1_->setValue(scroll_.value());
        }
    }
    event->accept();
}

void HelpWindow::openOver(const QWidget& mainWindow) {
    placeOver(mainWindow);
    show();
    raise();
    activateWindow();
}

} // namespace oculet
