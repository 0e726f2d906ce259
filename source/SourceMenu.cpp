#include "source/SourceMenu.h"

#include "source/SourcePrograms.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>

namespace oculet {
namespace {
const QColor kHover(160, 200, 255);
constexpr int kRowHeight = 20;
constexpr int kCaptionLeft = 20;
} // namespace

SourceMenu::SourceMenu(QWidget* parent) : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form2"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    for (int i = 0; i < 5; ++i) {
        auto* check = new QLabel(QString(QChar(0x2713)), this);
        check->setObjectName(QStringLiteral("lblCheck%1").arg(i));
        check->setGeometry(0, i * kRowHeight, kCaptionLeft, kRowHeight);
        check->setAlignment(Qt::AlignCenter);
        lblCheck_[i] = check;

        auto* label = new QLabel(sourceMenuCaption(i), this);
        label->setObjectName(QStringLiteral("lblMenu%1").arg(i));
        label->setAutoFillBackground(true);
        label->setPalette(pal);
        label->setMouseTracking(true);
        label->installEventFilter(this);
        lblMenu_[i] = label;
    }
    setCaption(4, sourceMenuCaption(4));
}

QString SourceMenu::caption(int index) const { return lblMenu_[index]->text(); }

void SourceMenu::setCaption(int index, const QString& caption) {
    lblMenu_[index]->setText(caption);
    // As wide as the "Screen capture" entry plus room for the check mark and a margin.
    const int width = QFontMetrics(lblMenu_[4]->font()).horizontalAdvance(lblMenu_[4]->text()) + 30;
    setFixedSize(width, 5 * kRowHeight);
    for (int i = 0; i < 5; ++i) {
        lblMenu_[i]->setGeometry(kCaptionLeft, i * kRowHeight, width - kCaptionLeft, kRowHeight);
    }
}

void SourceMenu::popup(QPoint globalTopLeft, int current) {
    for (int i = 0; i < 5; ++i) {
        lblCheck_[i]->setVisible(i == current);
    }
    highlight(-1);
    move(globalTopLeft);
    show();
    activateWindow();
}

void SourceMenu::highlight(int index) {
    for (int i = 0; i < 5; ++i) {
        QPalette pal = lblMenu_[i]->palette();
        pal.setColor(QPalette::Window, i == index ? kHover : QColor(Qt::white));
        lblMenu_[i]->setPalette(pal);
    }
}

bool SourceMenu::eventFilter(QObject* watched, QEvent* event) {
    for (int i = 0; i < 5; ++i) {
        if (watched != lblMenu_[i]) {
            continue;
        }
        if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
            highlight(i);
        } else if (event->type() == QEvent::Leave) {
            // Off the rows (into the check-mark column or out of the menu) nothing is under
            // the mouse, so no row may stay coloured.
            highlight(-1);
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            emit chosen(i);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace oculet
