// The window search over a scripted desktop; then the X11 desktop against real windows on the
// test program's own Xvfb, bare and under openbox, made here so that their titles, property
// types and places are exactly as given.
#include "platform/Stretch.h"
#include "platform/X11Desktop.h"
#include "tests/platform/PixelCheck.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"

#include <algorithm>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace oculet {
namespace {

using test::allPixels;
using test::pollUntil;

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

// One connection for the whole program: a fresh one may be handed the ids of windows just
// closed, before openbox has forgotten them.
Display* display() {
    static Display* const connection = XOpenDisplay(nullptr);
    return connection;
}

void setText(Window w, const char* property, const char* type, const QByteArray& bytes) {
    XChangeProperty(display(), w, XInternAtom(display(), property, False), XInternAtom(display(), type, False), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(bytes.constData()), int(bytes.size()));
    XSync(display(), False);
}

// A top-level window as a radio program makes it, placed where asked even under openbox.
Window makeWindow(const QRect& r, const char* title, bool mapped = true, unsigned long rgb = 0x808080) {
    const Window w = XCreateSimpleWindow(display(), DefaultRootWindow(display()), r.x(), r.y(), unsigned(r.width()),
                                         unsigned(r.height()), 0, 0, rgb);
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    XSetWMNormalHints(display(), w, &hints);
    if (title != nullptr) {
        setText(w, "_NET_WM_NAME", "UTF8_STRING", title);
    }
    if (mapped) {
        XMapWindow(display(), w);
    }
    XSync(display(), False);
    return w;
}

// Without a window manager the titled children of the root are the windows, hidden ones too.
TEST(X11Desktop, BareServerListsTitledWindowsTopmostFirstBordersIncluded) {
    test::TestEnvironment::stopWindowManager();
    const Window program = makeWindow({100, 100, 300, 200}, "EasyPal program - bare");
    const Window page = makeWindow({150, 150, 300, 200}, "Web page about EasyPal - bare");
    const Window hidden = makeWindow({10, 10, 50, 50}, "KG-STV - bare, never shown", false);
    const Window untitled = makeWindow({10, 10, 50, 50}, nullptr);
    const Window bordered = makeWindow({400, 300, 100, 50}, nullptr);
    XSetWindowBorderWidth(display(), bordered, 3);
    setText(bordered, "WM_NAME", "STRING", "MMSSTV - bare, bordered");
    auto desktop = X11Desktop::open(nullptr);
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(findWindowByTitle(*desktop, "EasyPal"), page);
    EXPECT_EQ(findWindowByTitle(*desktop, "KG-STV - bare"), hidden);
    EXPECT_EQ(desktop->windowRect(bordered), QRect(400, 300, 106, 56));
    const std::optional<TopLevelWindow> both = desktop->window(bordered);
    ASSERT_TRUE(both.has_value());
    EXPECT_EQ(both->title, QStringLiteral("MMSSTV - bare, bordered"));
    EXPECT_EQ(both->rect, QRect(400, 300, 106, 56));
    EXPECT_EQ(findWindowByTitle(*desktop, "MMSSTV - bare"), bordered);
    EXPECT_TRUE(std::ranges::none_of(desktop->topLevelWindows(), [&](const auto& t) { return t.id == untitled; }));
    XRaiseWindow(display(), program);
    XSync(display(), False);
    EXPECT_EQ(findWindowByTitle(*desktop, "EasyPal"), program);
    XDestroyWindow(display(), program);
    XSync(display(), False);
    EXPECT_EQ(findWindowByTitle(*desktop, "EasyPal"), page);
    EXPECT_EQ(desktop->windowTitle(program), std::nullopt);
    EXPECT_EQ(desktop->windowRect(program), std::nullopt);
    EXPECT_FALSE(desktop->window(program).has_value());
}

TEST(X11Desktop, TitlesAreDecodedByTheirPropertyType) {
    // A null QByteArray leaves the property unset.
    struct Case { const char* name; QByteArray netWmName; const char* wmNameType; QByteArray wmName; QString expected; };
    const Case cases[] = {
        {"_NET_WM_NAME wins", "Digital Master 780 \xe2\x80\x93 main", "STRING", "old", QString::fromUtf8("Digital Master 780 – main")},
        {"WM_NAME as Latin-1", {}, "STRING", "Caf\xe9 MMSSTV", QString::fromUtf8("Café MMSSTV")},
        {"WM_NAME as UTF-8", {}, "UTF8_STRING", "Caf\xc3\xa9 KG-STV", QString::fromUtf8("Café KG-STV")},
        {"empty _NET_WM_NAME falls back", "", "STRING", "EasyPal", "EasyPal"},
        {"no title at all", {}, "STRING", {}, QString()},
    };
    auto desktop = X11Desktop::open(nullptr);
    ASSERT_NE(desktop, nullptr);
    for (const Case& c : cases) {
        const Window w = makeWindow({0, 0, 10, 10}, nullptr, false);
        if (!c.netWmName.isNull()) {
            setText(w, "_NET_WM_NAME", "UTF8_STRING", c.netWmName);
        }
        if (!c.wmName.isNull()) {
            setText(w, "WM_NAME", c.wmNameType, c.wmName);
        }
        EXPECT_EQ(desktop->windowTitle(w), std::optional<QString>(c.expected)) << c.name;
    }
    EXPECT_EQ(desktop->windowTitle(0), std::nullopt);
}

TEST(X11Desktop, GrabCopiesTheScreenAndBlackBeyondItsEdges) {
    // Red hanging over the bottom-right corner of the 1920 × 1080 screen, blue in the middle.
    makeWindow({1800, 1000, 200, 200}, "grab red", true, 0xff0000);
    makeWindow({500, 400, 400, 300}, "grab blue", true, 0x0000ff);
    for (const bool shm : {true, false}) {
        SCOPED_TRACE(shm ? "shared memory" : "plain GetImage");
        auto desktop = X11Desktop::open(nullptr, {shm});
        ASSERT_NE(desktop, nullptr);
        EXPECT_EQ(desktop->usesSharedMemory(), shm);
        EXPECT_EQ(desktop->virtualScreen(), QRect(0, 0, 1920, 1080));
        ASSERT_TRUE(pollUntil(3000, [&] { return allPixels(desktop->grab({1850, 1030, 1, 1}), {0, 0, 1, 1}, 0xff0000); }));
        const QImage corner = desktop->grab({1850, 1030, 100, 100});
        ASSERT_EQ(corner.size(), QSize(100, 100));
        EXPECT_EQ(corner.format(), QImage::Format_RGB32);
        EXPECT_TRUE(allPixels(corner, {0, 0, 70, 50}, 0xff0000));
        EXPECT_TRUE(allPixels(corner, {70, 0, 30, 100}, 0) && allPixels(corner, {0, 50, 100, 50}, 0));
        // Smaller and larger copies after it land in the right place too.
        EXPECT_TRUE(allPixels(desktop->grab({510, 410, 8, 8}), {0, 0, 8, 8}, 0x0000ff));
        const QImage large = desktop->grab({400, 300, 600, 500});
        EXPECT_TRUE(allPixels(large, {100, 100, 400, 300}, 0x0000ff));
        EXPECT_FALSE(allPixels(large, {99, 99, 1, 1}, 0x0000ff) || allPixels(large, {500, 400, 1, 1}, 0x0000ff));
        EXPECT_TRUE(allPixels(desktop->grab({-20, -10, 40, 30}), {0, 0, 20, 10}, 0));
        EXPECT_TRUE(allPixels(desktop->grab({3000, 3000, 16, 16}), {0, 0, 16, 16}, 0));
        EXPECT_TRUE(desktop->grab({0, 0, 0, 10}).isNull());
        // Wider than the screen: squeezed to the screen's width, blue where it would be on the frame.
        const QImage wide = desktop->grab({-18000, 0, 20000, 1080});
        ASSERT_EQ(wide.size(), QSize(1920, 1080));
        EXPECT_TRUE(allPixels(wide, {1778, 400, 35, 300}, 0x0000ff, 8));
        EXPECT_TRUE(allPixels(wide, {1770, 390, 50, 8}, 0));
        // Stretched onto a frame in place, on the screen and over its edge, each copied for
        // itself or all fetched together first: always as a copy stretched.
        const std::vector<QRect> spots = {QRect(880, 680, 40, 30), QRect(1790, 990, 170, 120), QRect(490, 390, 21, 19)};
        for (const bool together : {false, true}) {
            std::vector<QImage> direct(spots.size(), QImage(37, 23, QImage::Format_RGB32));
            if (together) {
                desktop->prefetch(spots);
            }
            for (std::size_t i = 0; i < spots.size(); ++i) {
                direct[i].fill(Qt::white);
                ASSERT_TRUE(desktop->grabOnto(spots[i], direct[i], {3, 2, 31, 19}));
            }
            for (std::size_t i = 0; i < spots.size(); ++i) {
                QImage copied(37, 23, QImage::Format_RGB32);
                copied.fill(Qt::white);
                stretchInto(copied, {3, 2, 31, 19}, desktop->grab(spots[i]));
                EXPECT_EQ(direct[i], copied) << i << (together ? " fetched together" : "");
                EXPECT_NE(direct[i].pixel(5, 5), direct[i].pixel(30, 19)) << "a picture of two colours, not one";
            }
        }
        // A copy fetched together is used once: the place is read afresh the next time.
        desktop->prefetch({spots[0], spots[2]});
        QImage once(40, 30, QImage::Format_RGB32);
        ASSERT_TRUE(desktop->grabOnto(spots[0], once, once.rect()));
        const Window green = makeWindow(spots[0], "grab green", true, 0x00ff00);
        EXPECT_TRUE(pollUntil(3000, [&] { return desktop->grabOnto(spots[0], once, once.rect()) && allPixels(once, once.rect(), 0x00ff00); }));
        XDestroyWindow(display(), green);
        XSync(display(), False);
    }
}

// The source window's own pixels, whatever covers it and however far it hangs over the screen's
// edge; followed when resized, and nothing of it while unmapped or on a server read without it.
TEST(X11Desktop, WindowContentIsTheWindowsOwnUnderACoverAndBeyondTheEdge) {
    const QRect place(1720, 300, 400, 200); // 200 pixels beyond the right edge
    const Window source = makeWindow(place, "content source", true, 0x00ff00);
    const Window cover = makeWindow({1760, 340, 100, 60}, "content cover", true, 0xff0000);
    auto desktop = X11Desktop::open(nullptr);
    ASSERT_NE(desktop, nullptr);
    ASSERT_TRUE(desktop->readsWindowContent());
    QImage frame(100, 50, QImage::Format_RGB32);
    const auto content = [&](const QRect& rect) {
        frame.fill(Qt::white);
        return desktop->windowContentOnto(source, rect, frame, frame.rect());
    };
    // The server has the covered part drawn again once the window is redirected.
    EXPECT_TRUE(pollUntil(3000, [&] { return content(place) && allPixels(frame, frame.rect(), 0x00ff00); }))
        << "the cover or the screen's edge shows";
    EXPECT_TRUE(allPixels(desktop->grab({1770, 350, 10, 10}), {0, 0, 10, 10}, 0xff0000)) << "the screen still has the cover";
    // Only the rectangle asked for, from the window's own corner.
    XSetWindowBackground(display(), source, 0x0000ff);
    XClearArea(display(), source, 0, 100, 400, 100, False);
    XSync(display(), False);
    EXPECT_TRUE(pollUntil(3000, [&] {
        return content({1720, 350, 400, 100}) && allPixels(frame, {0, 0, 100, 24}, 0x00ff00) &&
               allPixels(frame, {0, 26, 100, 24}, 0x0000ff);
    }));
    // Changes are told apart: the window's content, a spot of the screen, or neither.
    const auto still = [&](WindowId w, std::vector<QRect> spots) { return desktop->unchangedSinceLastAsked(w, spots); };
    const auto repaint = [&](Window w, unsigned long rgb) {
        XSetWindowBackground(display(), w, rgb);
        XClearArea(display(), w, 0, 0, 0, 0, False);
        XSync(display(), False);
    };
    EXPECT_FALSE(still(source, {})) << "nothing known of a window first watched";
    EXPECT_TRUE(still(source, {}));
    repaint(cover, 0xff00ff);
    EXPECT_TRUE(still(source, {})) << "a window over it is no change of its content";
    repaint(source, 0x0000ff);
    EXPECT_FALSE(still(source, {}));
    EXPECT_TRUE(still(source, {}));
    EXPECT_FALSE(still(0, {{1770, 350, 10, 10}}));
    repaint(cover, 0xff0000);
    EXPECT_FALSE(still(0, {{1770, 350, 10, 10}})) << "a change on the screen under a spot";
    repaint(cover, 0xff00ff);
    EXPECT_TRUE(still(0, {{10, 10, 10, 10}})) << "a change elsewhere";
    // Resized and moved: read from the new pixmap.
    XMoveResizeWindow(display(), source, 100, 100, 600, 300);
    XClearArea(display(), source, 0, 0, 600, 300, False);
    XSync(display(), False);
    EXPECT_TRUE(pollUntil(3000, [&] { return content({100, 100, 600, 300}) && allPixels(frame, frame.rect(), 0x0000ff); }));
    XUnmapWindow(display(), source);
    XSync(display(), False);
    EXPECT_FALSE(content({100, 100, 600, 300})) << "an unmapped window has no content";
    XMapWindow(display(), source);
    XSync(display(), False);
    EXPECT_TRUE(pollUntil(3000, [&] { return content({100, 100, 600, 300}) && allPixels(frame, frame.rect(), 0x0000ff); }));

    auto screenOnly = X11Desktop::open(nullptr, {true, false});
    ASSERT_NE(screenOnly, nullptr);
    EXPECT_FALSE(screenOnly->readsWindowContent());
    EXPECT_FALSE(screenOnly->windowContentOnto(source, {100, 100, 600, 300}, frame, frame.rect()));
    XDestroyWindow(display(), source);
    XSync(display(), False);
    EXPECT_FALSE(content({100, 100, 600, 300}));
}

// The client area in root coordinates, the frame openbox put around it (_NET_FRAME_EXTENTS), and
// whether it is shown.
struct Managed {
    QRect client, frame;
    bool viewable = false;
};
Managed managed(Window w) {
    Managed m;
    XWindowAttributes a{};
    Window child = 0;
    int x = 0, y = 0;
    if (XGetWindowAttributes(display(), w, &a) == 0 ||
        !XTranslateCoordinates(display(), w, DefaultRootWindow(display()), 0, 0, &x, &y, &child)) {
        return m;
    }
    m.client = m.frame = QRect(x, y, a.width, a.height);
    m.viewable = a.map_state == IsViewable;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display(), w, XInternAtom(display(), "_NET_FRAME_EXTENTS", False), 0, 4, False,
                           XA_CARDINAL, &type, &format, &count, &left, &data) == Success && count == 4) {
        const auto* e = reinterpret_cast<const long*>(data); // left, right, top, bottom
        m.frame = m.client.adjusted(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
    }
    XFree(data);
    return m;
}

