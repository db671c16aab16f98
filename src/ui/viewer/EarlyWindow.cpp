#include "ui/viewer/EarlyWindow.h"

#include "core/settings/Logging.h"
#include "core/settings/StartupTrace.h"
#include "core/viewer/ScreenCopy.h"
#include "core/viewer/WorkPools.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
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

constexpr std::array<std::pair<std::uint32_t, int>, 74> kKeys{{
    {XKB_KEY_Escape, Qt::Key_Escape},
    {XKB_KEY_Tab, Qt::Key_Tab},
    {XKB_KEY_ISO_Left_Tab, Qt::Key_Backtab},
    {XKB_KEY_BackSpace, Qt::Key_Backspace},
    {XKB_KEY_Return, Qt::Key_Return},
    {XKB_KEY_Insert, Qt::Key_Insert},
    {XKB_KEY_Delete, Qt::Key_Delete},
    {XKB_KEY_Clear, Qt::Key_Delete},
    {XKB_KEY_Pause, Qt::Key_Pause},
    {XKB_KEY_Print, Qt::Key_Print},
    {XKB_KEY_Sys_Req, Qt::Key_SysReq},
    {XKB_KEY_Home, Qt::Key_Home},
    {XKB_KEY_End, Qt::Key_End},
    {XKB_KEY_Left, Qt::Key_Left},
    {XKB_KEY_Up, Qt::Key_Up},
    {XKB_KEY_Right, Qt::Key_Right},
    {XKB_KEY_Down, Qt::Key_Down},
    {XKB_KEY_Prior, Qt::Key_PageUp},
    {XKB_KEY_Next, Qt::Key_PageDown},
    {XKB_KEY_Shift_L, Qt::Key_Shift},
    {XKB_KEY_Shift_R, Qt::Key_Shift},
    {XKB_KEY_Control_L, Qt::Key_Control},
    {XKB_KEY_Control_R, Qt::Key_Control},
    {XKB_KEY_Meta_L, Qt::Key_Meta},
    {XKB_KEY_Meta_R, Qt::Key_Meta},
    {XKB_KEY_Alt_L, Qt::Key_Alt},
    {XKB_KEY_Alt_R, Qt::Key_Alt},
    {XKB_KEY_ISO_Level3_Shift, Qt::Key_AltGr},
    {XKB_KEY_Caps_Lock, Qt::Key_CapsLock},
    {XKB_KEY_Num_Lock, Qt::Key_NumLock},
    {XKB_KEY_Scroll_Lock, Qt::Key_ScrollLock},
    {XKB_KEY_Super_L, Qt::Key_Super_L},
    {XKB_KEY_Super_R, Qt::Key_Super_R},
    {XKB_KEY_Menu, Qt::Key_Menu},
    {XKB_KEY_Hyper_L, Qt::Key_Hyper_L},
    {XKB_KEY_Hyper_R, Qt::Key_Hyper_R},
    {XKB_KEY_Help, Qt::Key_Help},
    {XKB_KEY_KP_Space, Qt::Key_Space},
    {XKB_KEY_KP_Tab, Qt::Key_Tab},
    {XKB_KEY_KP_Enter, Qt::Key_Enter},
    {XKB_KEY_KP_Home, Qt::Key_Home},
    {XKB_KEY_KP_Left, Qt::Key_Left},
    {XKB_KEY_KP_Up, Qt::Key_Up},
    {XKB_KEY_KP_Right, Qt::Key_Right},
    {XKB_KEY_KP_Down, Qt::Key_Down},
    {XKB_KEY_KP_Prior, Qt::Key_PageUp},
    {XKB_KEY_KP_Next, Qt::Key_PageDown},
    {XKB_KEY_KP_End, Qt::Key_End},
    {XKB_KEY_KP_Begin, Qt::Key_Clear},
    {XKB_KEY_KP_Insert, Qt::Key_Insert},
    {XKB_KEY_KP_Delete, Qt::Key_Delete},
    {XKB_KEY_KP_Equal, Qt::Key_Equal},
    {XKB_KEY_KP_Multiply, Qt::Key_Asterisk},
    {XKB_KEY_KP_Add, Qt::Key_Plus},
    {XKB_KEY_KP_Separator, Qt::Key_Comma},
    {XKB_KEY_KP_Subtract, Qt::Key_Minus},
    {XKB_KEY_KP_Decimal, Qt::Key_Period},
    {XKB_KEY_KP_Divide, Qt::Key_Slash},
    {XKB_KEY_KP_0, Qt::Key_0},
    {XKB_KEY_KP_1, Qt::Key_1},
    {XKB_KEY_KP_2, Qt::Key_2},
    {XKB_KEY_KP_3, Qt::Key_3},
    {XKB_KEY_KP_4, Qt::Key_4},
    {XKB_KEY_KP_5, Qt::Key_5},
    {XKB_KEY_KP_6, Qt::Key_6},
    {XKB_KEY_KP_7, Qt::Key_7},
    {XKB_KEY_KP_8, Qt::Key_8},
    {XKB_KEY_KP_9, Qt::Key_9},
    {XKB_KEY_XF86Back, Qt::Key_Back},
    {XKB_KEY_XF86Forward, Qt::Key_Forward},
    {XKB_KEY_XF86Reload, Qt::Key_Refresh},
    {XKB_KEY_XF86ZoomIn, Qt::Key_ZoomIn},
    {XKB_KEY_XF86ZoomOut, Qt::Key_ZoomOut},
    {XKB_KEY_XF86Close, Qt::Key_Close},
}};

