#include "tests/support/X11Probe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>
#include <xcb/xcb.h>

namespace oculet::test {
namespace {

// xcb replies are malloc'ed; each one is owned by a unique_ptr that frees it.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

struct ConnectionDeleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};


// xdotool drives the XTest extension for us; it ships with the test packages, and a key press
// that arrives through XTest is indistinguishable from a real keyboard for the receiving program.
bool runXdotool(const QStringList& args) {
    QProcess xdotool;
    xdotool.setProcessChannelMode(QProcess::MergedChannels);
    xdotool.start(QStringLiteral("xdotool"), args);
    if (!xdotool.waitForFinished(5000)) {
        xdotool.kill();
        xdotool.waitForFinished(1000);
        return false;
    }
    return xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

} // namespace

bool pollUntil(int timeout_ms, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (done()) {
            return true;
        }
        if (clock.elapsed() >= timeout_ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(20);
    }
}

struct X11Probe::Impl {
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> conn;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_atom_t netClientList = XCB_ATOM_NONE;
    xcb_atom_t netClientListStacking = XCB_ATOM_NONE;
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t netWmPid = XCB_ATOM_NONE;
    xcb_atom_t wmState = XCB_ATOM_NONE;
    xcb_atom_t netFrameExtents = XCB_ATOM_NONE;
    xcb_atom_t netActiveWindow = XCB_ATOM_NONE;
    xcb_atom_t netSupportingWmCheck = XCB_ATOM_NONE;

    xcb_connection_t* c() const { return conn.get(); }

    xcb_atom_t atom(const char* name) {
        auto cookie = xcb_intern_atom(c(), 0, static_cast<uint16_t>(std::strlen(name)), name);
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c(), cookie, nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    Reply<xcb_get_property_reply_t> property(xcb_window_t w, xcb_atom_t prop, xcb_atom_t type,
                                             uint32_t maxLength32 = 4096) {
        auto cookie = xcb_get_property(c(), 0, w, prop, type, 0, maxLength32);
        return Reply<xcb_get_property_reply_t>(xcb_get_property_reply(c(), cookie, nullptr));
    }

    // A window-list property; empty when the property is absent (not when it lists nothing).
    std::optional<std::vector<xcb_window_t>> windowList(xcb_window_t w, xcb_atom_t prop) {
        auto reply = property(w, prop, XCB_ATOM_WINDOW, 65536);
        if (!reply || reply->format != 32 || reply->type != XCB_ATOM_WINDOW) {
            return std::nullopt;
        }
        const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
        return std::vector<xcb_window_t>(ids, ids + xcb_get_property_value_length(reply.get()) / 4);
    }

    bool exists(xcb_window_t w) {
        Reply<xcb_get_window_attributes_reply_t> attrs(
            xcb_get_window_attributes_reply(c(), xcb_get_window_attributes(c(), w), nullptr));
        return attrs != nullptr;
    }

    bool hasProperty(xcb_window_t w, xcb_atom_t prop) {
        auto reply = property(w, prop, XCB_ATOM_ANY, 0);
        return reply && reply->type != XCB_ATOM_NONE;
    }

    QString title(xcb_window_t w) {
        if (auto net = property(w, netWmName, utf8String); net && net->type == utf8String) {
            const int length = xcb_get_property_value_length(net.get());
            if (length > 0) {
                return QString::fromUtf8(
                    static_cast<const char*>(xcb_get_property_value(net.get())), length);
            }
        }
        auto name = property(w, XCB_ATOM_WM_NAME, XCB_ATOM_ANY);
        if (!name || name->type == XCB_ATOM_NONE || name->format != 8) {
            return {};
        }
        const char* text = static_cast<const char*>(xcb_get_property_value(name.get()));
        const int length = xcb_get_property_value_length(name.get());
        // STRING is Latin-1 by definition. COMPOUND_TEXT of plain ASCII, which is all the test
        // programs set, reads the same; UTF8_STRING is what current toolkits write.
        if (name->type == utf8String) {
            return QString::fromUtf8(text, length);
        }
        return QString::fromLatin1(text, length);
    }

    // The client window below a window-manager frame: the first descendant carrying WM_STATE.
    xcb_window_t clientBelow(xcb_window_t w, int depth) {
        if (hasProperty(w, wmState)) {
            return w;
        }
        if (depth == 0) {
            return XCB_WINDOW_NONE;
        }
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c(), xcb_query_tree(c(), w), nullptr));
        if (!tree) {
            return XCB_WINDOW_NONE;
        }
        const xcb_window_t* kids = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        for (int i = count - 1; i >= 0; --i) {
            if (xcb_window_t found = clientBelow(kids[i], depth - 1); found != XCB_WINDOW_NONE) {
                return found;
            }
        }
        return XCB_WINDOW_NONE;
    }

