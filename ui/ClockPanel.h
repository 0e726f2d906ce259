#pragma once

#include "ui/OptionPanel.h"

#include <QDateTime>

class QCheckBox;
class QLabel;
class QPushButton;

namespace oculet {

// The clock options (`Frame4`): which clocks show, the live times, the clock's font and colour.
// With both clocks off the clock box hides and the clock timer stops.
class ClockPanel final : public OptionPanel {
    Q_OBJECT
public:
    ClockPanel(PanelContext& context, QWidget* parent);
    void applyTexts(const InterfaceTexts& texts) override;
    // The clock timer's tick while the panel shows: the live times.
    void showTimes(const QDateTime& utc, const QDateTime& local);
    void chooseFont();

protected:
    void refresh() override;

private:
    void clockSwitched();

    QCheckBox* ckClockZ_;
    QCheckBox* ckClockL_;
    QLabel* lblUTC_;
    QLabel* lblLocal_;
    QPushButton* cmdClockFont_;
    QPushButton* cmdClockColor_;
    QPushButton* cmdClockClose_;
};

} // namespace oculet
