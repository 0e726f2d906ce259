#pragma once

#include "publish/LinkStatus.h"
#include "settings/InterfaceTexts.h"

#include <QLabel>

namespace oculet {

// The publishing state at the right end of the menu bar: its words in the state's colour, the
// last error in the tool tip. It keeps the state, so a language chosen later words it anew.
class StatusMark : public QLabel {
    Q_OBJECT
public:
    explicit StatusMark(QWidget* parent);

    void showStatus(const LinkStatus& status);
    void applyTexts(const InterfaceTexts& texts);
    // A line under the state's tool tip: how many watch the live view (empty: none shown).
    void showViewers(const QString& line);

private:
    void render();

    LinkStatus status_;
    QString viewersLine_;
    const InterfaceTexts* texts_ = nullptr;
};

} // namespace oculet
