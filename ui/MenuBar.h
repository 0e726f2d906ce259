#pragma once

// The strip at the top of the main window (`picMenuBar`) that behaves like a menu bar: the source
// program's name, "Options" and "Cam mode". Pointing at a label opens its menu without a click,
// as the radio programs' users know it; the label under the mouse gets a thin border. While a
// popup menu holds the mouse, pointing at the bar still switches menus.

#include <QLabel>
#include <QWidget>

namespace oculet {

class StatusMark;

// A label on the menu bar that reports clicks.
class MenuLabel : public QLabel {
    Q_OBJECT
public:
    MenuLabel(const QString& name, const QString& caption, QWidget* parent);
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class MenuBar : public QWidget {
    Q_OBJECT
public:
    enum class Place { None, Program, Options, Cam, EmptyBar, Picture };

    explicit MenuBar(QWidget* parent);
    ~MenuBar() override;

    MenuLabel* program() const { return lblProg_; }
    MenuLabel* options() const { return lblOpt_; }
    MenuLabel* cam() const { return lblFtp_; }
    StatusMark* status() const { return status_; }
    // Lays the labels out for their captions: each keeps its design width unless its caption
    // needs more; the publishing state takes what is left at the right end.
    void fitCaptions();
    // The frame under the bar and the box handles on it whose pointing closes the menus.
    void setPicture(QWidget* picture, QList<QWidget*> handles);
    // Disabled while an option panel is open: one panel at a time.
    void setLabelsEnabled(bool enabled);
    // Acts on the mouse being at `globalPos` over the bar: borders, and pointed() when the
    // place under it changed.
    void pointAt(QPoint globalPos);

signals:
    void pointed(oculet::MenuBar::Place place);
    void programClicked();
    void optionsClicked();
    void camClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Place placeAt(QPoint globalPos) const;
    void setBorders(MenuLabel* bordered, MenuLabel* keep);

    MenuLabel* lblProg_;
    MenuLabel* lblOpt_;
    MenuLabel* lblFtp_;
    StatusMark* status_;
    QWidget* picture_ = nullptr;
    QList<QWidget*> handles_;
    Place pointed_ = Place::None;
};

} // namespace oculet
