#include "platform/X11Desktop.h"

#include "platform/Stretch.h"
#include <QMargins>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>

namespace oculet {
namespace {

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

Reply<xcb_get_property_reply_t> takeProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
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
constexpr std::array<const char*, AtomCount> kAtomNames = {
    "_NET_CLIENT_LIST_STACKING", "_NET_SUPPORTING_WM_CHECK", "_NET_WM_NAME",
    "UTF8_STRING",               "WM_STATE",                 "_NET_FRAME_EXTENTS",
    "_NET_WM_PID",               "WM_PROTOCOLS",             "WM_DELETE_WINDOW",
};

// Titles are short; 4096 × 4 bytes is far beyond anything a window manager shows.
constexpr std::uint32_t kTitleWords = 4096;
// A client is never buried deeper than this below its frame; the bound keeps a hostile tree
// from costing more than a few round trips.
constexpr int kFrameDepth = 4;
constexpr int kConnectAttempts = 5;

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

std::uint32_t readPixel(const std::uint8_t* p, int bytes, bool lsbFirst) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        const int shift = lsbFirst ? 8 * i : 8 * (bytes - 1 - i);
        value |= std::uint32_t(p[i]) << shift;
    }
    return value;
}

// Scales the channel selected by mask to 0..255.
std::uint32_t channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const std::uint32_t value = (pixel & mask) >> shift;
    const std::uint32_t max = (bits >= 32) ? 0xffffffffu : ((1u << bits) - 1);
    return (value * 255 + max / 2) / max;
}

// Copies rows of server pixels into a Format_RGB32 image at the given place.
void convertRows(const std::uint8_t* data, int stride, const QSize& size, const PixelLayout& layout,
                 QImage& image, QPoint at) {
    for (int y = 0; y < size.height(); ++y) {
        const std::uint8_t* src = data + std::size_t(y) * std::size_t(stride);
        auto* dst = reinterpret_cast<std::uint32_t*>(image.scanLine(at.y() + y)) + at.x();
        if (layout.matchesRgb32()) {
            const auto* in = reinterpret_cast<const std::uint32_t*>(src);
            for (int x = 0; x < size.width(); ++x) {
                dst[x] = in[x] | 0xff000000u;
            }
            continue;
        }
        const int bytes = layout.bitsPerPixel / 8;
        for (int x = 0; x < size.width(); ++x) {
            const std::uint32_t pixel = readPixel(src + x * bytes, bytes, layout.lsbFirst);
            dst[x] = 0xff000000u | (channel(pixel, layout.masks[0]) << 16) |
                     (channel(pixel, layout.masks[1]) << 8) | channel(pixel, layout.masks[2]);
        }
    }
}

// A System V shared-memory segment attached both here and in the X server. Marked for removal
// as soon as both sides hold it, so a crash cannot leave it behind.
class ShmSegment {
public:
    ShmSegment() = default;
    ShmSegment(const ShmSegment&) = delete;
    ShmSegment& operator=(const ShmSegment&) = delete;
    ~ShmSegment() { reset(); }

    bool create(xcb_connection_t* c, std::size_t bytes) {
        reset();
        const int id = ::shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (id < 0) {
            return false;
        }
        void* addr = ::shmat(id, nullptr, 0);
        if (addr == reinterpret_cast<void*>(-1)) {
            ::shmctl(id, IPC_RMID, nullptr);
            return false;
        }
        const xcb_shm_seg_t seg = xcb_generate_id(c);
        xcb_generic_error_t* error = xcb_request_check(c, xcb_shm_attach_checked(c, seg, id, 0));
        ::shmctl(id, IPC_RMID, nullptr);
        if (error != nullptr) {
            std::free(error);
            ::shmdt(addr);
            return false;
        }
        connection_ = c;
        seg_ = seg;
        data_ = static_cast<std::uint8_t*>(addr);
        size_ = bytes;
        return true;
    }

    void reset() {
        if (data_ != nullptr) {
            xcb_shm_detach(connection_, seg_);
            xcb_flush(connection_);
            ::shmdt(data_);
        }
        connection_ = nullptr;
        data_ = nullptr;
        size_ = 0;
        seg_ = 0;
    }

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

QString propertyText(const xcb_get_property_reply_t* reply) {
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
    const int length = xcb_get_property_value_length(reply);
    return QString::fromUtf8(bytes, length);
}

} // namespace

