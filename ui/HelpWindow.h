#pragma once

#include <QWidget>

#include <array>

class QScrollBar;

namespace oculet {

// Where the help page stands, in twips (15 to a pixel): the scroll value, and the panel's top
// that follows from it. One wheel notch is 100 twips; a notch that would leave the scroll range
// is ignored, and the panel never shows space above its top or below its bottom.
class HelpScroll {
public:
    HelpScroll(int panelHeight, int visibleHeight) : panelHeight_(panelHeight), visibleHeight_(visibleHeight) {}

    int maximum() const { return panelHeight_; }
    int value() const { return value_; }
    void setValue(int value) { value_ = value; }
    // One wheel notch: -120 is towards the user (the page moves up). False when ignored.
    bool wheel(int rotation);
    int panelTop() const;

private:
    int panelHeight_;
    int visibleHeight_;
    int value_ = 0;
};

// The help window: how to show Oculet's picture in the webcam program, five pictures with their
// instructions on one page that scrolls with its scroll bar and the mouse wheel. Modeless; it
// changes nothing.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Level with the main window's top and centred on it, as far as the screen allows.
    void placeOver(const QWidget& mainWindow);
    // Placed over the main window (which may have moved since the last opening), shown and raised.
    void openOver(const QWidget& mainWindow);
    const HelpScroll& scroll() const { return scroll_; }

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void scrolled(int value);

    QWidget* frame1_;
    QScrollBar* vScroll1_;
    HelpScroll scroll_;
    int wheelRemainder_ = 0;
};

} // namespace oculet
