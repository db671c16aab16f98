#include "launch/EarlyXWindow.h"

#include "core/settings/StartupTrace.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace marquelo {

namespace {

// Frees what xcb hands out with malloc.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

// Core X state bits that lock rather than modify.
constexpr std::uint32_t kLockMask = 1u << 1;
constexpr std::uint32_t kMod2Mask = 1u << 4;

xcb_atom_t atomOf(xcb_connection_t* c, xcb_intern_atom_cookie_t cookie)
{
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The CARD32 values of a root property (an atom list, a window, the work area); empty when unset.
std::vector<std::uint32_t> cardinals(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    std::vector<std::uint32_t> values;
    if (property == XCB_ATOM_NONE)
        return values;
    const XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 4096), nullptr));
    if (!reply || reply->format != 32)
        return values;
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    values.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    return values;
}

void setText(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type, const std::string& text)
{
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, 8, std::uint32_t(text.size()), text.data());
}

} // namespace

struct EarlyXWindow::X {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    bool canPut = false;
    // Where the picture is put together before it goes on the window.
    xcb_pixmap_t pixmap = 0;
    std::uint32_t maxRequestBytes = 0;
    std::uint8_t depth = 0;
    // The keyboard's layout, read at the first key.
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* keyState = nullptr;
    bool keyboardFailed = false;

    ~X()
    {
        if (keyState)
            xkb_state_unref(keyState);
        if (keymap)
            xkb_keymap_unref(keymap);
        if (xkb)
            xkb_context_unref(xkb);
        if (connection)
            xcb_disconnect(connection);
    }
};

EarlyXWindow::EarlyXWindow() : m_x(std::make_unique<X>()) {}

EarlyXWindow::~EarlyXWindow()
{
    close();
}

