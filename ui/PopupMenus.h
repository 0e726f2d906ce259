#pragma once

// The options menu (`Form3`) and the language menu (`Form4`): small borderless windows with one
// column of labels 20 pixels apart. The label under the mouse is coloured; a click chooses it.
// They are tool windows rather than popups so that the language menu can open beside the
// options menu while both take the mouse; the options menu closes when it loses the focus.

#include <QWidget>

#include <vector>

class QLabel;

namespace oculet {

class LabelMenu : public QWidget {
    Q_OBJECT
public:
    QLabel* item(int index) const { return items_[static_cast<std::size_t>(index)]; }
    int count() const { return static_cast<int>(items_.size()); }
    void setCaption(int index, const QString& caption);

signals:
    void chosen(int index);

protected:
    LabelMenu(const QString& name, const QString& itemName, int count, int left, QWidget* parent);
    bool eventFilter(QObject* watched, QEvent* event) override;
    virtual void hovered(int index);
    // Makes the window as wide as its widest caption needs, and at least `minWidth`.
    void fitWidth(int minWidth);

private:
    std::vector<QLabel*> items_;
    int left_;
};

class LanguageMenu : public LabelMenu {
    Q_OBJECT
public:
    explicit LanguageMenu(QWidget* parent = nullptr);
    // Shows the menu at a screen position, ticking the current language.
    void popup(QPoint globalTopLeft, int current);
    void setCaptions(const QStringList& captions);

private:
    std::vector<QLabel*> ticks_;
};

class OptionsMenu : public LabelMenu {
    Q_OBJECT
public:
    OptionsMenu(LanguageMenu& languages, QWidget* parent = nullptr);
    // Shows the menu at a screen position and gives it the focus.
    void popup(QPoint globalTopLeft);
    void setCaptions(const QStringList& captions);
    // The language of the ticked entry when the language menu opens.
    void setLanguage(int index) { language_ = index; }
    // Hides the menu and the language menu beside it.
    void close();

protected:
    void hovered(int index) override;
    void changeEvent(QEvent* event) override;

private:
    LanguageMenu& languages_;
    int language_ = 0;
};

} // namespace oculet