    bool wmRunning() {
        const auto check = windowList(root, netSupportingWmCheck);
        // A window manager that has gone away leaves its root properties behind; its check
        // window, though, dies with its connection.
        return check && !check->empty() && exists(check->front());
    }

    // Top-level clients, topmost first.
    std::vector<xcb_window_t> clients() {
        if (wmRunning()) {
            // A list that is present but empty means no clients, not "look elsewhere": the root
            // also holds the toolkits' unmapped helper windows.
            auto stacking = windowList(root, netClientListStacking);
            if (!stacking) {
                stacking = windowList(root, netClientList);
            }
            if (stacking) {
                return {stacking->rbegin(), stacking->rend()};
            }
        }
        std::vector<xcb_window_t> out;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c(), xcb_query_tree(c(), root), nullptr));
        if (!tree) {
            return out;
        }
        const xcb_window_t* kids = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        // query_tree lists children bottom to top.
        for (int i = count - 1; i >= 0; --i) {
            xcb_window_t client = clientBelow(kids[i], 2);
            if (client == XCB_WINDOW_NONE && !title(kids[i]).isEmpty()) {
                client = kids[i]; // no window manager: nobody sets WM_STATE
            }
            if (client != XCB_WINDOW_NONE) {
                out.push_back(client);
            }
        }
        return out;
    }

    std::optional<ProbedWindow> describe(xcb_window_t w) {
        auto attrsCookie = xcb_get_window_attributes(c(), w);
        auto geomCookie = xcb_get_geometry(c(), w);
        auto posCookie = xcb_translate_coordinates(c(), w, root, 0, 0);
        Reply<xcb_get_window_attributes_reply_t> attrs(
            xcb_get_window_attributes_reply(c(), attrsCookie, nullptr));
        Reply<xcb_get_geometry_reply_t> geom(xcb_get_geometry_reply(c(), geomCookie, nullptr));
        Reply<xcb_translate_coordinates_reply_t> pos(
            xcb_translate_coordinates_reply(c(), posCookie, nullptr));
        if (!attrs || !geom || !pos) {
            return std::nullopt; // destroyed while we looked
        }
        ProbedWindow out;
        out.id = w;
        out.mapped = attrs->map_state == XCB_MAP_STATE_VIEWABLE;
        out.geometry = QRect(pos->dst_x, pos->dst_y, geom->width, geom->height);
        out.frame = out.geometry;
        out.title = title(w);
        if (auto pid = property(w, netWmPid, XCB_ATOM_CARDINAL, 1);
            pid && pid->format == 32 && xcb_get_property_value_length(pid.get()) == 4) {
            out.pid = *static_cast<const uint32_t*>(xcb_get_property_value(pid.get()));
        }
        if (auto tf = windowList(w, XCB_ATOM_WM_TRANSIENT_FOR); tf && !tf->empty()) {
            out.transientFor = tf->front();
        }
        if (auto ext = property(w, netFrameExtents, XCB_ATOM_CARDINAL, 4);
            ext && ext->format == 32 && xcb_get_property_value_length(ext.get()) == 16) {
            const auto* e = static_cast<const uint32_t*>(xcb_get_property_value(ext.get()));
            out.frame = out.geometry.adjusted(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
        }
        return out;
    }

    xcb_window_t focusedWindow() {
        Reply<xcb_get_input_focus_reply_t> reply(
            xcb_get_input_focus_reply(c(), xcb_get_input_focus(c()), nullptr));
        return reply ? reply->focus : xcb_window_t(XCB_WINDOW_NONE);
    }

    bool isSameOrAncestor(xcb_window_t ancestor, xcb_window_t w) {
        for (int depth = 0; depth < 16 && w != XCB_WINDOW_NONE && w != root; ++depth) {
            if (w == ancestor) {
                return true;
            }
            Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(c(), xcb_query_tree(c(), w), nullptr));
            if (!tree) {
                return false;
            }
            w = tree->parent;
        }
        return false;
    }
};

X11Probe::X11Probe() : d(std::make_unique<Impl>()) {
    int screenNumber = 0;
    d->conn.reset(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(d->c()) != 0) {
        d->conn.reset();
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(d->c()));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
        xcb_screen_next(&it);
    }
    d->root = it.data->root;
    d->netClientList = d->atom("_NET_CLIENT_LIST");
    d->netClientListStacking = d->atom("_NET_CLIENT_LIST_STACKING");
    d->netWmName = d->atom("_NET_WM_NAME");
    d->utf8String = d->atom("UTF8_STRING");
    d->netWmPid = d->atom("_NET_WM_PID");
    d->wmState = d->atom("WM_STATE");
    d->netFrameExtents = d->atom("_NET_FRAME_EXTENTS");
    d->netActiveWindow = d->atom("_NET_ACTIVE_WINDOW");
    d->netSupportingWmCheck = d->atom("_NET_SUPPORTING_WM_CHECK");
}

X11Probe::~X11Probe() = default;

