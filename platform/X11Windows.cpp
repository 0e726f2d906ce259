// Finding windows: the top-level windows in stacking order with their titles and outer frames,
// the window a process shows, and moving or closing a window.
#include "platform/X11Connection.h"

#include <QMargins>

#include <algorithm>
#include <iterator>

namespace oculet {
using namespace x11;
namespace {

// Titles are short; 4096 × 4 bytes is far beyond anything a window manager shows.
constexpr std::uint32_t kTitleWords = 4096;
// A client is never buried deeper than this below its frame; the bound keeps a hostile tree
// from costing more than a few round trips.
constexpr int kFrameDepth = 4;

QString propertyText(const xcb_get_property_reply_t* reply) {
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
    const int length = xcb_get_property_value_length(reply);
    return QString::fromUtf8(bytes, length);
}

} // namespace

x11::TitleCookies X11Desktop::State::askTitle(xcb_window_t window) const {
    return {getProperty(window, atoms[NetWmName], atoms[Utf8String], kTitleWords),
            getProperty(window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kTitleWords)};
}

std::optional<QString> X11Desktop::State::readTitle(const x11::TitleCookies& cookies) const {
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

x11::RectCookies X11Desktop::State::askRect(xcb_window_t window) const {
    return {xcb_get_geometry(c(), window), xcb_translate_coordinates(c(), window, root, 0, 0),
            getProperty(window, atoms[NetFrameExtents], XCB_ATOM_CARDINAL, 4), xcb_query_tree(c(), window)};
}

std::optional<QRect> X11Desktop::State::readRect(const x11::RectCookies& cookies) const {
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

std::optional<QRect> X11Desktop::State::topLevelAncestorRect(xcb_window_t window) const {
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

// The window that sits directly on the root and holds `window`: a window manager's frame with
// its title bar, or the window itself on a bare server. None when the window is gone.
std::optional<xcb_window_t> X11Desktop::State::topLevelOf(xcb_window_t window) const {
    for (int depth = 0; depth <= kFrameDepth; ++depth) {
        const auto tree = take<xcb_query_tree_reply_t>(xcb_query_tree_reply, c(), xcb_query_tree(c(), window));
        if (!tree) {
            return std::nullopt;
        }
        if (tree->parent == root || tree->parent == XCB_NONE) {
            return window;
        }
        window = tree->parent;
    }
    return std::nullopt;
}

// The window manager's own list, when a live EWMH window manager keeps one. A list left on
// the root by a window manager that has since exited would hide every newer window, so the
// manager's check window must still point at itself.
std::optional<std::vector<xcb_window_t>> X11Desktop::State::managedStacking() const {
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

std::vector<xcb_window_t> X11Desktop::State::children(xcb_window_t window) const {
    const auto tree = take<xcb_query_tree_reply_t>(xcb_query_tree_reply, c(), xcb_query_tree(c(), window));
    if (!tree) {
        return {};
    }
    const xcb_window_t* ids = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    return std::vector<xcb_window_t>(std::make_reverse_iterator(ids + count), std::make_reverse_iterator(ids));
}

bool X11Desktop::State::hasWmState(xcb_window_t window) const {
    const auto state = takeProperty(c(), getProperty(window, atoms[WmState], XCB_GET_PROPERTY_TYPE_ANY, 0));
    return state && state->type != XCB_NONE;
}

// Below a window manager frame, the client is the window that carries WM_STATE.
xcb_window_t X11Desktop::State::findClient(xcb_window_t window, int depth) const {
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
std::vector<xcb_window_t> X11Desktop::State::treeStacking(std::vector<bool>& needsTitle) const {
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
    const auto attributesCookie = xcb_get_window_attributes(d_->c(), id);
    std::optional<QString> title = d_->readTitle(titleCookies);
    const std::optional<QRect> rect = d_->readRect(rectCookies);
    const auto attributes =
        take<xcb_get_window_attributes_reply_t>(xcb_get_window_attributes_reply, d_->c(), attributesCookie);
    if (!title || !rect || !attributes) {
        return std::nullopt;
    }
    // A minimised window is unmapped by the window manager; its frame with it.
    return TopLevelWindow{id, std::move(*title), *rect, attributes->map_state == XCB_MAP_STATE_VIEWABLE};
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

} // namespace oculet