std::unique_ptr<EarlyXWindow> EarlyXWindow::open(const EarlyWindowPlan& plan, std::vector<EarlyNote>& notes,
                                                 const std::string& display)
{
    std::unique_ptr<EarlyXWindow> early(new EarlyXWindow());
    early->m_plan = plan;
    X& x = *early->m_x;
    // A display without a window manager that keeps the states is a setup of its own; the others are faults.
    const auto fail = [&notes](const char* reason) {
        notes.push_back({true, std::string("no early window: ") + reason});
        return std::unique_ptr<EarlyXWindow>();
    };
    const auto skip = [&notes](const char* reason) {
        notes.push_back({false, std::string("no early window: ") + reason});
        return std::unique_ptr<EarlyXWindow>();
    };
    x.connection = xcb_connect(display.empty() ? nullptr : display.c_str(), nullptr);
    if (xcb_connection_has_error(x.connection))
        return fail("cannot connect to the X display");
    xcb_connection_t* c = x.connection;
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    if (!screen)
        return fail("the X display has no screen");

    // All the names at once: one round trip instead of one each.
    static constexpr std::array<const char*, 11> kNames{"_NET_SUPPORTING_WM_CHECK",
                                                        "_NET_SUPPORTED",
                                                        "_NET_WM_STATE",
                                                        "_NET_WM_STATE_FULLSCREEN",
                                                        "_NET_WM_STATE_MAXIMIZED_VERT",
                                                        "_NET_WM_STATE_MAXIMIZED_HORZ",
                                                        "_NET_WORKAREA",
                                                        "_NET_WM_NAME",
                                                        "UTF8_STRING",
                                                        "_NET_WM_PID",
                                                        "_ICC_PROFILE"};
    std::array<xcb_intern_atom_cookie_t, kNames.size()> cookies{};
    for (std::size_t i = 0; i < kNames.size(); ++i)
        cookies[i] = xcb_intern_atom(c, 0, std::uint16_t(std::strlen(kNames[i])), kNames[i]);
    std::array<xcb_atom_t, kNames.size()> atoms{};
    for (std::size_t i = 0; i < kNames.size(); ++i)
        atoms[i] = atomOf(c, cookies[i]);
    const auto [wmCheck, supportedAtom, wmState, fullScreen, maxVert, maxHorz, workArea, wmName, utf8, wmPid,
                iccProfile] = atoms;
    if (iccProfile != XCB_ATOM_NONE) {
        const XcbReply<xcb_get_property_reply_t> profile(xcb_get_property_reply(
            c, xcb_get_property(c, 0, screen->root, iccProfile, XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr));
        early->m_displayProfile = profile && profile->type != XCB_ATOM_NONE;
    }

    // Without a window manager that keeps the states, the window would stay at the size asked for and
    // the viewer window would come up elsewhere.
    if (cardinals(c, screen->root, wmCheck, XCB_ATOM_WINDOW).empty())
        return skip("no window manager");
    const std::vector<std::uint32_t> supported = cardinals(c, screen->root, supportedAtom, XCB_ATOM_ATOM);
    const auto supports = [&](xcb_atom_t atom) {
        return atom != XCB_ATOM_NONE && std::find(supported.begin(), supported.end(), atom) != supported.end();
    };
    std::vector<xcb_atom_t> states;
    if (plan.fullScreen)
        states = {fullScreen};
    else
        states = {maxVert, maxHorz};
    if (!supports(wmState) || !std::all_of(states.begin(), states.end(), supports))
        return skip("the window manager does not maximize or show full screen on request");

    // Where the window manager will put it: the whole screen, or the work area less the frame. Asked
    // for at once, so the window manager has the least to change.
    int left = 0, top = 0, placeWidth = screen->width_in_pixels, placeHeight = screen->height_in_pixels;
    if (!plan.fullScreen) {
        const std::vector<std::uint32_t> area = cardinals(c, screen->root, workArea, XCB_ATOM_CARDINAL);
        if (area.size() >= 4 && area[2] > 0 && area[3] > 0) {
            left = int(area[0]);
            top = int(area[1]);
            placeWidth = int(area[2]);
            placeHeight = int(area[3]);
        }
    }

    // The picture goes out as 32-bit xRGB words: the usual 24-bit TrueColor screen. Elsewhere the
    // window still shows the background until the viewer window comes.
    const xcb_visualtype_t* visual = nullptr;
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem && !visual; xcb_depth_next(&depths)) {
        if (depths.data->depth != screen->root_depth)
            continue;
        for (auto v = xcb_depth_visuals_iterator(depths.data); v.rem; xcb_visualtype_next(&v))
            if (v.data->visual_id == screen->root_visual) {
                visual = v.data;
                break;
            }
    }
    bool bits32 = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == screen->root_depth)
            bits32 = f.data->bits_per_pixel == 32;
    x.canPut = visual && visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR && visual->red_mask == 0xff0000 &&
               visual->green_mask == 0xff00 && visual->blue_mask == 0xff && bits32 &&
               setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST && screen->root_depth >= 24;
    x.depth = screen->root_depth;
    x.maxRequestBytes = xcb_get_maximum_request_length(c) * 4;
    if (!x.canPut)
        notes.push_back({false, "the early window shows no picture: the screen's pixel format is not 32-bit xRGB"});

    const std::uint32_t pixel = x.canPut ? (std::uint32_t(colourRed(plan.background)) << 16) |
                                               (std::uint32_t(colourGreen(plan.background)) << 8) |
                                               std::uint32_t(colourBlue(plan.background))
                                         : screen->black_pixel;
    x.window = xcb_generate_id(c);
    const std::uint32_t values[] = {pixel, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                               XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, x.window, screen->root, std::int16_t(left), std::int16_t(top),
                      std::uint16_t(placeWidth), std::uint16_t(placeHeight), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    early->m_width = placeWidth;
    early->m_height = placeHeight;
    setText(c, x.window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, plan.title);
    setText(c, x.window, wmName, utf8, plan.title);
    const std::string wmClass = plan.instanceName + '\0' + plan.className + '\0';
    setText(c, x.window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
    const std::uint32_t pid = std::uint32_t(getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, x.window, wmPid, XCB_ATOM_CARDINAL, 32, 1, &pid);
    // WM_HINTS: input (the keys come here), normal state.
    const std::uint32_t hints[9] = {1u | 2u, 1, 1, 0, 0, 0, 0, 0, 0};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, x.window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, hints);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, x.window, wmState, XCB_ATOM_ATOM, 32, std::uint32_t(states.size()),
                        states.data());
    x.gc = xcb_generate_id(c);
    xcb_create_gc(c, x.gc, x.window, 0, nullptr);
    // A request the server refused shows up as an error here, before anyone relies on the window.
    const XcbReply<xcb_generic_error_t> error(xcb_request_check(c, xcb_map_window_checked(c, x.window)));
    if (error || xcb_connection_has_error(c))
        return fail("the X server refused the window");
    startup::mark("early window mapped");
    return early;
}

void EarlyXWindow::showPicture(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride, int fullWidth,
                               int fullHeight)
{
    // The viewer window waits (a bounded time) for a picture on its way; however this ends, whoever
    // waits for it goes on.
    pictureComing();
    struct Done {
        EarlyXWindow& window;
        ~Done() { window.putDone(); }
    } done{*this};
    if (!pixels || width <= 0 || height <= 0)
        return;
    if (fullWidth <= 0 || fullHeight <= 0) {
        fullWidth = width;
        fullHeight = height;
    }
    int toWidth = 0, toHeight = 0;
    if (!waitForPlace(fullWidth, fullHeight, 1000, toWidth, toHeight))
        return;
    if (!beginRows(toWidth, toHeight))
        return;
    const XrgbPicture scaled = scaledByArea(pixels, width, height, stride, toWidth, toHeight);
    startup::mark("early picture scaled");
    putArea(0, 0, scaled.width, scaled.height, scaled.pixels.data());
    endRows(true);
}

