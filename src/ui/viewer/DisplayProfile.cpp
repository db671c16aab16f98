#include "ui/viewer/DisplayProfile.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#ifdef MARQUELO_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>
#endif

namespace marquelo {

#ifdef MARQUELO_HAVE_XCB
namespace {

QByteArray profileOfRoot(xcb_connection_t* connection, const xcb_screen_t* screen)
{
    static constexpr char kAtom[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof kAtom - 1, kAtom), nullptr);
    if (!atom)
        return {};
    const xcb_atom_t name = atom->atom;
    std::free(atom);
    if (name == XCB_ATOM_NONE)
        return {};
    // A profile is a few kB to a few hundred kB; 16 MB (in 32-bit units) is far above any real one.
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, screen->root, name, XCB_ATOM_CARDINAL, 0, 4u << 20), nullptr);
    if (!reply)
        return {};
    QByteArray profile;
    if (reply->format == 8)
        profile =
            QByteArray(static_cast<const char*>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
    std::free(reply);
    return profile;
}

} // namespace
#endif

QByteArray readDisplayProfile()
{
#ifdef MARQUELO_HAVE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return {};
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    return screen ? profileOfRoot(connection, screen) : QByteArray();
#else
    return {};
#endif
}

std::optional<StartPicture::Screen> probeScreenBeforeQt()
{
#ifdef MARQUELO_HAVE_XCB
    // Only where Qt will draw on this same X screen: its own choice of platform, or xcb by name.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool xcbChosen = platform && std::string_view(platform).starts_with("xcb");
    if (platform && *platform && !xcbChosen)
        return std::nullopt;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!xcbChosen && wayland && *wayland)
        return std::nullopt;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return std::nullopt;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    std::optional<StartPicture::Screen> found;
    if (!xcb_connection_has_error(connection)) {
        // The screen Qt's readers take as well (the first root); on several monitors the root spans them
        // all, which decodes more detail than one of them needs, never less.
        if (const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data)
            found = StartPicture::Screen{QSize(screen->width_in_pixels, screen->height_in_pixels),
                                         profileOfRoot(connection, screen)};
    }
    xcb_disconnect(connection);
    return found;
#else
    return std::nullopt;
#endif
}

} // namespace marquelo
