#include "ui/MenuBar.h"

#include "ui/StatusMark.h"

#include <QApplication>
#include <QMouseEvent>

#include <algorithm>

namespace oculet {

MenuLabel::MenuLabel(const QString& name, const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setObjectName(name);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(false);
}

void MenuLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit clicked();
    }
    QLabel::mousePressEvent(event);
}

MenuBar::MenuBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picMenuBar"));
    setGeometry(0, 0, 320, 20);
    lblProg_ = new MenuLabel(QStringLiteral("lblProg"), QStringLiteral("EasyPal"), this);
    lblProg_->setGeometry(0, 1, 75, 19);
    lblOpt_ = new MenuLabel(QStringLiteral("lblOpt"), QStringLiteral("Options"), this);
    lblOpt_->setGeometry(75, 1, 85, 19);
    lblFtp_ = new MenuLabel(QStringLiteral("lblFtp"), QStringLiteral("Cam mode"), this);
    lblFtp_->setGeometry(160, 1, 100, 19);
    status_ = new StatusMark(this);
    status_->setGeometry(261, 0, 58, 20);
    connect(lblProg_, &MenuLabel::clicked, this, &MenuBar::programClicked);
    connect(lblOpt_, &MenuLabel::clicked, this, &MenuBar::optionsClicked);
    connect(lblFtp_, &MenuLabel::clicked, this, &MenuBar::camClicked);
    // Mouse moves reach a widget only while it tracks the mouse, and none reach the bar while a
    // popup menu holds the mouse; the application sees them all.
    qApp->installEventFilter(this);
}

MenuBar::~MenuBar() { qApp->removeEventFilter(this); }

void MenuBar::fitCaptions() {
    MenuLabel* labels[] = {lblProg_, lblOpt_, lblFtp_};
    const int designWidths[] = {75, 85, 100};
    // The state's words need about this much, on two lines.
    const int statusRoom = 50;
    int needs[3];
    int widths[3];
    for (int i = 0; i < 3; ++i) {
        needs[i] = labels[i]->fontMetrics().horizontalAdvance(labels[i]->text()) + 4;
        widths[i] = std::max(designWidths[i], needs[i]);
    }
    // A long program name borrows from the labels to its right what their captions do not need.
    int excess = widths[0] + widths[1] + widths[2] + 1 + statusRoom - width();
    for (int i : {2, 1}) {
        const int spare = std::min(std::max(excess, 0), std::max(widths[i] - needs[i], 0));
        widths[i] -= spare;
        excess -= spare;
    }
    int left = 0;
    for (int i = 0; i < 3; ++i) {
        labels[i]->setGeometry(left, 1, widths[i], 19); // inside the bar, border and all
        left += widths[i];
    }
    status_->setGeometry(left + 1, 0, std::max(width() - left - 1, 0), 20);
}

void MenuBar::setPicture(QWidget* picture, QList<QWidget*> handles) {
    picture_ = picture;
    handles_ = std::move(handles);
}

void MenuBar::setLabelsEnabled(bool enabled) {
    for (MenuLabel* label : {lblProg_, lblOpt_, lblFtp_}) {
        label->setEnabled(enabled);
    }
    pointed_ = Place::None;
}

MenuBar::Place MenuBar::placeAt(QPoint globalPos) const {
    if (!rect().contains(mapFromGlobal(globalPos))) {
        // Only what lies on top counts: a menu over the picture is not the picture.
        QWidget* under = QApplication::widgetAt(globalPos);
        const bool onPicture = under != nullptr && (under == picture_ || handles_.contains(under));
        return onPicture ? Place::Picture : Place::None;
    }
    const std::pair<MenuLabel*, Place> labels[] = {
        {lblProg_, Place::Program}, {lblOpt_, Place::Options}, {lblFtp_, Place::Cam}};
    for (const auto& [label, place] : labels) {
        if (label->rect().contains(label->mapFromGlobal(globalPos))) {
            return label->isEnabled() ? place : Place::None;
        }
    }
    return Place::EmptyBar;
}

void MenuBar::setBorders(MenuLabel* bordered, MenuLabel* keep) {
    for (MenuLabel* label : {lblProg_, lblOpt_, lblFtp_}) {
        if (label != keep) {
            label->setFrameShape(label == bordered ? QFrame::Box : QFrame::NoFrame);
        }
    }
}

void MenuBar::pointAt(QPoint globalPos) {
    const Place place = placeAt(globalPos);
    if (place == pointed_) {
        return;
    }
    pointed_ = place;
    switch (place) {
    case Place::Program: setBorders(lblProg_, lblFtp_); break;
    case Place::Options: setBorders(lblOpt_, nullptr); break;
    case Place::Cam: setBorders(lblFtp_, nullptr); break;
    case Place::EmptyBar: lblFtp_->setFrameShape(QFrame::NoFrame); break;
    case Place::Picture: setBorders(nullptr, nullptr); break;
    case Place::None: return;
    }
    emit pointed(place);
}

bool MenuBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove || !isVisible() || !watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    QWidget* popup = QApplication::activePopupWidget();
    if (widget == this || isAncestorOf(widget) || (popup != nullptr && widget->window() == popup) ||
        (picture_ != nullptr && widget->window() == window())) {
        pointAt(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
    } else {
        pointed_ = Place::None; // pointing at the bar again opens its menu again
    }
    return false;
}

} // namespace oculet