// Core X state bits.
constexpr std::uint32_t kShiftMask = 1u << 0;
constexpr std::uint32_t kLockMask = 1u << 1;
constexpr std::uint32_t kControlMask = 1u << 2;
constexpr std::uint32_t kMod1Mask = 1u << 3;
constexpr std::uint32_t kMod2Mask = 1u << 4;
constexpr std::uint32_t kMod4Mask = 1u << 6;

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

// `image` scaled to `target` without a QPainter, which needs Qt's application object (being built on
// the main thread meanwhile). In these two formats QImage scales by itself.
QImage scaledWithoutPainter(const QImage& image, QSize target)
{
    if (image.size() == target)
        return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32)
        .scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// `image` scaled to `target`, a screenful in two bands at once: the picture is on its way to the
// screen while Qt starts on the other core.
QImage scaledInBands(const QImage& image, QSize target)
{
    if (qint64(target.width()) * target.height() < 512 * 512 || target.height() < 2 || image.height() < 2)
        return scaledWithoutPainter(image, target);
    // Each band scales the source rows that map onto its own rows.
    const int split = target.height() / 2;
    const int sourceSplit = int(qint64(split) * image.height() / target.height());
    QImage top, bottom;
    workpools::runSplit(
        {[&] {
             top = scaledWithoutPainter(image.copy(0, 0, image.width(), sourceSplit), {target.width(), split});
         },
         [&] {
             bottom = scaledWithoutPainter(image.copy(0, sourceSplit, image.width(), image.height() - sourceSplit),
                                           {target.width(), target.height() - split});
         }});
    if (top.isNull() || bottom.isNull() || top.format() != bottom.format())
        return scaledWithoutPainter(image, target);
    QImage whole(target, top.format());
    if (whole.isNull())
        return whole;
    const qsizetype rowBytes = std::min(whole.bytesPerLine(), top.bytesPerLine());
    for (int y = 0; y < target.height(); ++y) {
        const QImage& band = y < split ? top : bottom;
        std::memcpy(whole.scanLine(y), band.constScanLine(y < split ? y : y - split), std::size_t(rowBytes));
    }
    return whole;
}

// `image` laid over the plain `background`, without a QPainter.
QImage overBackground(const QImage& image, ColourRef background)
{
    const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage flat(source.size(), QImage::Format_RGB32);
    const int r = colourRed(background), g = colourGreen(background), b = colourBlue(background);
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(flat.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const int keep = 255 - qAlpha(in[x]);
            out[x] = qRgb(qRed(in[x]) + (r * keep + 127) / 255, qGreen(in[x]) + (g * keep + 127) / 255,
                          qBlue(in[x]) + (b * keep + 127) / 255);
        }
    }
    return flat;
}

} // namespace

int qtKeyForKeysym(std::uint32_t keysym, const QString& text)
{
    // Latin-1 keysyms are their own code points; Qt names a letter key by its capital.
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff))
        return int(QChar(char16_t(keysym)).toUpper().unicode());
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F35)
        return Qt::Key_F1 + int(keysym - XKB_KEY_F1);
    for (const auto& [sym, key] : kKeys)
        if (sym == keysym)
            return key;
    if (!text.isEmpty()) {
        const char32_t first = text.toUcs4().value(0);
        if (first >= 0x20 && first != 0x7f)
            return int(QChar::toUpper(first));
    }
    return Qt::Key_unknown;
}

