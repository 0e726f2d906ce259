#pragma once

// The source menu (`Form2`): a borderless popup under the menu bar listing the five source
// programs, a check mark beside the current one. Choosing an entry reports its index; losing the
// focus closes the menu without a choice.

#include <QWidget>

#include <array>

class QLabel;

namespace oculet {

class SourceMenu : public QWidget {
    Q_OBJECT
public:
    explicit SourceMenu(QWidget* parent = nullptr);

    // Shows the menu at a screen position with the check mark beside `current`.
    void popup(QPoint globalTopLeft, int current);
    QLabel* entry(int index) const { return lblMenu_[index]; }
    QString caption(int index) const;
    void setCaption(int index, const QString& caption);

signals:
    void chosen(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void highlight(int index);

    std::array<QLabel*, 5> lblMenu_{};
    std::array<QLabel*, 5> lblCheck_{};
};

} // namespace oculet
