// The window search and the scripted desktop other tests build on.
#include "platform/Desktop.h"
#include "tests/support/FakeDesktop.h"

#include <gtest/gtest.h>

namespace oculet {
namespace {

using test::FakeDesktop;

TEST(WindowSearch, FindsTheTopmostTitleHoldingTheFragment) {
    struct Case {
        const char* name;
        std::vector<QString> titlesTopFirst;
        QString fragment;
        int expected; // index into titlesTopFirst, -1 for none
    };
    const QString longPrefix(120, QLatin1Char('x'));
    const Case cases[] = {
        {"topmost of two wins", {"Browser - EasyPal help", "EasyPal"}, "EasyPal", 0},
        {"skips non-matching", {"Terminal", "MMSSTV Ver 1.13"}, "MMSSTV", 1},
        {"case matters", {"easypal", "EASYPAL"}, "EasyPal", -1},
        {"DM780 is found by its title", {"DM780 notes", "Ham Radio Deluxe Digital Master 780"}, "Digital Master", 1},
        {"untitled windows never match", {"", "KG-STV"}, "KG-STV", 1},
        {"empty fragment finds nothing", {"EasyPal", "MMSSTV"}, "", -1},
        {"fragment ending at 127 characters", {longPrefix + "EasyPal-and-more"}, "EasyPal", 0},
        {"fragment crossing the 127 cut", {longPrefix + "xEasyPal"}, "EasyPal", -1},
        {"non-ASCII titles", {QString::fromUtf8("Übersicht"), QString::fromUtf8("KG-STV – Ä")}, QString::fromUtf8("– Ä"), 1},
    };
    for (const Case& c : cases) {
        FakeDesktop desktop;
        std::vector<WindowId> ids;
        for (const QString& title : c.titlesTopFirst) {
            ids.push_back(desktop.addWindow(title, {0, 0, 100, 100}, /*onTop=*/false));
        }
        const WindowId expected = c.expected < 0 ? 0 : ids[std::size_t(c.expected)];
        EXPECT_EQ(findWindowByTitle(desktop, c.fragment), expected) << c.name;
    }
}

TEST(WindowSearch, FollowsRestackingAndClosing) {
    FakeDesktop desktop;
    const WindowId program = desktop.addWindow("EasyPal", {10, 10, 400, 300});
    const WindowId page = desktop.addWindow("About EasyPal - Browser", {0, 0, 800, 600});
    EXPECT_EQ(findWindowByTitle(desktop, "EasyPal"), page);
    desktop.raiseWindow(program);
    EXPECT_EQ(findWindowByTitle(desktop, "EasyPal"), program);
    desktop.lowerWindow(program);
    EXPECT_EQ(findWindowByTitle(desktop, "EasyPal"), page);
    desktop.removeWindow(page);
    EXPECT_EQ(findWindowByTitle(desktop, "EasyPal"), program);
    desktop.retitleWindow(program, "Untitled");
    EXPECT_EQ(findWindowByTitle(desktop, "EasyPal"), 0u);
    EXPECT_EQ(desktop.listCount(), 5);
}

TEST(WindowSearch, TitleMatchReadsTheWholeTitle) {
    // The per-frame check of a remembered window does not cut its title.
    EXPECT_TRUE(titleMatches(QString(200, QLatin1Char('x')) + "EasyPal", "EasyPal"));
    EXPECT_FALSE(titleMatches("Easypal", "EasyPal"));
    EXPECT_FALSE(titleMatches("EasyPal", ""));
}

TEST(FakeDesktop, GrabCopiesThePaintedScreenAndBlackBeyondIt) {
    // A virtual screen that starts left of the primary monitor.
    FakeDesktop desktop(QRect(-100, 0, 300, 200));
    desktop.fill({-100, 0, 300, 200}, Qt::blue);
    desktop.fill({0, 50, 20, 20}, Qt::red);

    const QImage part = desktop.grab({-10, 45, 40, 30});
    ASSERT_EQ(part.size(), QSize(40, 30));
    EXPECT_EQ(part.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(part.pixelColor(10, 5), QColor(Qt::red));
    EXPECT_EQ(part.pixelColor(29, 24), QColor(Qt::red));
    EXPECT_EQ(part.pixelColor(30, 25), QColor(Qt::blue));

    const QImage edge = desktop.grab({180, 190, 40, 40});
    EXPECT_EQ(edge.pixelColor(19, 9), QColor(Qt::blue));
    EXPECT_EQ(edge.pixelColor(20, 9), QColor(Qt::black));
    EXPECT_EQ(edge.pixelColor(19, 10), QColor(Qt::black));

    EXPECT_TRUE(desktop.grab({0, 0, 0, 10}).isNull());
    desktop.setBroken(true);
    EXPECT_TRUE(desktop.grab({0, 0, 10, 10}).isNull());
    EXPECT_EQ(desktop.grabs().size(), 4u);

    const WindowId id = desktop.addWindow("EasyPal", {1, 2, 3, 4});
    desktop.moveWindow(id, {5, 6, 7, 8});
    EXPECT_EQ(desktop.windowRect(id), QRect(5, 6, 7, 8));
    desktop.removeWindow(id);
    EXPECT_EQ(desktop.windowTitle(id), std::nullopt);
    EXPECT_EQ(desktop.windowRect(id), std::nullopt);
}

} // namespace
} // namespace oculet