Qt::KeyboardModifiers qtModifiersForState(std::uint32_t state, std::uint32_t keysym)
{
    Qt::KeyboardModifiers modifiers;
    if (state & kShiftMask)
        modifiers |= Qt::ShiftModifier;
    if (state & kControlMask)
        modifiers |= Qt::ControlModifier;
    if (state & kMod1Mask)
        modifiers |= Qt::AltModifier;
    if (state & kMod4Mask)
        modifiers |= Qt::MetaModifier;
    if (keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_9)
        modifiers |= Qt::KeypadModifier;
    return modifiers;
}

struct EarlyWindow::X {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    bool canPut = false;
    // The server shares memory with us (a local display): the picture goes without a copy through the socket.
    bool shm = false;
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

EarlyWindow::EarlyWindow() : m_x(std::make_unique<X>()) {}

EarlyWindow::~EarlyWindow()
{
    close();
}

std::shared_ptr<EarlyWindow> EarlyWindow::open(const EarlyWindowPlan& plan, const std::string& display)
{
    std::shared_ptr<EarlyWindow> early(new EarlyWindow());
    early->m_plan = plan;
    X& x = *early->m_x;
    // A display without a window manager that keeps the states is a setup of its own; the others are faults.
    const auto fail = [](const char* reason) {
        qCWarning(lcViewer) << "no early window:" << reason;
        return std::shared_ptr<EarlyWindow>();
    };
    const auto skip = [](const char* reason) {
        qCInfo(lcViewer) << "no early window:" << reason;
        return std::shared_ptr<EarlyWindow>();
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
    static constexpr std::array<const char*, 10> kNames{"_NET_SUPPORTING_WM_CHECK",
                                                        "_NET_SUPPORTED",
                                                        "_NET_WM_STATE",
                                                        "_NET_WM_STATE_FULLSCREEN",
                                                        "_NET_WM_STATE_MAXIMIZED_VERT",
                                                        "_NET_WM_STATE_MAXIMIZED_HORZ",
                                                        "_NET_WORKAREA",
                                                        "_NET_WM_NAME",
                                                        "UTF8_STRING",
                                                        "_NET_WM_PID"};
    std::array<xcb_intern_atom_cookie_t, kNames.size()> cookies{};
    for (std::size_t i = 0; i < kNames.size(); ++i)
        cookies[i] = xcb_intern_atom(c, 0, std::uint16_t(std::strlen(kNames[i])), kNames[i]);
    std::array<xcb_atom_t, kNames.size()> atoms{};
    for (std::size_t i = 0; i < kNames.size(); ++i)
        atoms[i] = atomOf(c, cookies[i]);
    const auto [wmCheck, supportedAtom, wmState, fullScreen, maxVert, maxHorz, workArea, wmName, utf8, wmPid] = atoms;

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
    QRect place(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    if (!plan.fullScreen) {
        const std::vector<std::uint32_t> area = cardinals(c, screen->root, workArea, XCB_ATOM_CARDINAL);
        if (area.size() >= 4 && area[2] > 0 && area[3] > 0)
            place = QRect(int(area[0]), int(area[1]), int(area[2]), int(area[3]));
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
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c, &xcb_shm_id);
    x.shm = shm && shm->present;
    x.maxRequestBytes = xcb_get_maximum_request_length(c) * 4;
    if (!x.canPut)
        qCInfo(lcViewer) << "the early window shows no picture: the screen's pixel format is not 32-bit xRGB";

    const std::uint32_t pixel = x.canPut ? (std::uint32_t(colourRed(plan.background)) << 16) |
                                               (std::uint32_t(colourGreen(plan.background)) << 8) |
                                               std::uint32_t(colourBlue(plan.background))
                                         : screen->black_pixel;
    x.window = xcb_generate_id(c);
    const std::uint32_t values[] = {pixel, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                               XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, x.window, screen->root, std::int16_t(place.x()), std::int16_t(place.y()),
                      std::uint16_t(place.width()), std::uint16_t(place.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    early->m_size = place.size();
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

void EarlyWindow::showPicture(const QImage& image, QSize fullSize)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_x->connection || !m_x->canPut || image.isNull()) {
            m_putting = false;
            m_putDone.notify_all();
            return;
        }
        m_picture = image;
        m_fullSize = fullSize;
        m_putting = true;
    }
    // However this ends, whoever waits for the picture goes on.
    struct Done {
        EarlyWindow& window;
        ~Done()
        {
            {
                const std::lock_guard lock(window.m_mutex);
                window.m_putting = false;
            }
            window.m_putDone.notify_all();
        }
    } done{*this};
    // The window manager shows the window within a few milliseconds of the map; one that never does
    // leaves the picture to the viewer window.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    for (;;) {
        int fd = -1;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_x->connection)
                return;
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_x->connection)) {
                handle(event);
                std::free(event);
            }
            if (m_exposed) {
                putPicture();
                return;
            }
            fd = xcb_get_file_descriptor(m_x->connection);
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            qCInfo(lcViewer) << "the window manager did not show the early window within 1 s";
            return;
        }
        pollfd wait{fd, POLLIN, 0};
        ::poll(&wait, 1, int(std::min<std::chrono::milliseconds::rep>(left.count(), 20)));
    }
}