// Runs last, as it starts openbox: its stacking list and frames; then a
// window manager that has exited, whose stale list on the root must hide nothing.
TEST(X11Desktop, UnderAWindowManagerItsStackingAndFramesCount) {
    ASSERT_TRUE(test::TestEnvironment::startWindowManager());
    const Window program = makeWindow({100, 100, 300, 200}, "EasyPal - managed (program)", true, 0x00ff00);
    const Window page = makeWindow({600, 400, 300, 200}, "EasyPal - managed (browser)");
    auto desktop = X11Desktop::open(nullptr);
    ASSERT_NE(desktop, nullptr);
    const auto found = [&](const char* fragment, Window w) {
        return pollUntil(3000, [&] { return findWindowByTitle(*desktop, fragment) == w; });
    };
    EXPECT_TRUE(found("EasyPal - managed", page));
    Managed seen;
    ASSERT_TRUE(pollUntil(3000, [&] {
        seen = managed(program);
        return seen.viewable && seen.frame != seen.client && desktop->windowRect(program) == seen.frame;
    }));
    EXPECT_LT(seen.frame.top(), seen.client.top()) << "title bar not included";
    EXPECT_TRUE(pollUntil(3000, [&] { return allPixels(desktop->grab(seen.client), {2, 2, 296, 196}, 0x00ff00); }));
    // The title bar belongs to openbox's frame, and the content read includes it where the
    // window's rectangle does.
    QImage outer(seen.frame.size(), QImage::Format_RGB32);
    ASSERT_TRUE(desktop->windowContentOnto(program, seen.frame, outer, outer.rect()));
    const QRect clientInFrame = seen.client.translated(-seen.frame.topLeft());
    EXPECT_TRUE(allPixels(outer, clientInFrame.adjusted(2, 2, -2, -2), 0x00ff00));
    EXPECT_FALSE(allPixels(outer, {clientInFrame.x() + 5, clientInFrame.y() - 5, 1, 1}, 0x00ff00)) << "no title bar";
    // As a taskbar activates it.
    ASSERT_TRUE(test::xdotool({"windowactivate", "--sync", QString::number(program)}).has_value());
    EXPECT_TRUE(found("EasyPal - managed", program));

    test::TestEnvironment::stopWindowManager();
    const Window after = makeWindow({50, 60, 100, 80}, "KG-STV - after the manager");
    EXPECT_EQ(findWindowByTitle(*desktop, "KG-STV - after the manager"), after);
    EXPECT_EQ(desktop->windowRect(after), QRect(50, 60, 100, 80));
}

} // namespace
} // namespace oculet
