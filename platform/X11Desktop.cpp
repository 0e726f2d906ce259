// Opening the connection to the X display, and what it tells of the screen.
#include "platform/X11Connection.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace oculet {
using namespace x11;
namespace {

constexpr int kConnectAttempts = 5;

} // namespace

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
    if (options.useWindowContent) {
        // Naming a window's pixmap came with version 0.2.
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_composite_id);
        if (ext != nullptr && ext->present) {
            const auto version = take<xcb_composite_query_version_reply_t>(
                xcb_composite_query_version_reply, c, xcb_composite_query_version(c, 0, 4));
            state->compositeAvailable =
                version && (version->major_version > 0 || version->minor_version >= 2);
        }
    }
    if (options.useWindowContent) {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_damage_id);
        if (ext != nullptr && ext->present) {
            // The version must be asked before any other request of the extension.
            state->damageAvailable = bool(take<xcb_damage_query_version_reply_t>(
                xcb_damage_query_version_reply, c, xcb_damage_query_version(c, 1, 1)));
            state->damageEvent = ext->first_event;
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

std::unique_ptr<Desktop> createX11Desktop(QString* error) { return X11Desktop::open(error); }

} // namespace oculet