void EarlyWindow::qtReady()
{
    const std::lock_guard lock(m_mutex);
    m_qtReady = true;
}

void EarlyWindow::pictureComing()
{
    const std::lock_guard lock(m_mutex);
    m_putting = m_x->connection != nullptr;
}

void EarlyWindow::waitWhilePutting(std::chrono::milliseconds patience)
{
    std::unique_lock lock(m_mutex);
    m_putDone.wait_for(lock, patience, [this] { return !m_putting; });
}

void EarlyWindow::pump()
{
    const std::lock_guard lock(m_mutex);
    if (!m_x->connection)
        return;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_x->connection)) {
        handle(event);
        std::free(event);
    }
}

void EarlyWindow::handle(void* generic)
{
    auto* event = static_cast<xcb_generic_event_t*>(generic);
    switch (event->response_type & 0x7f) {
    case 0: {
        const auto* error = reinterpret_cast<xcb_generic_error_t*>(event);
        qCInfo(lcViewer) << "the early window's X request" << error->major_code << "failed with error"
                         << error->error_code;
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
        if (configure->window != m_x->window)
            break;
        const QSize size(configure->width, configure->height);
        if (size != m_size) {
            m_size = size;
            m_screenCopy = QImage();
        }
        break;
    }
    case XCB_EXPOSE: {
        const auto* expose = reinterpret_cast<xcb_expose_event_t*>(event);
        if (expose->window != m_x->window || expose->count != 0)
            break;
        m_exposed = true;
        // The server cleared what was hidden to the background; the picture goes on again.
        if (!m_picture.isNull())
            putPicture();
        break;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: translateKey(event); break;
    default: break;
    }
}

void EarlyWindow::putPicture()
{
    X& x = *m_x;
    if (!x.canPut || m_picture.isNull() || m_size.isEmpty())
        return;
    if (m_screenCopy.isNull()) {
        m_destination = earlyPictureRect(m_size, m_fullSize.isEmpty() ? m_picture.size() : m_fullSize);
        if (m_destination.isEmpty())
            return;
        // Once Qt is up, the viewer's own scaler: faster, and the viewer window's first frame is then
        // the same picture. Before, without a QPainter, which needs Qt's application object.
        const QImage scaled = m_qtReady ? scaleForScreen(m_picture, QRectF(m_picture.rect()), m_destination.size())
                                        : scaledInBands(m_picture, m_destination.size());
        if (scaled.hasAlphaChannel()) {
            // Transparent parts show the viewer's background, as in the viewer window.
            m_screenCopy = overBackground(scaled, m_plan.background);
        } else {
            m_screenCopy = scaled.convertToFormat(QImage::Format_RGB32);
        }
        startup::mark("early picture scaled");
    }
    const bool shared = x.shm && putShared();
    if (!shared)
        putInStrips();
    if (!m_shown)
        qCDebug(lcViewer) << "early picture put" << (shared ? "through shared memory" : "through the socket");
    xcb_flush(x.connection);
    if (!m_shown)
        startup::mark("early picture shown");
    m_shown = true;
}

bool EarlyWindow::putShared()
{
    X& x = *m_x;
    const std::size_t bytes = std::size_t(m_screenCopy.bytesPerLine()) * std::size_t(m_screenCopy.height());
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) {
        x.shm = false;
        return false;
    }
    void* memory = shmat(id, nullptr, 0);
    const xcb_shm_seg_t segment = xcb_generate_id(x.connection);
    bool attached = false;
    if (memory != reinterpret_cast<void*>(-1)) {
        std::memcpy(memory, m_screenCopy.constBits(), bytes);
        const XcbReply<xcb_generic_error_t> error(
            xcb_request_check(x.connection, xcb_shm_attach_checked(x.connection, segment, std::uint32_t(id), 1)));
        attached = !error;
    }
    // Gone once both sides let go of it, whatever happens next.
    shmctl(id, IPC_RMID, nullptr);
    if (attached) {
        xcb_shm_put_image(x.connection, x.window, x.gc, std::uint16_t(m_screenCopy.width()),
                          std::uint16_t(m_screenCopy.height()), 0, 0, std::uint16_t(m_screenCopy.width()),
                          std::uint16_t(m_screenCopy.height()), std::int16_t(m_destination.x()),
                          std::int16_t(m_destination.y()), x.depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment, 0);
        xcb_shm_detach(x.connection, segment);
        // The server has read the memory once it answers a later request.
        std::free(xcb_get_input_focus_reply(x.connection, xcb_get_input_focus(x.connection), nullptr));
    } else {
        // A display elsewhere, or one that refuses: the socket then.
        x.shm = false;
    }
    if (memory != reinterpret_cast<void*>(-1))
        shmdt(memory);
    return attached;
}

