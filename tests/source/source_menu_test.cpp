// The popup source menu: its entries, check mark, size, hover colour and the choice it reports.
#include "source/SourceMenu.h"
#include "source/SourcePrograms.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <vector>

namespace oculet {
namespace {

const QColor kHover(160, 200, 255);

QLabel* checkMark(const SourceMenu& menu, int row) {
    return menu.findChild<QLabel*>(QStringLiteral("lblCheck%1").arg(row));
}

QColor rowColour(const SourceMenu& menu, int row) {
    return menu.entry(row)->palette().color(QPalette::Window);
}

void enter(QWidget* target) {
    const QPointF inside(5, 5);
    QEnterEvent event(inside, target->mapTo(target->window(), inside), target->mapToGlobal(inside));
    QApplication::sendEvent(target, &event);
}

void leave(QWidget* target) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(target, &event);
}

void click(QWidget* target, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF inside(5, 5);
    const QPointF global = target->mapToGlobal(inside);
    QMouseEvent press(QEvent::MouseButtonPress, inside, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, global, button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

TEST(SourceMenu, ListsTheFiveProgramsInMenuOrder) {
    SourceMenu menu;
    const char* expected[] = {"EasyPal", "MMSSTV", "DM780", "KG-STV", "Screen capture"};
    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(menu.entry(i), nullptr);
        EXPECT_EQ(menu.entry(i)->text(), QString::fromLatin1(expected[i]));
        EXPECT_EQ(menu.entry(i)->geometry().topLeft(), QPoint(20, 20 * i)) << i;
        ASSERT_NE(checkMark(menu, i), nullptr);
        EXPECT_EQ(checkMark(menu, i)->x(), 0);
        EXPECT_EQ(checkMark(menu, i)->y(), 20 * i);
    }
    const QFontMetrics metrics(menu.entry(4)->font());
    EXPECT_EQ(menu.width(), metrics.horizontalAdvance(QStringLiteral("Screen capture")) + 30);
    EXPECT_EQ(menu.height(), 100);
}

TEST(SourceMenu, WidthFollowsARenamedScreenEntry) {
    // A language file renames the entries; the menu must still hold the screen entry's caption.
    SourceMenu menu;
    const QString longer = QStringLiteral("Captura de pantalla completa");
    menu.setCaption(4, longer);
    EXPECT_EQ(menu.entry(4)->text(), longer);
    EXPECT_EQ(menu.width(), QFontMetrics(menu.entry(4)->font()).horizontalAdvance(longer) + 30);
    EXPECT_EQ(menu.height(), 100);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(menu.entry(i)->geometry().right() + 1, menu.width()) << i;
    }
}

TEST(SourceMenu, CheckMarkOnlyBesideTheCurrentProgram) {
    SourceMenu menu;
    for (int current : {0, 2, 4, 1}) {
        menu.popup(QPoint(50, 50), current);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(checkMark(menu, i)->isHidden(), i != current) << "current " << current << " row " << i;
        }
        EXPECT_FALSE(checkMark(menu, current)->text().trimmed().isEmpty());
        menu.hide();
    }
}

TEST(SourceMenu, HoverColoursOnlyTheRowUnderTheMouse) {
    SourceMenu menu;
    menu.popup(QPoint(50, 50), 0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rowColour(menu, i), QColor(Qt::white)) << "before any hover, row " << i;
    }
    for (int hovered : {3, 0, 4}) {
        enter(menu.entry(hovered));
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(rowColour(menu, i), i == hovered ? kHover : QColor(Qt::white))
                << "hovered " << hovered << " row " << i;
        }
    }
    // Leaving the rows (to the check-mark column or out of the menu) leaves nothing highlighted.
    leave(menu.entry(4));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rowColour(menu, i), QColor(Qt::white)) << "after leaving, row " << i;
    }
    // Opening the menu again starts without a highlight.
    enter(menu.entry(2));
    menu.hide();
    menu.popup(QPoint(50, 50), 1);
    EXPECT_EQ(rowColour(menu, 2), QColor(Qt::white));
}

TEST(SourceMenu, AClickOnAnEntryReportsItsIndex) {
    SourceMenu menu;
    std::vector<int> chosen;
    QObject::connect(&menu, &SourceMenu::chosen, [&chosen](int index) { chosen.push_back(index); });
    menu.popup(QPoint(50, 50), 0);
    for (int i : {2, 4, 0}) {
        click(menu.entry(i));
    }
    EXPECT_EQ(chosen, (std::vector<int>{2, 4, 0}));

    // The right button chooses nothing.
    click(menu.entry(1), Qt::RightButton);
    EXPECT_EQ(chosen.size(), 3u);
}

} // namespace
} // namespace oculet
