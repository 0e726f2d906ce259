// The X11 desktop against real windows on the test program's own Xvfb, with and without a
// window manager. The windows are made here over a separate XCB connection, so their titles,
// property types and places are exactly what each test says.
#include "platform/X11Desktop.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"


#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <functional>

namespace oculet {
namespace {

using test::TestEnvironment;

bool waitUntil(const std::function<bool()>& done, int timeout_ms = 3000) {
    return test::pollUntil(timeout_ms, done);
}

// A client of its own that makes top-level windows the way a radio program would. Its windows
// go away with it.
class WindowMaker {
public:
    WindowMaker() : c_(xcb_connect(nullptr, nullptr)) {
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    }
    ~WindowMaker() { xcb_disconnect(c_); }
    WindowMaker(const WindowMaker&) = delete;
    WindowMaker& operator=(const WindowMaker&) = delete;

    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* r =
            xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }

    // A window filled with an RGB colour (the test display is 24-bit TrueColor), placed where
    // asked even under a window manager (user-specified position and size hints).
    xcb_window_t create(const QRect& rect, std::uint32_t rgb, int border = 0) {
        const xcb_window_t w = xcb_generate_id(c_);
        const std::uint32_t values[] = {rgb, screen_->black_pixel};
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, screen_->root, std::int16_t(rect.x()), std::int16_t(rect.y()),
                          std::uint16_t(rect.width()), std::uint16_t(rect.height()), std::uint16_t(border),
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL,
                          values);
        std::uint32_t hints[18] = {};
        hints[0] = 1 | 2; // USPosition | USSize
        hints[1] = std::uint32_t(rect.x());
        hints[2] = std::uint32_t(rect.y());
        hints[3] = std::uint32_t(rect.width());
        hints[4] = std::uint32_t(rect.height());
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18,
                            hints);
        return w;
    }

    xcb_window_t titled(const QString& title, const QRect& rect, std::uint32_t rgb = 0x808080) {
        const xcb_window_t w = create(rect, rgb);
        setText(w, "_NET_WM_NAME", "UTF8_STRING", title.toUtf8());
        return w;
    }

    void setText(xcb_window_t w, const char* property, const char* type, const QByteArray& bytes) {
        const xcb_atom_t p = std::strcmp(property, "WM_NAME") == 0 ? xcb_atom_t(XCB_ATOM_WM_NAME) : atom(property);
        const xcb_atom_t t = std::strcmp(type, "STRING") == 0 ? xcb_atom_t(XCB_ATOM_STRING) : atom(type);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, p, t, 8, std::uint32_t(bytes.size()), bytes.constData());
    }

    xcb_window_t root() const { return screen_->root; }
    void map(xcb_window_t w) { xcb_map_window(c_, w); }
    void destroy(xcb_window_t w) { xcb_destroy_window(c_, w); }
    void raise(xcb_window_t w) {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c_, w, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }

    // Asks the window manager, as a pager would, to do something to a window.
    void sendToWm(xcb_window_t w, const char* message, std::uint32_t d0, std::uint32_t d1 = 0) {
        xcb_client_message_event_t e{};
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = w;
        e.type = atom(message);
        e.data.data32[0] = d0;
        e.data.data32[1] = d1;
        xcb_send_event(c_, 0, screen_->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&e));
    }

    // Waits until everything sent has been handled by the server.
    void sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    bool hasProperty(xcb_window_t w, const char* name) {
        xcb_get_property_reply_t* r =
            xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr);
        const bool has = r && r->type != XCB_NONE;
        std::free(r);
        return has;
    }

    bool viewable(xcb_window_t w) {
        xcb_get_window_attributes_reply_t* r =
            xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr);
        const bool result = r && r->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(r);
        return result;
    }

    // The outer rectangle of the window's top-level ancestor: its window manager frame.
    QRect outerFrame(xcb_window_t w) {
        for (;;) {
            xcb_query_tree_reply_t* t = xcb_query_tree_reply(c_, xcb_query_tree(c_, w), nullptr);
            if (t == nullptr) {
                return {};
            }
            const xcb_window_t parent = t->parent;
            std::free(t);
            if (parent == screen_->root) {
                break;
            }
            w = parent;
        }
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
        const QRect r(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
        std::free(g);
        return r;
    }

    QRect clientArea(xcb_window_t w) {
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
        xcb_translate_coordinates_reply_t* t =
            xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, w, screen_->root, 0, 0), nullptr);
        const QRect r(t->dst_x, t->dst_y, g->width, g->height);
        std::free(g);
        std::free(t);
        return r;
    }

private:
    xcb_connection_t* c_;
    xcb_screen_t* screen_ = nullptr;
};

std::unique_ptr<X11Desktop> openDesktop(bool sharedMemory = true) {
    QString error;
    auto desktop = X11Desktop::open(&error, X11Desktop::Options{sharedMemory});
    EXPECT_NE(desktop, nullptr) << error.toStdString();
    return desktop;
}

