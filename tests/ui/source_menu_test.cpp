// The popup source menu: its entries, check mark, size, hover colour and the choice it reports.
#include "ui/PopupMenus.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <vector>

namespace oculet {
namespace {

QLabel* checkMark(const SourceMenu& menu, int row) {
    return menu.findChild<QLabel*>(QStringLiteral("lblCheck%1").arg(row));
}

// Each row's colour: '-' white, 'H' the hover colour.
QString rowColours(const SourceMenu& menu) {
    QString out;
    for (int i = 0; i < 5; ++i) {
        const QColor c = menu.item(i)->palette().color(QPalette::Window);
        out += c == QColor(Qt::white) ? u'-' : c == QColor(160, 200, 255) ? u'H' : u'?';
    }
    return out;
}

void send(QWidget* target, QEvent::Type type, Qt::MouseButton button = Qt::NoButton) {
    const QPointF inside(5, 5);
    QMouseEvent event(type, inside, target->mapToGlobal(inside), button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

TEST(SourceMenu, FiveRowsAsWideAsTheScreenEntryChecksTheCurrentProgramColoursTheHoveredRowAndReportsALeftClick) {
    // A language file renames the entries; the menu must still hold the screen entry's caption.
    SourceMenu menu;
    EXPECT_EQ(menu.item(4)->text(), QStringLiteral("Screen capture"));
    const QString renamed = QStringLiteral("Captura de pantalla completa");
    menu.setCaption(4, renamed);
    const int width = QFontMetrics(menu.item(4)->font()).horizontalAdvance(renamed) + 30;
    EXPECT_EQ(menu.size(), QSize(width, 100));
    const char* captions[] = {"EasyPal", "MMSSTV", "DM780", "KG-STV", "Captura de pantalla completa"};
    std::vector<int> chosen;
    QObject::connect(&menu, &SourceMenu::chosen, [&chosen](int index) { chosen.push_back(index); });
    const char* hovered[] = {"H----", "-H---", "--H--", "---H-", "----H"};
    for (int current : {0, 2, 4, 1}) {
        menu.popup(QPoint(50, 50), current);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(menu.item(i)->text(), QString::fromUtf8(captions[i]));
            EXPECT_EQ(menu.item(i)->geometry(), QRect(20, 20 * i, width - 20, 20)) << i;
            EXPECT_EQ(checkMark(menu, i)->pos(), QPoint(0, 20 * i)) << i;
            EXPECT_EQ(checkMark(menu, i)->isHidden(), i != current) << "current " << current << " row " << i;
        }
        EXPECT_EQ(rowColours(menu), "-----") << "a menu opens without a highlight";
        send(menu.item(3), QEvent::MouseMove);
        send(menu.item(current), QEvent::MouseMove);
        EXPECT_EQ(rowColours(menu), hovered[current]);
        // Leaving the rows (to the check-mark column or out of the menu) leaves nothing highlighted.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(menu.item(current), &leave);
        EXPECT_EQ(rowColours(menu), "-----");
        send(menu.item(current), QEvent::MouseMove);
        send(menu.item(current), QEvent::MouseButtonRelease, Qt::RightButton);
        send(menu.item(current), QEvent::MouseButtonRelease, Qt::LeftButton);
        menu.hide();
    }
    EXPECT_EQ(chosen, (std::vector<int>{0, 2, 4, 1})) << "the right button chooses nothing";
}

} // namespace
} // namespace oculet