struct X11Desktop::State {
    Connection connection; // declared first: outlives the segment that refers to it
    xcb_window_t root = 0;
    std::array<xcb_atom_t, AtomCount> atoms{};
    PixelLayout layout;
    bool shmAvailable = false;
    ShmSegment segment;
    QRect screen; // the root window's size at the last copy
    // Copies already in the segment, waiting for the grab of exactly their rectangle.
    struct Prefetched {
        QRect rect;
        std::size_t offset;
        int stride;
    };
    std::vector<Prefetched> prefetched;

    xcb_connection_t* c() const { return connection.get(); }
    bool alive() const { return xcb_connection_has_error(connection.get()) == 0; }

    xcb_get_property_cookie_t getProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                          std::uint32_t words) const {
        return xcb_get_property(c(), 0, window, property, type, 0, words);
    }

    TitleCookies askTitle(xcb_window_t window) const {
        return {getProperty(window, atoms[NetWmName], atoms[Utf8String], kTitleWords),
                getProperty(window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kTitleWords)};
    }

    std::optional<QString> readTitle(const TitleCookies& cookies) const {
        const auto netName = takeProperty(c(), cookies.netName);
        const auto wmName = takeProperty(c(), cookies.wmName);
        if (!netName && !wmName) {
            return std::nullopt; // BadWindow: the window is gone
        }
        if (netName && netName->type == atoms[Utf8String] && xcb_get_property_value_length(netName.get()) > 0) {
            return propertyText(netName.get());
        }
        if (!wmName || wmName->format != 8 || xcb_get_property_value_length(wmName.get()) == 0) {
            return QString();
        }
        if (wmName->type == atoms[Utf8String]) {
            return propertyText(wmName.get());
        }
        // STRING is Latin-1 by definition; COMPOUND_TEXT agrees with it for plain text, which is
        // all a title fragment search needs.
        const auto* bytes = static_cast<const char*>(xcb_get_property_value(wmName.get()));
        return QString::fromLatin1(bytes, xcb_get_property_value_length(wmName.get()));
    }

    RectCookies askRect(xcb_window_t window) const {
        return {xcb_get_geometry(c(), window), xcb_translate_coordinates(c(), window, root, 0, 0),
                getProperty(window, atoms[NetFrameExtents], XCB_ATOM_CARDINAL, 4), xcb_query_tree(c(), window)};
    }

    std::optional<QRect> readRect(const RectCookies& cookies) const {
        const auto geometry = take<xcb_get_geometry_reply_t>(xcb_get_geometry_reply, c(), cookies.geometry);
        const auto origin = take<xcb_translate_coordinates_reply_t>(xcb_translate_coordinates_reply, c(), cookies.origin);
        const auto extents = takeProperty(c(), cookies.extents);
        const auto tree = take<xcb_query_tree_reply_t>(xcb_query_tree_reply, c(), cookies.tree);
        if (!geometry || !origin || !tree) {
            return std::nullopt;
        }
        const int border = geometry->border_width;
        const QRect client(origin->dst_x - border, origin->dst_y - border, geometry->width + 2 * border,
                           geometry->height + 2 * border);
        if (extents && extents->format == 32 && xcb_get_property_value_length(extents.get()) == 16) {
            const auto* e = static_cast<const std::uint32_t*>(xcb_get_property_value(extents.get()));
            return client.adjusted(-int(e[0]), -int(e[2]), int(e[1]), int(e[3])); // left, right, top, bottom
        }
        if (tree->parent != root && tree->parent != XCB_NONE) {
            // Reparented by a window manager that does not announce its frame sizes: the outer
            // frame is the ancestor that sits directly on the root.
            if (auto frame = topLevelAncestorRect(tree->parent)) {
                return frame;
            }
        }
        return client;
    }

    std::optional<QRect> topLevelAncestorRect(xcb_window_t window) const {
        for (int depth = 0; depth < kFrameDepth; ++depth) {
            const auto tree = take<xcb_query_tree_reply_t>(xcb_query_tree_reply, c(), xcb_query_tree(c(), window));
            if (!tree) {
                return std::nullopt;
            }
            if (tree->parent == root || tree->parent == XCB_NONE) {
                const auto g = take<xcb_get_geometry_reply_t>(xcb_get_geometry_reply, c(), xcb_get_geometry(c(), window));
                if (!g) {
                    return std::nullopt;
                }
                return QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
            }
            window = tree->parent;
        }
        return std::nullopt;
    }

    // The window manager's own list, when a live EWMH window manager keeps one. A list left on
    // the root by a window manager that has since exited would hide every newer window, so the
    // manager's check window must still point at itself.
    std::optional<std::vector<xcb_window_t>> managedStacking() const {
        const auto check = takeProperty(c(), getProperty(root, atoms[NetSupportingWmCheck], XCB_ATOM_WINDOW, 1));
        if (!check || check->format != 32 || xcb_get_property_value_length(check.get()) != 4) {
            return std::nullopt;
        }
        const xcb_window_t wm = *static_cast<const xcb_window_t*>(xcb_get_property_value(check.get()));
        const auto listCookie = getProperty(root, atoms[NetClientListStacking], XCB_ATOM_WINDOW, 0x10000);
        const auto self = takeProperty(c(), getProperty(wm, atoms[NetSupportingWmCheck], XCB_ATOM_WINDOW, 1));
        const auto list = takeProperty(c(), listCookie);
        if (!self || self->format != 32 || xcb_get_property_value_length(self.get()) != 4 ||
            *static_cast<const xcb_window_t*>(xcb_get_property_value(self.get())) != wm) {
            return std::nullopt;
        }
        if (!list || list->format != 32 || list->type != XCB_ATOM_WINDOW) {
            return std::nullopt;
        }
        const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
        const int count = xcb_get_property_value_length(list.get()) / 4;
        // The property lists bottom to top.
        return std::vector<xcb_window_t>(std::make_reverse_iterator(ids + count), std::make_reverse_iterator(ids));
    }

    std::vector<xcb_window_t> children(xcb_window_t window) const {
        const auto tree = take<xcb_query_tree_reply_t>(xcb_query_tree_reply, c(), xcb_query_tree(c(), window));
        if (!tree) {
            return {};
        }
        const xcb_window_t* ids = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        return std::vector<xcb_window_t>(std::make_reverse_iterator(ids + count), std::make_reverse_iterator(ids));
    }

    bool hasWmState(xcb_window_t window) const {
        const auto state = takeProperty(c(), getProperty(window, atoms[WmState], XCB_GET_PROPERTY_TYPE_ANY, 0));
        return state && state->type != XCB_NONE;
    }

    // Below a window manager frame, the client is the window that carries WM_STATE.
    xcb_window_t findClient(xcb_window_t window, int depth) const {
        if (hasWmState(window)) {
            return window;
        }
        if (depth >= kFrameDepth) {
            return XCB_NONE;
        }
        for (xcb_window_t child : children(window)) {
            if (const xcb_window_t client = findClient(child, depth + 1)) {
                return client;
            }
        }
        return XCB_NONE;
    }

    // Without a live window manager list: the root's children top-down, each either a frame
    // holding a client or, on a bare server, a titled top-level window itself.
    std::vector<xcb_window_t> treeStacking(std::vector<bool>& needsTitle) const {
        std::vector<xcb_window_t> result;
        for (xcb_window_t child : children(root)) {
            if (const xcb_window_t client = findClient(child, 0)) {
                result.push_back(client);
                needsTitle.push_back(false);
            } else {
                result.push_back(child);
                needsTitle.push_back(true);
            }
        }
        return result;
    }

    // Copies clip, which lies on the screen, into image at the given place; false when the
    // server gave nothing.
    bool readScreen(const QRect& clip, QImage& image, QPoint at) {
        xcb_connection_t* c = this->c();
        const int stride = layout.stride(clip.width());
        const std::size_t bytes = std::size_t(stride) * std::size_t(clip.height());

        if (shmAvailable && segment.size() < bytes) {
            // Grown past the segment (or the first grab): make one that fits and keep it.
            if (!segment.create(c, bytes)) {
                shmAvailable = false; // e.g. a display on another machine: copy over the wire
            }
        }
        prefetched.clear(); // this copy goes where they are
        const bool triedSegment = shmAvailable;
        if (shmAvailable) {
            const auto reply = take<xcb_shm_get_image_reply_t>(
                xcb_shm_get_image_reply, c,
                xcb_shm_get_image(c, root, std::int16_t(clip.x()), std::int16_t(clip.y()), std::uint16_t(clip.width()),
                                  std::uint16_t(clip.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment.seg(), 0));
            if (reply) {
                convertRows(segment.data(), stride, clip.size(), layout, image, at);
                return true;
            }
            if (!alive()) {
                return false;
            }
        }
        const auto reply = take<xcb_get_image_reply_t>(
            xcb_get_image_reply, c,
            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, std::int16_t(clip.x()), std::int16_t(clip.y()),
                          std::uint16_t(clip.width()), std::uint16_t(clip.height()), ~0u));
        if (!reply || std::size_t(xcb_get_image_data_length(reply.get())) < bytes) {
            return false; // e.g. the screen shrank under the rectangle: no fault of the segment
        }
        if (triedSegment) {
            // The server refused the segment but not the copy; stop using it rather than fail
            // every frame.
            segment.reset();
            shmAvailable = false;
        }
        convertRows(xcb_get_image_data(reply.get()), stride, clip.size(), layout, image, at);
        return true;
    }

    // One copy against the screen size last seen; the current size is asked for in the same
    // round trip. Nothing when the screen has changed size meanwhile: the size is updated then.
    std::optional<QImage> grabAgainstKnownScreen(const QRect& screenRect) {
        const xcb_get_geometry_cookie_t geometryCookie = xcb_get_geometry(c(), root);
        QImage image = copyOf(screenRect, screen);
        const auto g = take<xcb_get_geometry_reply_t>(xcb_get_geometry_reply, c(), geometryCookie);
        const QRect now = g ? QRect(0, 0, g->width, g->height) : QRect();
        if (now != screen) {
            screen = now;
            return std::nullopt;
        }
        return image;
    }

    enum class Onto { Done, NothingToDraw, ScreenChanged, NotHere };

    // Every rectangle wholly on a screen whose pixels are already Format_RGB32 copied into its
    // own part of the shared segment, all asked for before any answer is read, together with the
    // screen's size. Whatever was fetched before is dropped: the new copies go where it was.
    Onto fetch(const std::vector<QRect>& rects) {
        prefetched.clear();
        if (!shmAvailable || !layout.matchesRgb32()) {
            return Onto::NotHere;
        }
        std::vector<Prefetched> planned;
        std::size_t total = 0;
        for (const QRect& rect : rects) {
            if (rect.isValid() && !rect.isEmpty() && screen.contains(rect)) {
                const int stride = layout.stride(rect.width());
                planned.push_back({rect, total, stride});
                // Each part starts on a 64-byte line, where the stretch reads fastest.
                total += (std::size_t(stride) * std::size_t(rect.height()) + 63) & ~std::size_t(63);
            }
        }
        xcb_connection_t* c = this->c();
        if (planned.empty() || (segment.size() < total && !segment.create(c, total))) {
            return Onto::NotHere; // the copying path decides whether to give up on segments
        }
        const xcb_get_geometry_cookie_t geometryCookie = xcb_get_geometry(c, root);
        std::vector<xcb_shm_get_image_cookie_t> cookies;
        for (const Prefetched& p : planned) {
            cookies.push_back(xcb_shm_get_image(c, root, std::int16_t(p.rect.x()), std::int16_t(p.rect.y()),
                                                std::uint16_t(p.rect.width()), std::uint16_t(p.rect.height()), ~0u,
                                                XCB_IMAGE_FORMAT_Z_PIXMAP, segment.seg(), std::uint32_t(p.offset)));
        }
        std::vector<Prefetched> copied;
        for (std::size_t i = 0; i < planned.size(); ++i) {
            if (take<xcb_shm_get_image_reply_t>(xcb_shm_get_image_reply, c, cookies[i])) {
                copied.push_back(planned[i]);
            }
        }
        const auto g = take<xcb_get_geometry_reply_t>(xcb_get_geometry_reply, c, geometryCookie);
        const QRect now = g ? QRect(0, 0, g->width, g->height) : QRect();
        if (now != screen) {
            screen = now;
            return Onto::ScreenChanged;
        }
        prefetched = std::move(copied);
        return Onto::Done;
    }

    // The fast way: stretched straight out of the shared segment, with no copy in between, from
    // a copy fetched earlier or fetched now.
    Onto stretchFromSegment(const QRect& screenRect, QImage& dst, const QRect& dstRect) {
        const auto fetched = [&] {
            return std::find_if(prefetched.begin(), prefetched.end(),
                                [&](const Prefetched& p) { return p.rect == screenRect; });
        };
        auto waiting = fetched();
        if (waiting == prefetched.end()) {
            if (const Onto result = fetch({screenRect}); result != Onto::Done) {
                return result;
            }
            waiting = fetched();
            if (waiting == prefetched.end()) {
                return Onto::NotHere; // the server refused the segment: the copying path finds out
            }
        }
        // The padding byte may hold anything; the stretch makes every pixel opaque.
        const QImage pixels(segment.data() + waiting->offset, screenRect.width(), screenRect.height(),
                            waiting->stride, QImage::Format_RGB32);
        prefetched.erase(waiting);
        return stretchInto(dst, dstRect, pixels) ? Onto::Done : Onto::NothingToDraw;
    }

    // Several rectangles in one exchange; a single one is left to its own grab.
    void prefetch(const std::vector<QRect>& rects) {
        if (rects.size() < 2) {
            prefetched.clear();
            return;
        }
        fetch(rects);
    }

    QImage copyOf(const QRect& screenRect, const QRect& screen) {
        if (screen.isEmpty()) {
            return {};
        }
        // Beyond the screen there is only black, and every copy is stretched onto the frame in
        // the end: a rectangle wider or taller than the screen comes back squeezed to the
        // screen's size on that axis, so a huge stored rectangle costs a screenful of memory,
        // never gigabytes.
        QImage image(screenRect.size().boundedTo(screen.size()), QImage::Format_RGB32);
        if (image.isNull()) {
            return {}; // more than memory allows
        }
        const QRect clip = screenRect & screen;
        if (clip != screenRect) {
            image.fill(0xff000000u);
        }
        if (clip.isEmpty()) {
            return image;
        }
        if (image.size() == screenRect.size()) {
            return readScreen(clip, image, clip.topLeft() - screenRect.topLeft()) ? image : QImage();
        }
        QImage onScreen(clip.size(), QImage::Format_RGB32);
        if (!readScreen(clip, onScreen, QPoint(0, 0))) {
            return {};
        }
        stretchInto(image, image.rect(), onScreen, QRect(screenRect.topLeft() - clip.topLeft(), screenRect.size()));
        return image;
    }
};