// Whether every pixel of rect (image coordinates) has the colour.
::testing::AssertionResult allPixels(const QImage& image, const QRect& rect, QRgb rgb) {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) != (rgb & 0xffffff)) {
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << (image.pixel(x, y) & 0xffffff) << " not " << rgb;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

int indexOf(const std::vector<TopLevelWindow>& list, WindowId id) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].id == id) {
            return int(i);
        }
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------
// A bare X server: no window manager, no WM_STATE, the root's titled children are the windows.

class X11DesktopBare : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestEnvironment::stopWindowManager(); }
};

TEST_F(X11DesktopBare, OpensWithAReasonWhenThereIsNoDisplay) {
    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":4242");
    QString error;
    EXPECT_EQ(createX11Desktop(&error), nullptr);
    EXPECT_TRUE(error.contains(":4242")) << error.toStdString();
    qunsetenv("DISPLAY");
    EXPECT_EQ(createX11Desktop(&error), nullptr);
    EXPECT_TRUE(error.contains("DISPLAY")) << error.toStdString();
    qputenv("DISPLAY", saved);

    auto desktop = createX11Desktop(nullptr);
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(desktop->virtualScreen(), QRect(0, 0, 1920, 1080));
}

TEST_F(X11DesktopBare, SearchFindsTheTopmostTitleCaseSensitivelyHiddenOnesIncluded) {
    WindowMaker maker;
    const xcb_window_t program = maker.titled("EasyPal program - bare", {100, 100, 300, 200});
    const xcb_window_t page = maker.titled("Web page about EasyPal - bare", {150, 150, 300, 200});
    const xcb_window_t shouting = maker.titled("EASYPAL - bare", {200, 200, 50, 50});
    const xcb_window_t hidden = maker.titled("KG-STV - bare, never shown", {10, 10, 50, 50});
    for (xcb_window_t w : {program, page, shouting}) {
        maker.map(w);
    }
    maker.sync();

    auto desktop = openDesktop();
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(findWindowByTitle(*desktop, "EasyPal program"), program);
    EXPECT_EQ(findWindowByTitle(*desktop, "EasyPal"), page);
    EXPECT_EQ(findWindowByTitle(*desktop, "Easypal program"), 0u);
    EXPECT_EQ(findWindowByTitle(*desktop, "KG-STV - bare"), hidden);

    const auto list = desktop->topLevelWindows();
    EXPECT_LT(indexOf(list, shouting), indexOf(list, page));
    EXPECT_LT(indexOf(list, page), indexOf(list, program));

    maker.raise(program);
    maker.sync();
    EXPECT_EQ(findWindowByTitle(*desktop, "EasyPal"), program);

    maker.destroy(program);
    maker.sync();
    EXPECT_EQ(findWindowByTitle(*desktop, "EasyPal"), page);
    EXPECT_EQ(desktop->windowTitle(program), std::nullopt);
    EXPECT_EQ(desktop->windowRect(program), std::nullopt);
}

TEST_F(X11DesktopBare, TitlesAreDecodedByTheirPropertyType) {
    struct Case {
        const char* name;
        QByteArray netWmName; // UTF8_STRING; empty = not set
        const char* wmNameType;
        QByteArray wmName; // empty = not set
        QString expected;
    };
    const Case cases[] = {
        {"_NET_WM_NAME wins", "Digital Master 780 \xe2\x80\x93 main", "STRING", "old name", QString::fromUtf8("Digital Master 780 – main")},
        {"WM_NAME as Latin-1", {}, "STRING", "Caf\xe9 MMSSTV", QString::fromUtf8("Café MMSSTV")},
        {"WM_NAME as UTF-8", {}, "UTF8_STRING", "Caf\xc3\xa9 KG-STV", QString::fromUtf8("Café KG-STV")},
        {"empty _NET_WM_NAME falls back", "", "STRING", "EasyPal", "EasyPal"},
        {"no title at all", {}, "STRING", {}, QString()},
    };
    WindowMaker maker;
    auto desktop = openDesktop();
    ASSERT_NE(desktop, nullptr);
    for (const Case& c : cases) {
        const xcb_window_t w = maker.create({0, 0, 10, 10}, 0);
        if (!c.netWmName.isNull()) {
            maker.setText(w, "_NET_WM_NAME", "UTF8_STRING", c.netWmName);
        }
        if (!c.wmName.isNull()) {
            maker.setText(w, "WM_NAME", c.wmNameType, c.wmName);
        }
        maker.sync();
        const auto title = desktop->windowTitle(w);
        ASSERT_TRUE(title.has_value()) << c.name;
        EXPECT_EQ(*title, c.expected) << c.name;
    }
    EXPECT_EQ(desktop->windowTitle(0), std::nullopt);
}

