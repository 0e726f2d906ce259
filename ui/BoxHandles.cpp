#include "ui/BoxHandles.h"

#include "compose/CopiedBoxes.h"
#include "platform/Desktop.h"
#include "platform/Stretch.h"
#include "settings/Units.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace oculet {
namespace {

// Indexed by BoxId.
constexpr std::array<Text, kBoxCount> kToolTips = {Text::ClockTip,       Text::FixedTextTip, Text::ScrollTextTip,
                                                   Text::LastRxTip,      Text::SignalMeterTip, Text::Aux1Tip,
                                                   Text::Aux2Tip};

// `Shape1`: an unfilled rectangle around the pressed box.
class SelectionOutline : public QWidget {
public:
    explicit SelectionOutline(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("Shape1"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QColor(255, 0, 0));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

QRect whole(const QRectF& r) {
    return QRect(roundHalfEven(r.left()), roundHalfEven(r.top()), roundHalfEven(r.width()), roundHalfEven(r.height()));
}

} // namespace

BoxPreview::BoxPreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picinv"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    hide();
}

void BoxPreview::setPicture(QImage picture) {
    picture_ = std::move(picture);
    // Drawn now: the pointer handler is the only place the preview changes.
    repaint();
}

void BoxPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(0, 0, picture_);
}

BoxPreviewPainter::BoxPreviewPainter(const Settings& settings, Desktop& desktop, std::function<QImage()> lastReceived)
    : settings_(settings), desktop_(desktop), lastReceived_(std::move(lastReceived)) {}

QImage BoxPreviewPainter::paint(BoxId box, QSize size) const {
    if (size.isEmpty()) {
        return {};
    }
    if (box == BoxId::LastRx) {
        return stretched(lastReceived_ ? lastReceived_() : QImage(), size);
    }
    for (const CopiedBox& copied : kCopiedBoxes) {
        if (copied.id == box) {
            return stretched(desktop_.grab(copied.source(settings_)), size);
        }
    }
    return {};
}

BoxHandles::BoxHandles(BoxLayoutEditor& editor, const BoxPreviewPainter& preview, BoxHandleParts parts,
                       const InterfaceTexts& texts)
    : QObject(parts.frameArea), editor_(editor), painter_(preview), parts_(std::move(parts)),
      outline_(new SelectionOutline(parts_.frameArea)), preview_(new BoxPreview(parts_.frameArea)) {
    // The preview lies on the frame under the labels; the outline over everything.
    preview_->lower();
    outline_->raise();
    for (BoxId id : kAllBoxes) {
        QWidget* label = parts_.labels[static_cast<std::size_t>(id)];
        label->setToolTip(texts[kToolTips[static_cast<std::size_t>(id)]]);
        label->installEventFilter(this);
    }
}

void BoxHandles::raiseHandle(QWidget* label) {
    // Above the other handles only: an option panel or a message over the frame stays on top,
    // or the handle would take the panel's clicks.
    label->raise();
    const QObjectList siblings = parts_.frameArea->children(); // bottom to top
    for (QObject* sibling : siblings) {
        auto* widget = qobject_cast<QWidget*>(sibling);
        const bool handle = std::find(parts_.labels.begin(), parts_.labels.end(), widget) != parts_.labels.end();
        if (widget != nullptr && !handle && widget != preview_ && widget->isVisibleTo(parts_.frameArea)) {
            widget->raise();
        }
    }
}

void BoxHandles::hidePreview() { preview_->hide(); }

void BoxHandles::show(BoxId box, const BoxStep& step) {
    QWidget* label = parts_.labels[static_cast<std::size_t>(box)];
    label->setGeometry(whole(step.handle));
    outline_->setGeometry(whole(step.outline));
    preview_->setGeometry(whole(step.preview));
    if (step.moved && BoxLayoutEditor::isImageBox(box)) {
        preview_->setPicture(painter_.paint(box, whole(step.handle).size()));
    }
}

bool BoxHandles::eventFilter(QObject* watched, QEvent* event) {
    // A quick second press arrives as a double click: it is a press like any other.
    const auto type = event->type() == QEvent::MouseButtonDblClick ? QEvent::MouseButtonPress : event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease) {
        return QObject::eventFilter(watched, event);
    }
    std::size_t index = 0;
    while (index < kBoxCount && parts_.labels[index] != watched) {
        ++index;
    }
    if (index == kBoxCount) {
        return false;
    }
    const BoxId box = kAllBoxes[index];
    auto* mouse = static_cast<QMouseEvent*>(event);
    const int buttons = static_cast<int>(mouse->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton));
    QWidget* label = parts_.labels[index];
    if (type == QEvent::MouseButtonPress) {
        const BoxStep step = editor_.press(box, buttons, mouse->position());
        if (BoxLayoutEditor::isImageBox(box) && parts_.eraseFromFrame) {
            parts_.eraseFromFrame(label->geometry());
        }
        // A left press takes the box in hand, on top of the others; the fixed text comes to the
        // front on any press.
        if (buttons == kLeftButton || box == BoxId::FixedText) {
            raiseHandle(label);
        }
        outline_->setGeometry(whole(step.outline));
        outline_->show();
        outline_->raise();
        preview_->setGeometry(whole(step.preview));
        if (BoxLayoutEditor::isImageBox(box)) {
            preview_->setPicture(painter_.paint(box, label->size()));
            preview_->show();
            preview_->setFocus();
        }
    } else if (type == QEvent::MouseMove) {
        if (buttons != 0) {
            show(box, editor_.move(box, buttons, mouse->position()));
        }
    } else {
        label->setGeometry(whole(editor_.release(box)));
        outline_->hide();
        raiseHandle(parts_.labels[static_cast<std::size_t>(BoxId::Clock)]);
    }
    return true;
}

} // namespace oculet
