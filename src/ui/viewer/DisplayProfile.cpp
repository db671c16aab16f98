#include "ui/viewer/DisplayProfile.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#ifdef MARQUELO_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace marquelo {

QByteArray readDisplayProfile()
{
#ifdef MARQUELO_HAVE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return {};
    static constexpr char kAtom[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof kAtom - 1, kAtom), nullptr);
    if (!atom)
        return {};
    const xcb_atom_t name = atom->atom;
    std::free(atom);
    if (name == XCB_ATOM_NONE)
        return {};
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
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
#else
    return {};
#endif
}

} // namespace marquelo