bool EarlyXWindow::waitForPlace(int fullWidth, int fullHeight, int patienceMs, int& width, int& height)
{
    // The window manager shows the window within a few milliseconds of the map; one that never does
    // leaves the picture to the viewer window.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    for (;;) {
        int fd = -1;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_x->connection || !m_x->canPut)
                return false;
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_x->connection)) {
                handle(event);
                std::free(event);
            }
            if (m_exposed) {
                const QRect place = earlyPictureRect(QSize(m_width, m_height), QSize(fullWidth, fullHeight));
                width = place.width();
                height = place.height();
                return !place.isEmpty();
            }
            fd = xcb_get_file_descriptor(m_x->connection);
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            note(false,
                 "the window manager did not show the early window within " + std::to_string(patienceMs) + " ms");
            return false;
        }
        pollfd wait{fd, POLLIN, 0};
        ::poll(&wait, 1, int(std::min<std::chrono::milliseconds::rep>(left.count(), 20)));
    }
}

bool EarlyXWindow::beginRows(int width, int height)
{
    const std::lock_guard lock(m_mutex);
    X& x = *m_x;
    if (!x.connection || !x.canPut || width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return false;
    if (x.pixmap)
        xcb_free_pixmap(x.connection, x.pixmap);
    // The rows go to a pixmap on the server while they are decoded, and onto the window all at once:
    // the picture never shows half drawn, and the X server takes them in on the other core meanwhile.
    x.pixmap = xcb_generate_id(x.connection);
    xcb_create_pixmap(x.connection, x.depth, x.pixmap, x.window, std::uint16_t(width), std::uint16_t(height));
    m_pixmapWidth = width;
    m_pixmapHeight = height;
    m_pixmapComplete = false;
    return true;
}

void EarlyXWindow::putArea(int left, int top, int width, int height, const std::uint32_t* pixels)
{
    const std::lock_guard lock(m_mutex);
    X& x = *m_x;
    if (!x.connection || !x.pixmap || width <= 0 || height <= 0 || left < 0 || top < 0 ||
        left + width > m_pixmapWidth || top + height > m_pixmapHeight)
        return;
    const std::size_t stride = std::size_t(width) * 4;
    // Requests of a quarter megabyte: the server reads each into a buffer it already has.
    const int rowsPerRequest = std::max(1, int(std::min<std::size_t>(256 * 1024, x.maxRequestBytes - 64) / stride));
    for (int row = 0; row < height; row += rowsPerRequest) {
        const int count = std::min(rowsPerRequest, height - row);
        xcb_put_image(x.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, x.pixmap, x.gc, std::uint16_t(width),
                      std::uint16_t(count), std::int16_t(left), std::int16_t(top + row), 0, x.depth,
                      std::uint32_t(stride * std::size_t(count)),
                      reinterpret_cast<const std::uint8_t*>(pixels + std::size_t(row) * std::size_t(width)));
    }
    xcb_flush(x.connection);
}

void EarlyXWindow::endRows(bool complete)
{
    const std::lock_guard lock(m_mutex);
    if (!m_x->connection || !m_x->pixmap)
        return;
    m_pixmapComplete = complete;
    if (complete)
        copyPicture();
}

void EarlyXWindow::copyPicture()
{
    X& x = *m_x;
    if (!x.pixmap || !m_pixmapComplete)
        return;
    // Centred as the viewer lays the picture out; a window the window manager resized since keeps the
    // picture at its size until the viewer window comes.
    const int left = (m_width - m_pixmapWidth) / 2;
    const int top = (m_height - m_pixmapHeight) / 2;
    xcb_copy_area(x.connection, x.pixmap, x.window, x.gc, 0, 0, std::int16_t(left), std::int16_t(top),
                  std::uint16_t(m_pixmapWidth), std::uint16_t(m_pixmapHeight));
    xcb_flush(x.connection);
    if (!m_shown) {
        // Put through the server's queue: it has drawn the picture once it answers a later request.
        std::free(xcb_get_input_focus_reply(x.connection, xcb_get_input_focus(x.connection), nullptr));
        startup::mark("early picture shown");
    }
    m_shown = true;
}

void EarlyXWindow::decodingItself()
{
    const std::lock_guard lock(m_mutex);
    m_decodesItself = m_x->connection != nullptr && m_x->canPut;
    m_putting = m_decodesItself;
}

bool EarlyXWindow::decodesItself() const
{
    const std::lock_guard lock(m_mutex);
    return m_decodesItself;
}

void EarlyXWindow::note(bool warning, std::string text)
{
    const std::lock_guard lock(m_mutex);
    m_notes.push_back({warning, std::move(text)});
}

std::vector<EarlyNote> EarlyXWindow::takeNotes()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_notes, {});
}

