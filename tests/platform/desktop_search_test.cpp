// The window search, over a scripted desktop.
#include "platform/Desktop.h"
#include "tests/support/FakeDesktop.h"

#include <gtest/gtest.h>

namespace oculet {
namespace {

TEST(WindowSearch, FindsTheTopmostTitleHoldingTheFragment) {
    // expected: index into titlesTopFirst, -1 for none
    struct Case { const char* name; std::vector<QString> titlesTopFirst; QString fragment; int expected; };
    const QString longPrefix(120, QLatin1Char('x'));
    const Case cases[] = {
        {"topmost of two wins", {"Browser - EasyPal help", "EasyPal"}, "EasyPal", 0},
        {"skips non-matching", {"Terminal", "MMSSTV Ver 1.13"}, "MMSSTV", 1},
        {"case matters", {"easypal", "EASYPAL"}, "EasyPal", -1},
        {"empty fragment finds nothing", {"EasyPal", "MMSSTV"}, "", -1},
        {"fragment ending at 127 characters", {longPrefix + "EasyPal-and-more"}, "EasyPal", 0},
        {"fragment crossing the 127 cut", {longPrefix + "xEasyPal"}, "EasyPal", -1},
        {"non-ASCII titles", {QString::fromUtf8("Übersicht"), QString::fromUtf8("KG-STV – Ä")}, QString::fromUtf8("– Ä"), 1},
    };
    for (const Case& c : cases) {
        test::FakeDesktop desktop;
        std::vector<WindowId> ids;
        for (const QString& title : c.titlesTopFirst) {
            ids.push_back(desktop.addWindow(title, {0, 0, 100, 100}, /*onTop=*/false));
        }
        EXPECT_EQ(findWindowByTitle(desktop, c.fragment), c.expected < 0 ? 0 : ids[std::size_t(c.expected)]) << c.name;
    }
    // The per-frame check of a remembered window reads its whole title.
    EXPECT_TRUE(titleMatches(QString(200, QLatin1Char('x')) + "EasyPal", "EasyPal"));
    EXPECT_FALSE(titleMatches("Easypal", "EasyPal"));
    EXPECT_FALSE(titleMatches("EasyPal", ""));
}

} // namespace
} // namespace oculet
