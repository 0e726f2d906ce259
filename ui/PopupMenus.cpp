#include "ui/PopupMenus.h"

#include "source/SourcePrograms.h"
#include "ui/Captions.h"

#include "ui/ScreenPlacement.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>

namespace oculet {
namespace {
const QColor kHover(160, 200, 255);
constexpr int kRowHeight = 20;
constexpr int kOptionsWidth = 200;
constexpr int kSourcePrograms = 5;
} // namespace

LabelMenu::LabelMenu(const QString& name, const QString& itemName, int count, int left, QWidget* parent,
                     Qt::WindowFlags flags)
    : QWidget(parent, flags | Qt::FramelessWindowHint), left_(left) {
    setObjectName(name);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    for (int i = 0; i < count; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(itemName + QString::number(i));
        label->setAutoFillBackground(true);
        label->setPalette(pal);
        label->setMouseTracking(true);
        label->installEventFilter(this);
        items_.push_back(label);
    }
    setFixedHeight(count * kRowHeight);
}

void LabelMenu::setCaption(int index, const QString& caption) { item(index)->setText(caption); }

void LabelMenu::addTicks(const QString& tickName) {
    for (int i = 0; i < count(); ++i) {
        auto* tick = new QLabel(QString(QChar(0x2713)), this);
        tick->setObjectName(tickName + QString::number(i));
        tick->setGeometry(0, i * kRowHeight, left_, kRowHeight);
        tick->setAlignment(Qt::AlignCenter);
        ticks_.push_back(tick);
    }
}

void LabelMenu::tick(int current) {
    for (int i = 0; i < static_cast<int>(ticks_.size()); ++i) {
        ticks_[static_cast<std::size_t>(i)]->setVisible(i == current);
    }
}

void LabelMenu::fitWidth(int minWidth) {
    int width = minWidth;
    for (QLabel* label : items_) {
        width = std::max(width, left_ + QFontMetrics(label->font()).horizontalAdvance(label->text()) + 10);
    }
    setFixedWidth(width);
    for (int i = 0; i < count(); ++i) {
        item(i)->setGeometry(left_, i * kRowHeight, width - left_, kRowHeight);
    }
}

void LabelMenu::hovered(int index) {
    for (int i = 0; i < count(); ++i) {
        QPalette pal = item(i)->palette();
        pal.setColor(QPalette::Window, i == index ? kHover : QColor(Qt::white));
        item(i)->setPalette(pal);
    }
}

bool LabelMenu::eventFilter(QObject* watched, QEvent* event) {
    for (int i = 0; i < count(); ++i) {
        if (watched != item(i)) {
            continue;
        }
        if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
            hovered(i);
        } else if (event->type() == QEvent::Leave && unhighlightOnLeave_) {
            hovered(-1);
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && item(i)->isEnabled()) {
            emit chosen(i);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

SourceMenu::SourceMenu(QWidget* parent)
    : LabelMenu(QStringLiteral("Form2"), QStringLiteral("lblMenu"), kSourcePrograms, 20, parent, Qt::Popup) {
    unhighlightOnLeave_ = true;
    addTicks(QStringLiteral("lblCheck"));
    for (int i = 0; i < count(); ++i) {
        LabelMenu::setCaption(i, sourceMenuCaption(i));
    }
    fitWidth(0);
}

QString SourceMenu::caption(int index) const { return item(index)->text(); }

void SourceMenu::setCaption(int index, const QString& caption) {
    LabelMenu::setCaption(index, caption);
    fitWidth(0);
}

void SourceMenu::popup(QPoint globalTopLeft, int current) {
    tick(current);
    hovered(-1);
    moveOnScreen(globalTopLeft);
    show();
    activateWindow();
}

void LabelMenu::moveOnScreen(QPoint globalTopLeft) {
    const QRect wanted(globalTopLeft, size());
    move(placeOnScreen(wanted, screenAreaOf(wanted)).topLeft());
}

LanguageMenu::LanguageMenu(QWidget* parent)
    : LabelMenu(QStringLiteral("Form4"), QStringLiteral("lblLang"), 5, 20, parent) {
    // Opens beside the options menu, which keeps the focus (and stays open) meanwhile.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    addTicks(QStringLiteral("lblCk"));
}

void LanguageMenu::setCaptions(const QStringList& captions) {
    for (int i = 0; i < count() && i < captions.size(); ++i) {
        setCaption(i, captions[i]);
    }
    fitWidth(0);
}

void LanguageMenu::popup(QPoint globalTopLeft, int current) {
    tick(current);
    moveOnScreen(globalTopLeft);
    show();
    raise();
}

OptionsMenu::OptionsMenu(LanguageMenu& languages, QWidget* parent)
    : LabelMenu(QStringLiteral("Form3"), QStringLiteral("lblOptions"), kOptionsItemCount, 20, parent),
      languages_(languages) {}

void OptionsMenu::setCaptions(const QStringList& captions) {
    for (int i = 0; i < count() && i < captions.size(); ++i) {
        setCaption(i, captions[i]);
    }
    fitWidth(kOptionsWidth);
}

void OptionsMenu::popup(QPoint globalTopLeft) {
    moveOnScreen(globalTopLeft);
    show();
    raise();
    activateWindow();
}

void OptionsMenu::close() {
    languages_.hide();
    hide();
}

void OptionsMenu::hovered(int index) {
    LabelMenu::hovered(index);
    if (index == LanguageItem) {
        languages_.popup(mapToGlobal(QPoint(width(), index * kRowHeight)), language_);
    } else {
        languages_.hide();
    }
}

void OptionsMenu::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && !languages_.isVisible()) {
        hide();
    }
    QWidget::changeEvent(event);
}

} // namespace oculet
