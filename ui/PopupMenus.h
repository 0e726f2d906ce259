#pragma once

// The source menu (`Form2`), the options menu (`Form3`) and the language menu (`Form4`): small
// borderless windows with one column of labels 20 pixels apart. The label under the mouse is
// coloured; a left click chooses it. The source menu is a popup under the menu bar that closes
// without a choice when it loses the focus. The other two are tool windows rather than popups so
// that the language menu can open beside the options menu while both take the mouse; the options
// menu closes when it loses the focus.

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
    LabelMenu(const QString& name, const QString& itemName, int count, int left, QWidget* parent,
              Qt::WindowFlags flags = Qt::Tool);
    bool eventFilter(QObject* watched, QEvent* event) override;
    virtual void hovered(int index);
    // Moves the menu to a screen position, or as near to it as keeps it wholly on that screen.
    void moveOnScreen(QPoint globalTopLeft);
    // Makes the window as wide as its widest caption needs, and at least `minWidth`.
    void fitWidth(int minWidth);
    // A check-mark column left of the captions, each named `tickName` and its row.
    void addTicks(const QString& tickName);
    // Shows the check mark of one row only.
    void tick(int current);
    // Leaving a row (into the check-mark column or out of the menu) takes its colour away.
    bool unhighlightOnLeave_ = false;

private:
    std::vector<QLabel*> items_;
    std::vector<QLabel*> ticks_;
    int left_;
};

class SourceMenu : public LabelMenu {
    Q_OBJECT
public:
    explicit SourceMenu(QWidget* parent = nullptr);
    // Shows the menu at a screen position with the check mark beside `current`.
    void popup(QPoint globalTopLeft, int current);
    QString caption(int index) const;
    // Renames an entry (a language file renames the screen entry); the menu fits its captions.
    void setCaption(int index, const QString& caption);
};

class LanguageMenu : public LabelMenu {
    Q_OBJECT
public:
    explicit LanguageMenu(QWidget* parent = nullptr);
    // Shows the menu at a screen position, ticking the current language.
    void popup(QPoint globalTopLeft, int current);
    void setCaptions(const QStringList& captions);
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
