#pragma once
// The Modern toolbar's icons: the desktop's icon theme by freedesktop names, its symbolic (one-colour)
// variants first, our own drawings from res/viewer/ where the theme has none. One-colour icons are drawn
// in a colour that reads on the dark bar, rendered at each device pixel ratio, so they stay sharp.

#include <QColor>
#include <QIcon>
#include <QString>

#include <string_view>

namespace marquelo {

// Where an icon came from: the theme's symbolic or full-colour icon, or our own drawing.
enum class IconSource { ThemeSymbolic, ThemeColour, Own };

struct ThemedIcon {
    QIcon icon;
    IconSource source;
    QString name; // the theme name used, or our resource path
};

// The icon for the toolbar button whose own drawing is `ownName` ("rotate-left"), with one-colour icons
// drawn in `ink`.
ThemedIcon toolbarIcon(std::string_view ownName, QColor ink);

// `source` with every opaque pixel in `ink` (its alpha kept), rendered at the size and ratio asked for.
// A disabled icon is drawn at a third of the ink's strength.
QIcon inkedIcon(const QIcon& source, QColor ink);

} // namespace marquelo
