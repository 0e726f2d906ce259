#include "ui/StatusMark.h"

#include <QRegularExpression>

namespace oculet {

StatusMark::StatusMark(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("lblFtpStatus"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    QFont small = font();
    small.setPixelSize(8); // two lines in the bar
    setFont(small);
}

void StatusMark::showStatus(const LinkStatus& status) {
    status_ = status;
    render();
}

void StatusMark::applyTexts(const InterfaceTexts& texts) {
    texts_ = &texts;
    render();
}

void StatusMark::render() {
    QColor colour = Qt::black;
    switch (status_.state) {
    case LinkState::Connected:
        colour = QColor(0, 120, 0);
        break;
    case LinkState::Retrying:
        colour = QColor(176, 96, 0);
        break;
    case LinkState::LoginRefused:
    case LinkState::Untrusted:
        colour = QColor(192, 0, 0);
        break;
    case LinkState::Off:
    case LinkState::Connecting:
        break;
    }
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour);
    setPalette(pal);
    const InterfaceTexts english;
    const InterfaceTexts& texts = texts_ != nullptr ? *texts_ : english;
    // A number stays on the line of the word after it: "4 s" never breaks into a lone "s".
    static const QRegularExpression numberAndUnit(QStringLiteral("(\\d) "));
    setText(status_.caption(texts).replace(numberAndUnit, QStringLiteral("\\1\u00A0")));
    const QString tip = status_.toolTip(texts);
    setToolTip(tip.isEmpty() || viewersLine_.isEmpty() ? tip + viewersLine_ : tip + u'\n' + viewersLine_);
}

void StatusMark::showViewers(const QString& line) {
    viewersLine_ = line;
    render();
}

} // namespace oculet