X11Desktop::X11Desktop(std::unique_ptr<State> state) : d_(std::move(state)) {}
X11Desktop::~X11Desktop() = default;

std::unique_ptr<X11Desktop> X11Desktop::open(QString* error, Options options) {
    int screenNumber = 0;
    Connection connection;
    // A local server now and then drops a connection it has just accepted when clients come and
    // go quickly; a short retry keeps that from looking like a missing display.
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        connection.reset(xcb_connect(nullptr, &screenNumber));
        if (xcb_connection_has_error(connection.get()) == 0 || qEnvironmentVariableIsEmpty("DISPLAY")) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!connection || xcb_connection_has_error(connection.get()) != 0) {
        if (error != nullptr) {
            const QByteArray display = qgetenv("DISPLAY");
            *error = display.isEmpty()
                         ? QStringLiteral("No X display: DISPLAY is not set. Oculet needs an X11 (or XWayland) session.")
                         : QStringLiteral("Cannot open the X display \"%1\".").arg(QString::fromLocal8Bit(display));
        }
        return nullptr;
    }
    auto state = std::make_unique<State>();
    state->connection = std::move(connection);
    xcb_connection_t* c = state->c();
    const xcb_setup_t* setup = xcb_get_setup(c);

    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
        xcb_screen_next(&it);
    }
    if (it.rem == 0) {
        if (error != nullptr) {
            *error = QStringLiteral("The X display has no screen %1.").arg(screenNumber);
        }
        return nullptr;
    }
    const xcb_screen_t* screen = it.data;
    state->root = screen->root;

    std::array<xcb_intern_atom_cookie_t, AtomCount> cookies{};
    for (int i = 0; i < AtomCount; ++i) {
        cookies[i] = xcb_intern_atom(c, 0, std::uint16_t(std::strlen(kAtomNames[i])), kAtomNames[i]);
    }
    for (int i = 0; i < AtomCount; ++i) {
        const auto reply = take<xcb_intern_atom_reply_t>(xcb_intern_atom_reply, c, cookies[i]);
        state->atoms[i] = reply ? reply->atom : XCB_NONE;
    }

    PixelLayout& layout = state->layout;
    layout.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
        if (f.data->depth == screen->root_depth) {
            layout.bitsPerPixel = f.data->bits_per_pixel;
            layout.scanlinePad = f.data->scanline_pad;
        }
    }
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem > 0; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual) {
                layout.masks[0] = v.data->red_mask;
                layout.masks[1] = v.data->green_mask;
                layout.masks[2] = v.data->blue_mask;
            }
        }
    }
    if (layout.bitsPerPixel % 8 != 0 || layout.bitsPerPixel < 8 || layout.bitsPerPixel > 32) {
        if (error != nullptr) {
            *error = QStringLiteral("The X display uses %1 bits per pixel, which Oculet cannot read.")
                         .arg(layout.bitsPerPixel);
        }
        return nullptr;
    }

    if (options.useSharedMemory) {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
        if (ext != nullptr && ext->present) {
            state->shmAvailable =
                bool(take<xcb_shm_query_version_reply_t>(xcb_shm_query_version_reply, c, xcb_shm_query_version(c)));
        }
    }
    return std::unique_ptr<X11Desktop>(new X11Desktop(std::move(state)));
}

