// Copying the screen: rectangles of the root window into images, through a shared-memory
// segment when the server offers one, and stretched straight from it onto the frame.
#include "platform/X11Connection.h"

#include "platform/Stretch.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>

namespace oculet {
using namespace x11;
namespace {

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

} // namespace

bool ShmSegment::create(xcb_connection_t* c, std::size_t bytes) {
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

void ShmSegment::reset() {
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

// Copies clip, which lies on the screen, into image at the given place; false when the
// server gave nothing.
bool X11Desktop::State::readScreen(const QRect& clip, QImage& image, QPoint at) {
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
std::optional<QImage> X11Desktop::State::grabAgainstKnownScreen(const QRect& screenRect) {
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


// Every rectangle wholly on a screen whose pixels are already Format_RGB32 copied into its
// own part of the shared segment, all asked for before any answer is read, together with the
// screen's size. Whatever was fetched before is dropped: the new copies go where it was.
X11Desktop::State::Onto X11Desktop::State::fetch(const std::vector<QRect>& rects) {
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
X11Desktop::State::Onto X11Desktop::State::stretchFromSegment(const QRect& screenRect, QImage& dst, const QRect& dstRect) {
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
void X11Desktop::State::prefetch(const std::vector<QRect>& rects) {
    if (rects.size() < 2) {
        prefetched.clear();
        return;
    }
    fetch(rects);
}

QImage X11Desktop::State::copyOf(const QRect& screenRect, const QRect& screen) {
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

// The window's top level (the window manager's frame, title bar and all) is redirected, so the
// server keeps its whole content in a pixmap of its own whatever covers it or however far it
// hangs over the screen's edge. Its pixmap is named afresh for every copy: a pixmap once named
// is left behind when the window is resized or mapped again.
bool X11Desktop::State::contentOnto(xcb_window_t window, const QRect& screenRect, QImage& dst, const QRect& dstRect) {
    xcb_connection_t* c = this->c();
    const std::optional<xcb_window_t> top = topLevelOf(window);
    if (!top) {
        return false;
    }
    const auto attributesCookie = xcb_get_window_attributes(c, *top);
    const auto geometryCookie = xcb_get_geometry(c, *top);
    const auto attributes =
        take<xcb_get_window_attributes_reply_t>(xcb_get_window_attributes_reply, c, attributesCookie);
    const auto geometry = take<xcb_get_geometry_reply_t>(xcb_get_geometry_reply, c, geometryCookie);
    if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
        return false; // an unmapped window has no content to name
    }
    if (redirected != *top) {
        if (redirected != XCB_NONE) {
            xcb_composite_unredirect_window(c, redirected, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
        }
        // Automatic: the server still draws the window on the screen as before.
        xcb_composite_redirect_window(c, *top, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
        redirected = *top;
    }
    // The pixmap holds the border too; its origin is the window's outer corner.
    const int border = geometry->border_width;
    const QRect content(geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border);
    const QRect clip = screenRect & content;
    if (clip.isEmpty()) {
        return false;
    }
    const QRect inPixmap = clip.translated(-content.topLeft());
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_composite_name_window_pixmap(c, *top, pixmap);

    const int stride = layout.stride(clip.width());
    const std::size_t bytes = std::size_t(stride) * std::size_t(clip.height());
    const std::uint8_t* pixels = nullptr;
    Reply<xcb_get_image_reply_t> wire;
    if (shmAvailable && (contentSegment.size() >= bytes || contentSegment.create(c, bytes))) {
        if (take<xcb_shm_get_image_reply_t>(
                xcb_shm_get_image_reply, c,
                xcb_shm_get_image(c, pixmap, std::int16_t(inPixmap.x()), std::int16_t(inPixmap.y()),
                                  std::uint16_t(inPixmap.width()), std::uint16_t(inPixmap.height()), ~0u,
                                  XCB_IMAGE_FORMAT_Z_PIXMAP, contentSegment.seg(), 0))) {
            pixels = contentSegment.data();
        }
    }
    if (pixels == nullptr) {
        wire = take<xcb_get_image_reply_t>(
            xcb_get_image_reply, c,
            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, std::int16_t(inPixmap.x()), std::int16_t(inPixmap.y()),
                          std::uint16_t(inPixmap.width()), std::uint16_t(inPixmap.height()), ~0u));
        if (wire && std::size_t(xcb_get_image_data_length(wire.get())) >= bytes) {
            pixels = xcb_get_image_data(wire.get());
        }
    }
    xcb_free_pixmap(c, pixmap);
    if (pixels == nullptr) {
        // The window went in between, or a new one took its id without being redirected:
        // redirected again on the next attempt.
        redirected = XCB_NONE;
        return false;
    }
    if (clip == screenRect && layout.matchesRgb32()) {
        // The padding byte may hold anything; the stretch makes every pixel opaque.
        const QImage view(pixels, clip.width(), clip.height(), stride, QImage::Format_RGB32);
        return stretchInto(dst, dstRect, view);
    }
    // Beyond the window there is nothing of it: black there, as a screen copy past its edge.
    QImage image(screenRect.size(), QImage::Format_RGB32);
    if (image.isNull()) {
        return false;
    }
    if (clip != screenRect) {
        image.fill(0xff000000u);
    }
    convertRows(pixels, stride, clip.size(), layout, image, clip.topLeft() - screenRect.topLeft());
    return stretchInto(dst, dstRect, image);
}

bool X11Desktop::readsWindowContent() { return d_->compositeAvailable && d_->alive(); }

bool X11Desktop::windowContentOnto(WindowId window, const QRect& screenRect, QImage& dst, const QRect& dstRect) {
    if (window == 0 || !screenRect.isValid() || screenRect.isEmpty() || !readsWindowContent()) {
        return false;
    }
    return d_->contentOnto(window, screenRect, dst, dstRect);
}

// The server reports where drawing happened since the damage was last taken away; a change
// made before the taking away is reported before the answer to the round trip after it, so
// every change is seen either now or at the next question, never lost.
bool X11Desktop::unchangedSinceLastAsked(WindowId window, const std::vector<QRect>& screenSpots) {
    State& d = *d_;
    if (!d.damageAvailable || !d.alive()) {
        return false;
    }
    xcb_connection_t* c = d.c();
    bool changed = false;
    if (d.screenDamage == XCB_NONE) {
        d.screenDamage = xcb_generate_id(c);
        xcb_damage_create(c, d.screenDamage, d.root, XCB_DAMAGE_REPORT_LEVEL_BOUNDING_BOX);
        changed = true;
    }
    xcb_window_t top = XCB_NONE;
    if (window != 0) {
        const std::optional<xcb_window_t> found = d.topLevelOf(window);
        if (!found) {
            return false;
        }
        top = *found;
    }
    if (top != d.watched) {
        if (d.windowDamage != XCB_NONE) {
            xcb_damage_destroy(c, d.windowDamage); // an error if the window took it along: dropped below
            d.windowDamage = XCB_NONE;
        }
        if (top != XCB_NONE) {
            d.windowDamage = xcb_generate_id(c);
            xcb_damage_create(c, d.windowDamage, top, XCB_DAMAGE_REPORT_LEVEL_BOUNDING_BOX);
            // Told when it is destroyed: a window manager that starts again may frame the window
            // in a new top level under the very same id, which is neither watched nor redirected.
            const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(c, top, XCB_CW_EVENT_MASK, &events);
        }
        d.watched = top;
        changed = true;
    }
    xcb_damage_subtract(c, d.screenDamage, XCB_NONE, XCB_NONE);
    if (d.windowDamage != XCB_NONE) {
        xcb_damage_subtract(c, d.windowDamage, XCB_NONE, XCB_NONE);
    }
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    // Every event on this connection is read here: errors of requests nobody waits for too.
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY) {
            const xcb_window_t gone = reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
            if (gone == d.watched) {
                d.watched = XCB_NONE;
                d.windowDamage = XCB_NONE; // went with the window
                changed = true;
            }
            if (gone == d.redirected) {
                d.redirected = XCB_NONE;
            }
        } else if ((event->response_type & 0x7f) == d.damageEvent + XCB_DAMAGE_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
            if (notify->damage == d.windowDamage) {
                changed = true;
            } else if (notify->damage == d.screenDamage) {
                const QRect area(notify->area.x, notify->area.y, notify->area.width, notify->area.height);
                changed = changed || std::any_of(screenSpots.begin(), screenSpots.end(),
                                                 [&](const QRect& spot) { return spot.intersects(area); });
            }
        }
        std::free(event);
    }
    return !changed && d.alive();
}

} // namespace oculet
