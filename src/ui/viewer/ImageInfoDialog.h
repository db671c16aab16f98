#pragma once
// The read-only image information dialog: full path, size of the shown part, file size, edited state,
// and the photo's own details (camera, exposure, date taken, place with a map button) when it has them.

#include "core/viewer/PhotoDetails.h"

#include <QDialog>
#include <QString>

namespace marquelo {

// The five texts the dialog shows, worked out by the viewer from the current entry and view.
struct ImageInfoTexts {
    QString title;    // the shown file's name
    QString path;     // folder + "/" + name
    QString size;     // "%d x %d" of the source rectangle, or "<unknown>"
    QString fileSize; // "%d bytes"
    QString edited;   // "Yes" or "No"
    // Rows that only some pictures have (empty: the row is left out).
    QString rawCompanion; // the RAW file carried by a JPEG's entry
    QString rendering;    // how the picture was obtained, e.g. a RAW file's embedded preview
    QString problem;      // "Cannot read this picture: ..." when the picture failed to load
    PhotoDetails details; // camera, exposure, date and place, shown below when present
};

class ImageInfoDialog : public QDialog {
    Q_OBJECT
public:
    explicit ImageInfoDialog(const ImageInfoTexts& texts, QWidget* parent = nullptr);

    const ImageInfoTexts& texts() const { return m_texts; }

private:
    ImageInfoTexts m_texts;
};

} // namespace marquelo