TEST_F(X11DesktopBare, RectsAreWhereTheWindowsAreBorderIncluded) {
    WindowMaker maker;
    const xcb_window_t plain = maker.titled("MMSSTV rect plain", {37, 55, 211, 97});
    const xcb_window_t bordered = maker.create({400, 300, 100, 50}, 0x00ff00, 3);
    maker.setText(bordered, "WM_NAME", "STRING", "MMSSTV rect bordered");
    maker.map(plain);
    maker.map(bordered);
    maker.sync();

    auto desktop = openDesktop();
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(desktop->windowRect(plain), QRect(37, 55, 211, 97));
    EXPECT_EQ(desktop->windowRect(bordered), QRect(400, 300, 106, 56));
    const auto list = desktop->topLevelWindows();
    const int i = indexOf(list, bordered);
    ASSERT_GE(i, 0);
    EXPECT_EQ(list[std::size_t(i)].rect, QRect(400, 300, 106, 56));
    EXPECT_EQ(list[std::size_t(i)].title, "MMSSTV rect bordered");
}

TEST_F(X11DesktopBare, GrabCopiesTheScreenAndBlackBeyondItsEdges) {
    WindowMaker maker;
    // Red hanging over the bottom-right corner of the 1920 × 1080 screen, blue in the middle.
    const xcb_window_t red = maker.titled("grab red", {1800, 1000, 200, 200}, 0xff0000);
    const xcb_window_t blue = maker.titled("grab blue", {500, 400, 400, 300}, 0x0000ff);
    maker.map(red);
    maker.map(blue);
    maker.sync();

    for (const bool shm : {true, false}) {
        SCOPED_TRACE(shm ? "shared memory" : "plain GetImage");
        auto desktop = openDesktop(shm);
        ASSERT_NE(desktop, nullptr);
        EXPECT_EQ(desktop->usesSharedMemory(), shm);

        ASSERT_TRUE(waitUntil([&] {
            const QImage probe = desktop->grab({1850, 1030, 10, 10});
            return !probe.isNull() && (probe.pixel(0, 0) & 0xffffff) == 0xff0000;
        }));
        const QImage corner = desktop->grab({1850, 1030, 100, 100});
        ASSERT_EQ(corner.size(), QSize(100, 100));
        ASSERT_EQ(corner.format(), QImage::Format_RGB32);
        EXPECT_TRUE(allPixels(corner, {0, 0, 70, 50}, 0xff0000));
        EXPECT_TRUE(allPixels(corner, {70, 0, 30, 100}, 0x000000));
        EXPECT_TRUE(allPixels(corner, {0, 50, 100, 50}, 0x000000));

        // Growing and shrinking reuse the copy path and still land in the right place.
        const QImage small = desktop->grab({510, 410, 8, 8});
        EXPECT_TRUE(allPixels(small, small.rect(), 0x0000ff));
        const QImage large = desktop->grab({400, 300, 600, 500});
        ASSERT_EQ(large.size(), QSize(600, 500));
        EXPECT_TRUE(allPixels(large, {100, 100, 400, 300}, 0x0000ff));
        const QImage again = desktop->grab({899, 699, 3, 3});
        EXPECT_EQ(again.pixel(0, 0) & 0xffffff, 0x0000ffu);
        EXPECT_NE(again.pixel(2, 2) & 0xffffff, 0x0000ffu);

        const QImage beforeOrigin = desktop->grab({-20, -10, 40, 30});
        EXPECT_TRUE(allPixels(beforeOrigin, {0, 0, 40, 10}, 0x000000));
        EXPECT_TRUE(allPixels(beforeOrigin, {0, 0, 20, 30}, 0x000000));
        const QImage offScreen = desktop->grab({3000, 3000, 16, 16});
        ASSERT_FALSE(offScreen.isNull());
        EXPECT_TRUE(allPixels(offScreen, offScreen.rect(), 0x000000));

        EXPECT_TRUE(desktop->grab({0, 0, 0, 10}).isNull());
        EXPECT_TRUE(desktop->grab(QRect()).isNull());
    }
}

// ---------------------------------------------------------------------------------------------
// Under openbox: the stacking list of the window manager, frames and minimised windows.