bool X11Probe::isConnected() const {
    return d->conn != nullptr;
}

bool X11Probe::waitForWindowManagerReady(int timeout_ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeout_ms) {
        if (!isConnected() || !d->wmRunning()) {
            QThread::msleep(20);
            continue;
        }
        const xcb_window_t w = xcb_generate_id(d->c());
        xcb_create_window(d->c(), XCB_COPY_FROM_PARENT, w, d->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_map_window(d->c(), w);
        xcb_flush(d->c());
        const bool managed = pollUntil(std::min<qint64>(500, timeout_ms - clock.elapsed()), [&] {
            const auto list = d->windowList(d->root, d->netClientList);
            return list && std::find(list->begin(), list->end(), w) != list->end();
        });
        xcb_destroy_window(d->c(), w);
        xcb_flush(d->c());
        if (managed) {
            return true;
        }
    }
    return false;
}

std::optional<ProbedWindow> X11Probe::describe(WindowId id) {
    if (!isConnected()) {
        return std::nullopt;
    }
    return d->describe(id);
}

QList<ProbedWindow> X11Probe::find(qint64 pid) {
    QList<ProbedWindow> out;
    if (!isConnected()) {
        return out;
    }
    for (xcb_window_t w : d->clients()) {
        if (auto described = d->describe(w); described && described->pid == pid) {
            out.append(*described);
        }
    }
    return out;
}

bool X11Probe::waitUntilGone(WindowId id, int timeout_ms) {
    return pollUntil(timeout_ms, [&] {
        const auto w = describe(id);
        return !w || !w->mapped;
    });
}

bool X11Probe::focus(WindowId id, int timeout_ms) {
    if (!isConnected()) {
        return false;
    }
    if (d->wmRunning()) {
        // Ask the window manager, as a pager would (source 2), so it does not refuse the request
        // as focus stealing and raises the window in the same step.
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = d->netActiveWindow;
        event.data.data32[0] = 2;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(d->c(), 0, d->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(d->c());
        if (pollUntil(std::min(timeout_ms, 300),
                      [&] { return d->isSameOrAncestor(id, d->focusedWindow()); })) {
            return true;
        }
    } else {
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(d->c(), id, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }
    xcb_set_input_focus(d->c(), XCB_INPUT_FOCUS_POINTER_ROOT, id, XCB_CURRENT_TIME);
    xcb_flush(d->c());
    return pollUntil(timeout_ms, [&] { return d->isSameOrAncestor(id, d->focusedWindow()); });
}

bool X11Probe::sendKey(WindowId id, Key key) {
    const QString keysym = key == Key::Return ? QStringLiteral("Return") : QStringLiteral("Escape");
    return focus(id) && runXdotool({QStringLiteral("key"), keysym});
}

bool X11Probe::click(WindowId id, QPoint local) {
    const auto w = describe(id);
    if (!w || !w->mapped || !focus(id)) {
        return false;
    }
    const QPoint at = w->geometry.topLeft() + local;
    return runXdotool({QStringLiteral("mousemove"), QString::number(at.x()),
                       QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

QImage X11Probe::grab(const QRect& rootRect) {
    QImage out(rootRect.size(), QImage::Format_RGB32);
    out.fill(Qt::black);
    if (!isConnected() || rootRect.isEmpty()) {
        return out;
    }
    // The server refuses a request that reaches past the root, so ask only for the visible part.
    Reply<xcb_get_geometry_reply_t> screen(
        xcb_get_geometry_reply(d->c(), xcb_get_geometry(d->c(), d->root), nullptr));
    const QRect part = screen ? rootRect.intersected(QRect(0, 0, screen->width, screen->height)) : QRect();
    if (part.isEmpty()) {
        return out;
    }
    auto cookie =
        xcb_get_image(d->c(), XCB_IMAGE_FORMAT_Z_PIXMAP, d->root, int16_t(part.x()),
                      int16_t(part.y()), uint16_t(part.width()), uint16_t(part.height()), ~0u);
    Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(d->c(), cookie, nullptr));
    if (!image || image->depth < 24) {
        return out;
    }
    const int length = xcb_get_image_data_length(image.get());
    const int stride = length / part.height();
    if (stride < part.width() * 4) {
        return out; // not 32 bits per pixel: not what the test server is started with
    }
    const uint8_t* data = xcb_get_image_data(image.get());
    const QPoint offset = part.topLeft() - rootRect.topLeft();
    // A depth-24 ZPixmap on a little-endian server is B, G, R, pad: the layout of RGB32.
    for (int y = 0; y < part.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(out.scanLine(offset.y() + y)) + offset.x();
        const auto* src = reinterpret_cast<const uint32_t*>(data + y * stride);
        for (int x = 0; x < part.width(); ++x) {
            line[x] = 0xff000000u | (src[x] & 0x00ffffffu);
        }
    }
    return out;
}

} // namespace oculet::test