void EarlyXWindow::pictureComing()
{
    const std::lock_guard lock(m_mutex);
    m_putting = m_x->connection != nullptr;
}

void EarlyXWindow::noPictureComing()
{
    {
        const std::lock_guard lock(m_mutex);
        m_decodesItself = false;
    }
    putDone();
}

void EarlyXWindow::putDone()
{
    {
        const std::lock_guard lock(m_mutex);
        m_putting = false;
    }
    m_putDone.notify_all();
}

void EarlyXWindow::waitWhilePutting(int patienceMs)
{
    std::unique_lock lock(m_mutex);
    m_putDone.wait_for(lock, std::chrono::milliseconds(patienceMs), [this] { return !m_putting; });
}

void EarlyXWindow::pump()
{
    const std::lock_guard lock(m_mutex);
    if (!m_x->connection)
        return;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_x->connection)) {
        handle(event);
        std::free(event);
    }
}

void EarlyXWindow::handle(void* generic)
{
    auto* event = static_cast<xcb_generic_event_t*>(generic);
    switch (event->response_type & 0x7f) {
    case 0: {
        const auto* error = reinterpret_cast<xcb_generic_error_t*>(event);
        m_notes.push_back({false, "the early window's X request " + std::to_string(error->major_code) +
                                      " failed with error " + std::to_string(error->error_code)});
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
        if (configure->window != m_x->window)
            break;
        m_width = configure->width;
        m_height = configure->height;
        break;
    }
    case XCB_EXPOSE: {
        const auto* expose = reinterpret_cast<xcb_expose_event_t*>(event);
        if (expose->window != m_x->window || expose->count != 0)
            break;
        m_exposed = true;
        // The server cleared what was hidden to the background; the picture goes on again.
        copyPicture();
        break;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: readKey(event); break;
    default: break;
    }
}

void EarlyXWindow::readKey(void* generic)
{
    const auto* event = static_cast<xcb_key_press_event_t*>(generic);
    X& x = *m_x;
    if (event->event != x.window || x.keyboardFailed)
        return;
    if (!x.keyState) {
        // Read once, at the first key: a start without typing never pays for it.
        std::uint16_t major = 0, minor = 0;
        std::uint8_t base = 0, errorBase = 0;
        if (xkb_x11_setup_xkb_extension(x.connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                        XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, &major, &minor, &base, &errorBase)) {
            x.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
            const std::int32_t device = xkb_x11_get_core_keyboard_device_id(x.connection);
            if (x.xkb && device >= 0)
                x.keymap = xkb_x11_keymap_new_from_device(x.xkb, x.connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
            if (x.keymap)
                x.keyState = xkb_x11_state_new_from_device(x.keymap, x.connection, device);
        }
        if (!x.keyState) {
            x.keyboardFailed = true;
            m_notes.push_back(
                {true, "cannot read the keyboard's layout: keys typed before the window came are dropped"});
            return;
        }
    }
    // The modifiers and the layout group as the event had them.
    const std::uint32_t locked = event->state & (kLockMask | kMod2Mask);
    xkb_state_update_mask(x.keyState, event->state & 0xff & ~locked, 0, locked, 0, 0, (event->state >> 13) & 3);
    const xkb_keysym_t keysym = xkb_state_key_get_one_sym(x.keyState, event->detail);
    char text[64] = {};
    xkb_state_key_get_utf8(x.keyState, event->detail, text, sizeof text);
    EarlyKeyPress key;
    key.press = (event->response_type & 0x7f) == XCB_KEY_PRESS;
    // Control and the like make control characters; Qt reports those as text as well.
    key.text = text;
    key.keycode = event->detail;
    key.keysym = keysym;
    key.state = event->state;
    key.time = event->time;
    m_keys.push_back(std::move(key));
}

std::vector<EarlyKeyPress> EarlyXWindow::takeKeys()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_keys, {});
}

void EarlyXWindow::close()
{
    const std::lock_guard lock(m_mutex);
    if (!m_x->connection)
        return;
    xcb_destroy_window(m_x->connection, m_x->window);
    xcb_flush(m_x->connection);
    m_x = std::make_unique<X>();
}

std::uint32_t EarlyXWindow::backgroundXrgb() const
{
    return (std::uint32_t(colourRed(m_plan.background)) << 16) | (std::uint32_t(colourGreen(m_plan.background)) << 8) |
           std::uint32_t(colourBlue(m_plan.background));
}

} // namespace marquelo