bool X11Desktop::usesSharedMemory() const { return d_->shmAvailable; }

QRect X11Desktop::virtualScreen() {
    const auto g = take<xcb_get_geometry_reply_t>(xcb_get_geometry_reply, d_->c(), xcb_get_geometry(d_->c(), d_->root));
    if (!g) {
        return {};
    }
    return QRect(0, 0, g->width, g->height);
}

std::vector<TopLevelWindow> X11Desktop::topLevelWindows() {
    std::vector<xcb_window_t> ids;
    std::vector<bool> needsTitle;
    if (auto managed = d_->managedStacking()) {
        ids = std::move(*managed);
        needsTitle.assign(ids.size(), false);
    } else {
        ids = d_->treeStacking(needsTitle);
    }
    // Ask for everything first, then read: one round trip's wait for the whole list.
    std::vector<TitleCookies> titles;
    std::vector<RectCookies> rects;
    titles.reserve(ids.size());
    rects.reserve(ids.size());
    for (xcb_window_t id : ids) {
        titles.push_back(d_->askTitle(id));
        rects.push_back(d_->askRect(id));
    }
    std::vector<TopLevelWindow> result;
    result.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        auto title = d_->readTitle(titles[i]);
        auto rect = d_->readRect(rects[i]);
        if (!title || !rect) {
            continue; // gone since it was listed
        }
        if (needsTitle[i] && title->isEmpty()) {
            continue;
        }
        result.push_back({ids[i], std::move(*title), *rect});
    }
    return result;
}

