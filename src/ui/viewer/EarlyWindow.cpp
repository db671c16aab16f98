#include "ui/viewer/EarlyWindow.h"

#include "core/settings/Logging.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <array>
#include <utility>

namespace marquelo {

namespace {

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
constexpr std::uint32_t kControlMask = 1u << 2;
constexpr std::uint32_t kMod1Mask = 1u << 3;
constexpr std::uint32_t kMod4Mask = 1u << 6;

// `image` laid over the plain `background`, without a QPainter.
QImage overBackground(const QImage& image, std::uint32_t background)
{
    const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage flat(source.size(), QImage::Format_RGB32);
    const int r = int(background >> 16) & 0xff, g = int(background >> 8) & 0xff, b = int(background) & 0xff;
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

EarlyWindow::EarlyWindow(EarlyScreen& screen) : m_screen(screen) {}

EarlyWindow::~EarlyWindow()
{
    close();
}

void EarlyWindow::showPicture(const QImage& image, QSize fullSize)
{
    if (m_screen.decodesItself())
        return;
    if (image.isNull()) {
        m_screen.noPictureComing();
        return;
    }
    // The screen takes 32-bit xRGB words; transparent parts show the viewer's background, as in the
    // viewer window.
    const QImage flat = image.hasAlphaChannel() ? overBackground(image, m_screen.backgroundXrgb())
                                                : image.convertToFormat(QImage::Format_RGB32);
    m_screen.showPicture(reinterpret_cast<const std::uint32_t*>(flat.constBits()), flat.width(), flat.height(),
                         flat.bytesPerLine(), fullSize.width(), fullSize.height());
    logNotes();
}

bool EarlyWindow::decodesItself() const
{
    return m_screen.decodesItself();
}

void EarlyWindow::pictureComing()
{
    m_screen.pictureComing();
}

void EarlyWindow::waitWhilePutting(std::chrono::milliseconds patience)
{
    m_screen.waitWhilePutting(int(patience.count()));
}

void EarlyWindow::pump()
{
    m_screen.pump();
    logNotes();
}

void EarlyWindow::logNotes()
{
    for (const EarlyNote& note : m_screen.takeNotes()) {
        if (note.warning)
            qCWarning(lcViewer) << note.text.c_str();
        else
            qCInfo(lcViewer) << note.text.c_str();
    }
}

std::vector<EarlyKey> EarlyWindow::takeKeys()
{
    std::vector<EarlyKey> keys;
    for (const EarlyKeyPress& press : m_screen.takeKeys()) {
        EarlyKey key;
        key.type = press.press ? QEvent::KeyPress : QEvent::KeyRelease;
        key.text = QString::fromUtf8(press.text);
        key.key = qtKeyForKeysym(press.keysym, key.text);
        key.modifiers = qtModifiersForState(press.state, press.keysym);
        key.keycode = press.keycode;
        key.keysym = press.keysym;
        key.state = press.state;
        key.time = press.time;
        keys.push_back(std::move(key));
    }
    return keys;
}

void EarlyWindow::close()
{
    m_screen.close();
    logNotes();
}

} // namespace marquelo
