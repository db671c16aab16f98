#pragma once
// The two pictures drawn instead of a photo: "no picture" (missing, unreadable or not yet loaded)
// and "movie" (a listed file that is never decoded). Drawn from vectors, so they are sharp at any
// device pixel ratio.

#include <QColor>
#include <QRect>
#include <QString>

class QPainter;

namespace marquelo {

enum class Placeholder { NoPicture, Movie };

// The colour of the labels and of the area behind a placeholder (RGB 212,208,196).
inline constexpr QColor kLabelColour = QColor(212, 208, 196);

// Fills `area` with the label colour and draws the placeholder at its own size, centred; below it the
// line `text` when there is one (why the picture could not be read).
void paintPlaceholder(QPainter& painter, const QRect& area, Placeholder which, const QString& text = QString());

// The line shown for a picture that failed to load: "Cannot read this picture: " and `reason`
// ("the file ends early"); empty when there is no reason.
QString cannotReadText(const QString& reason);

// The placeholder's own size in logical pixels.
QSize placeholderSize(Placeholder which);

} // namespace marquelo