std::optional<QString> X11Desktop::windowTitle(WindowId id) {
    if (id == 0) {
        return std::nullopt;
    }
    return d_->readTitle(d_->askTitle(id));
}

std::optional<QRect> X11Desktop::windowRect(WindowId id) {
    if (id == 0) {
        return std::nullopt;
    }
    return d_->readRect(d_->askRect(id));
}

std::optional<TopLevelWindow> X11Desktop::window(WindowId id) {
    if (id == 0) {
        return std::nullopt;
    }
    const auto titleCookies = d_->askTitle(id);
    const auto rectCookies = d_->askRect(id);
    std::optional<QString> title = d_->readTitle(titleCookies);
    const std::optional<QRect> rect = d_->readRect(rectCookies);
    if (!title || !rect) {
        return std::nullopt;
    }
    return TopLevelWindow{id, std::move(*title), *rect};
}

QImage X11Desktop::grab(const QRect& screenRect) {
    if (!screenRect.isValid() || screenRect.isEmpty() || !d_->alive()) {
        return {};
    }
    if (d_->screen.isEmpty()) {
        d_->screen = virtualScreen();
    }
    // A copy made against a screen size that has just changed is made once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (auto image = d_->grabAgainstKnownScreen(screenRect)) {
            return *image;
        }
    }
    return {};
}