class X11DesktopManaged : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        started_ = TestEnvironment::startWindowManager();
        // One client for the whole suite: a fresh connection may be handed the window ids of
        // one just closed, before openbox has forgotten those windows.
        maker_ = std::make_unique<WindowMaker>();
        WindowMaker& maker = *maker_;
        // openbox owns its selection before it manages new windows; its EWMH check window on
        // the root comes once it is ready.
        started_ = started_ && waitUntil([&] { return maker.hasProperty(maker.root(), "_NET_SUPPORTING_WM_CHECK"); });
        // The first window mapped right after openbox starts is sometimes never managed; map
        // a throwaway one so the tests' windows are not that one.
        const xcb_window_t warmUp = maker.titled("warm-up", {0, 0, 10, 10});
        maker.map(warmUp);
        maker.sync();
        waitUntil([&] { return maker.hasProperty(warmUp, "WM_STATE"); }, 500);
    }
    static void TearDownTestSuite() {
        maker_.reset();
        TestEnvironment::stopWindowManager();
    }
    void SetUp() override { ASSERT_TRUE(started_) << "openbox did not start"; }

    // Maps and waits until the window manager has framed the window.
    static bool mapManaged(WindowMaker& maker, xcb_window_t w) {
        maker.map(w);
        maker.sync();
        const bool ok = waitUntil([&] {
            return maker.hasProperty(w, "WM_STATE") && maker.hasProperty(w, "_NET_FRAME_EXTENTS") && maker.viewable(w);
        });
        return ok;
    }

    static inline bool started_ = false;
    static inline std::unique_ptr<WindowMaker> maker_;
};

TEST_F(X11DesktopManaged, SearchFollowsTheWindowManagersStacking) {
    WindowMaker& maker = *maker_;
    const xcb_window_t program = maker.titled("EasyPal - managed (program)", {100, 100, 300, 200});
    const xcb_window_t page = maker.titled("EasyPal - managed (browser)", {300, 200, 300, 200});
    ASSERT_TRUE(mapManaged(maker, program));
    ASSERT_TRUE(mapManaged(maker, page));

    auto desktop = openDesktop();
    ASSERT_NE(desktop, nullptr);
    ASSERT_TRUE(waitUntil([&] { return findWindowByTitle(*desktop, "EasyPal - managed") == page; }));
    EXPECT_EQ(findWindowByTitle(*desktop, "easypal - managed"), 0u);

    // Activated the way a taskbar does it: the program comes to the top.
    maker.sendToWm(program, "_NET_ACTIVE_WINDOW", 2, XCB_CURRENT_TIME);
    maker.sync();
    EXPECT_TRUE(waitUntil([&] { return findWindowByTitle(*desktop, "EasyPal - managed") == program; }));

    // Minimised windows stay in the list, as they do in the window search.
    maker.sendToWm(program, "WM_CHANGE_STATE", 3 /* IconicState */);
    maker.sync();
    ASSERT_TRUE(waitUntil([&] { return !maker.viewable(program); }));
    EXPECT_GE(indexOf(desktop->topLevelWindows(), program), 0);
    EXPECT_EQ(findWindowByTitle(*desktop, "managed (program)"), program);
}

TEST_F(X11DesktopManaged, RectIsTheOuterFrameAndGrabSeesTheClient) {
    WindowMaker& maker = *maker_;
    const xcb_window_t w = maker.titled("MMSSTV - managed rect", {200, 150, 320, 240}, 0x00ff00);
    ASSERT_TRUE(mapManaged(maker, w));

    auto desktop = openDesktop();
    ASSERT_NE(desktop, nullptr);
    QRect client;
    QRect frame;
    std::optional<QRect> rect;
    // openbox may still be settling the frame; wait for its geometry to agree.
    ASSERT_TRUE(waitUntil([&] {
        client = maker.clientArea(w);
        frame = maker.outerFrame(w);
        rect = desktop->windowRect(w);
        return rect && *rect == frame;
    })) << "rect " << (rect ? rect->x() : -1) << "," << (rect ? rect->y() : -1);
    EXPECT_EQ(client.size(), QSize(320, 240));
    EXPECT_TRUE(rect->contains(client));
    EXPECT_LT(rect->top(), client.top()) << "title bar not included";
    EXPECT_EQ(findWindowByTitle(*desktop, "MMSSTV - managed rect"), w);

    ASSERT_TRUE(waitUntil([&] {
        const QImage inside = desktop->grab(client.adjusted(2, 2, -2, -2));
        return !inside.isNull() && allPixels(inside, inside.rect(), 0x00ff00);
    }));
}

// Runs last in this suite: a window manager that exits leaves its stacking list on the root,
// which must not hide the windows that come after it.
TEST_F(X11DesktopManaged, WindowsAreFoundAfterTheWindowManagerExits) {
    ASSERT_TRUE(mapManaged(*maker_, maker_->titled("KG-STV - while managed", {10, 10, 100, 100})));
    TestEnvironment::stopWindowManager();
    WindowMaker maker;
    const xcb_window_t w = maker.titled("KG-STV - after the manager", {50, 60, 100, 80});
    maker.map(w);
    maker.sync();
    auto desktop = openDesktop();
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(findWindowByTitle(*desktop, "KG-STV - after the manager"), w);
    EXPECT_EQ(desktop->windowRect(w), QRect(50, 60, 100, 80));
}

} // namespace
} // namespace oculet
