#pragma once

// What the parts of X11Desktop share: the XCB connection and what was learnt of the display
// when it was opened. Finding windows lives in X11Windows.cpp, copying the screen in
// X11ScreenCopy.cpp, opening the connection in X11Desktop.cpp. Private to those three files.

#include "platform/X11Desktop.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace oculet {
namespace x11 {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter>;

struct Disconnect {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

// Collects a reply and throws away the error that comes instead of it (a window that vanished
// between listing and reading is an ordinary event on a live desktop, not a fault).
template <class R, class Fn, class Cookie> Reply<R> take(Fn fn, xcb_connection_t* c, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    Reply<R> reply(fn(c, cookie, &error));
    std::free(error);
    return reply;
}

inline Reply<xcb_get_property_reply_t> takeProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    return take<xcb_get_property_reply_t>(xcb_get_property_reply, c, cookie);
}

enum Atom : int {
    NetClientListStacking,
    NetSupportingWmCheck,
    NetWmName,
    Utf8String,
    WmState,
    NetFrameExtents,
    NetWmPid,
    WmProtocols,
    WmDeleteWindow,
    AtomCount
};
inline constexpr std::array<const char*, AtomCount> kAtomNames = {
    "_NET_CLIENT_LIST_STACKING", "_NET_SUPPORTING_WM_CHECK", "_NET_WM_NAME",
    "UTF8_STRING",               "WM_STATE",                 "_NET_FRAME_EXTENTS",
    "_NET_WM_PID",               "WM_PROTOCOLS",             "WM_DELETE_WINDOW",
};

// How the root window's pixels are laid out in a ZPixmap, learnt once from the setup data.
struct PixelLayout {
    int bitsPerPixel = 32;
    int scanlinePad = 32;
    bool lsbFirst = true;
    std::uint32_t masks[3] = {0xff0000, 0x00ff00, 0x0000ff}; // red, green, blue
    // The common case: 32-bit BGRX in memory order, which is exactly QImage::Format_RGB32.
    bool matchesRgb32() const {
        return bitsPerPixel == 32 && lsbFirst == (std::endian::native == std::endian::little) &&
               masks[0] == 0xff0000 && masks[1] == 0x00ff00 && masks[2] == 0x0000ff;
    }
    int stride(int width) const {
        const int bits = width * bitsPerPixel;
        return ((bits + scanlinePad - 1) / scanlinePad) * scanlinePad / 8;
    }
};

// A System V shared-memory segment attached both here and in the X server. Marked for removal
// as soon as both sides hold it, so a crash cannot leave it behind.
class ShmSegment {
public:
    ShmSegment() = default;
    ShmSegment(const ShmSegment&) = delete;
    ShmSegment& operator=(const ShmSegment&) = delete;
    ~ShmSegment() { reset(); }

    bool create(xcb_connection_t* c, std::size_t bytes);
    void reset();

    xcb_shm_seg_t seg() const { return seg_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    xcb_connection_t* connection_ = nullptr;
    xcb_shm_seg_t seg_ = 0;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

struct TitleCookies {
    xcb_get_property_cookie_t netName;
    xcb_get_property_cookie_t wmName;
};

struct RectCookies {
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;
    xcb_get_property_cookie_t extents;
    xcb_query_tree_cookie_t tree;
};

} // namespace x11

struct X11Desktop::State {
    x11::Connection connection; // declared first: outlives the segment that refers to it
    xcb_window_t root = 0;
    std::array<xcb_atom_t, x11::AtomCount> atoms{};
    x11::PixelLayout layout;
    bool shmAvailable = false;
    x11::ShmSegment segment;
    QRect screen; // the root window's size at the last copy
    // Copies already in the segment, waiting for the grab of exactly their rectangle.
    struct Prefetched {
        QRect rect;
        std::size_t offset;
        int stride;
    };
    std::vector<Prefetched> prefetched;
    // Reading windows' own content (X11ScreenCopy.cpp): offered by the display, the segment
    // it is read through (apart from the screen copies waiting in `segment`), and the top-level
    // window redirected for it.
    bool compositeAvailable = false;
    x11::ShmSegment contentSegment;
    xcb_window_t redirected = XCB_NONE;
    // Watching for changes (X11ScreenCopy.cpp): the screen as a whole, and the watched window's
    // top level.
    bool damageAvailable = false;
    std::uint8_t damageEvent = 0;
    xcb_damage_damage_t screenDamage = XCB_NONE;
    xcb_damage_damage_t windowDamage = XCB_NONE;
    xcb_window_t watched = XCB_NONE;

    xcb_connection_t* c() const { return connection.get(); }
    bool alive() const { return xcb_connection_has_error(connection.get()) == 0; }

    xcb_get_property_cookie_t getProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                          std::uint32_t words) const {
        return xcb_get_property(c(), 0, window, property, type, 0, words);
    }

    // Finding windows (X11Windows.cpp).
    x11::TitleCookies askTitle(xcb_window_t window) const;
    std::optional<QString> readTitle(const x11::TitleCookies& cookies) const;
    x11::RectCookies askRect(xcb_window_t window) const;
    std::optional<QRect> readRect(const x11::RectCookies& cookies) const;
    std::optional<QRect> topLevelAncestorRect(xcb_window_t window) const;
    std::optional<std::vector<xcb_window_t>> managedStacking() const;
    std::vector<xcb_window_t> children(xcb_window_t window) const;
    bool hasWmState(xcb_window_t window) const;
    xcb_window_t findClient(xcb_window_t window, int depth) const;
    std::vector<xcb_window_t> treeStacking(std::vector<bool>& needsTitle) const;

    // Copying the screen (X11ScreenCopy.cpp).
    enum class Onto { Done, NothingToDraw, ScreenChanged, NotHere };
    bool readScreen(const QRect& clip, QImage& image, QPoint at);
    std::optional<QImage> grabAgainstKnownScreen(const QRect& screenRect);
    Onto fetch(const std::vector<QRect>& rects);
    Onto stretchFromSegment(const QRect& screenRect, QImage& dst, const QRect& dstRect);
    void prefetch(const std::vector<QRect>& rects);
    QImage copyOf(const QRect& screenRect, const QRect& screen);

    // Reading a window's own content (finding its top level in X11Windows.cpp).
    std::optional<xcb_window_t> topLevelOf(xcb_window_t window) const;
    bool contentOnto(xcb_window_t window, const QRect& screenRect, QImage& dst, const QRect& dstRect);
};

} // namespace oculet