void X11Desktop::prefetch(const std::vector<QRect>& screenRects) {
    if (!d_->alive()) {
        return;
    }
    if (d_->screen.isEmpty()) {
        d_->screen = virtualScreen();
    }
    d_->prefetch(screenRects);
}

bool X11Desktop::grabOnto(const QRect& screenRect, QImage& dst, const QRect& dstRect) {
    if (!screenRect.isValid() || screenRect.isEmpty() || !d_->alive()) {
        return false;
    }
    if (d_->screen.isEmpty()) {
        d_->screen = virtualScreen();
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        switch (d_->stretchFromSegment(screenRect, dst, dstRect)) {
        case State::Onto::Done: return true;
        case State::Onto::NothingToDraw: return false;
        case State::Onto::ScreenChanged: continue;
        case State::Onto::NotHere: return Desktop::grabOnto(screenRect, dst, dstRect);
        }
    }
    return Desktop::grabOnto(screenRect, dst, dstRect);
}

WindowId X11Desktop::findWindowOfProcess(qint64 pid) {
    if (pid <= 0) {
        return 0;
    }
    std::vector<bool> unusedTitleFlags;
    std::vector<xcb_window_t> ids;
    if (auto managed = d_->managedStacking()) {
        ids = std::move(*managed);
    } else {
        ids = d_->treeStacking(unusedTitleFlags);
    }
    xcb_connection_t* c = d_->c();
    std::vector<xcb_get_property_cookie_t> pids;
    std::vector<xcb_get_window_attributes_cookie_t> attributes;
    for (xcb_window_t id : ids) {
        pids.push_back(d_->getProperty(id, d_->atoms[NetWmPid], XCB_ATOM_CARDINAL, 1));
        attributes.push_back(xcb_get_window_attributes(c, id));
    }
    WindowId found = 0;
    // Every reply is collected, also after a match, so none is left queued on the connection.
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const auto owner = takeProperty(c, pids[i]);
        const auto attrs = take<xcb_get_window_attributes_reply_t>(xcb_get_window_attributes_reply, c, attributes[i]);
        const bool ours = owner && owner->format == 32 && xcb_get_property_value_length(owner.get()) == 4 &&
                          *static_cast<const std::uint32_t*>(xcb_get_property_value(owner.get())) == std::uint32_t(pid);
        // A toolkit's hidden helper windows carry the process id too; only a shown window counts.
        if (found == 0 && ours && attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE) {
            found = ids[i];
        }
    }
    return found;
}

