#include "ui/HelpWindow.h"

#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"

#include <QApplication>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace oculet {
namespace {

using test::pollUntil;

void turnWheel(QWidget& window, int rotation) {
    QWheelEvent event(QPointF(100, 100), QPointF(100, 100), {}, QPoint(0, rotation), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&window, &event);
}

TEST(HelpWindow, OpensLevelWithTheMainWindowAndCentredOnIt) {
    ASSERT_TRUE(test::TestEnvironment::startWindowManager());
    QWidget main;
    main.setFixedSize(320, 262);
    main.move(700, 300);
    main.show();
    ASSERT_TRUE(pollUntil(3000, [&] { return main.frameGeometry() != main.geometry(); })) << "no frame";
    HelpWindow help;
    help.placeOver(main);
    help.show();
    ASSERT_TRUE(pollUntil(3000, [&] { return help.frameGeometry() != help.geometry(); }));
    pollUntil(300, [] { return false; });
    EXPECT_EQ(help.frameGeometry().top(), main.frameGeometry().top());
    EXPECT_NEAR(help.frameGeometry().center().x(), main.frameGeometry().center().x(), 1);
}

TEST(HelpWindow, TheWheelMovesThePageByHundredTwipsWithinTheRangeAndNeverPastItsEnds) {
    HelpWindow help;
    QWidget* page = help.findChild<QWidget*>("Frame1");
    ASSERT_NE(page, nullptr);
    turnWheel(help, -120);
    EXPECT_EQ(help.scroll().value(), 100);
    EXPECT_EQ(page->y(), -7); // 100 twips
    turnWheel(help, 120);
    EXPECT_EQ(page->y(), 0);
    turnWheel(help, 120); // above the top: ignored
    EXPECT_EQ(help.scroll().value(), 0);

    HelpScroll scroll(32760, 7080);
    for (const auto& [start, rotation, after] : {std::tuple{32710, -120, 32710}, {40, 120, 40}, {32660, -120, 32760},
                                                 {140, 120, 40}}) {
        scroll.setValue(start);
        scroll.wheel(rotation);
        EXPECT_EQ(scroll.value(), after) << start << " " << rotation;
    }
    // The page's bottom stops at the window's bottom, its top at the window's top.
    scroll.setValue(32760);
    EXPECT_EQ(scroll.panelTop(), 7080 - 32760);
    scroll.setValue(-500);
    EXPECT_EQ(scroll.panelTop(), 0);
}

} // namespace
} // namespace oculet