void EarlyWindow::putInStrips()
{
    X& x = *m_x;
    const int stride = int(m_screenCopy.bytesPerLine());
    // Each request within the server's limit, less its header.
    const int rowsPerStrip = std::max(1, int((x.maxRequestBytes - 64) / std::uint32_t(stride)));
    for (int top = 0; top < m_screenCopy.height(); top += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, m_screenCopy.height() - top);
        xcb_put_image(x.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, x.window, x.gc, std::uint16_t(m_screenCopy.width()),
                      std::uint16_t(rows), std::int16_t(m_destination.x()), std::int16_t(m_destination.y() + top), 0,
                      x.depth, std::uint32_t(stride * rows), m_screenCopy.constScanLine(top));
    }
}

void EarlyWindow::translateKey(void* generic)
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
            qCWarning(lcViewer) << "cannot read the keyboard's layout: keys typed before the window came are dropped";
            return;
        }
    }
    // The modifiers and the layout group as the event had them.
    const std::uint32_t locked = event->state & (kLockMask | kMod2Mask);
    xkb_state_update_mask(x.keyState, event->state & 0xff & ~locked, 0, locked, 0, 0, (event->state >> 13) & 3);
    const xkb_keysym_t keysym = xkb_state_key_get_one_sym(x.keyState, event->detail);
    char text[64] = {};
    xkb_state_key_get_utf8(x.keyState, event->detail, text, sizeof text);
    EarlyKey key;
    key.type = (event->response_type & 0x7f) == XCB_KEY_PRESS ? QEvent::KeyPress : QEvent::KeyRelease;
    key.text = QString::fromUtf8(text);
    // Control and the like make control characters; Qt reports those as text as well.
    key.key = qtKeyForKeysym(keysym, key.text);
    key.modifiers = qtModifiersForState(event->state, keysym);
    key.keycode = event->detail;
    key.keysym = keysym;
    key.state = event->state;
    key.time = event->time;
    m_keys.push_back(std::move(key));
}

std::vector<EarlyKey> EarlyWindow::takeKeys()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_keys, {});
}

void EarlyWindow::close()
{
    const std::lock_guard lock(m_mutex);
    if (!m_x->connection)
        return;
    xcb_destroy_window(m_x->connection, m_x->window);
    xcb_flush(m_x->connection);
    m_x = std::make_unique<X>();
    m_picture = QImage();
    m_screenCopy = QImage();
}

bool EarlyWindow::pictureShown() const
{
    const std::lock_guard lock(m_mutex);
    return m_shown;
}

std::uint32_t EarlyWindow::windowId() const
{
    const std::lock_guard lock(m_mutex);
    return m_x->window;
}

QSize EarlyWindow::size() const
{
    const std::lock_guard lock(m_mutex);
    return m_size;
}

} // namespace marquelo