void X11Desktop::placeWindowOnTop(WindowId id, const QRect& rect) {
    if (id == 0 || !rect.isValid()) {
        return;
    }
    xcb_connection_t* c = d_->c();
    // The size asked for is the client's: a window manager's frame around it is taken off, so
    // the outer frame ends up covering the rectangle. Its top-left corner is placed by the
    // window manager (north-west gravity) or, without one, is the client's own.
    QMargins frame;
    const auto extents = takeProperty(c, d_->getProperty(id, d_->atoms[NetFrameExtents], XCB_ATOM_CARDINAL, 4));
    if (extents && extents->format == 32 && xcb_get_property_value_length(extents.get()) == 16) {
        const auto* e = static_cast<const std::uint32_t*>(xcb_get_property_value(extents.get()));
        frame = QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3]));
    }
    const std::uint32_t values[] = {
        std::uint32_t(std::int32_t(rect.x())), std::uint32_t(std::int32_t(rect.y())),
        std::uint32_t(std::max(1, rect.width() - frame.left() - frame.right())),
        std::uint32_t(std::max(1, rect.height() - frame.top() - frame.bottom())), XCB_STACK_MODE_ABOVE};
    xcb_configure_window(c, id,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT | XCB_CONFIG_WINDOW_STACK_MODE,
                         values);
    xcb_flush(c);
}

void X11Desktop::askToClose(WindowId id) {
    if (id == 0) {
        return;
    }
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = d_->atoms[WmProtocols];
    event.data.data32[0] = d_->atoms[WmDeleteWindow];
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(d_->c(), 0, id, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(d_->c());
}

std::unique_ptr<Desktop> createX11Desktop(QString* error) { return X11Desktop::open(error); }

} // namespace oculet
