#pragma once
// "Choose Image Size & Alignment": the size and side of one image, asked with Shift+Enter. For a movie
// only "Current Si&ze" can be chosen, since a movie is linked, not resized.

#include "core/page/PageHost.h"

#include <QDialog>

class QButtonGroup;

namespace marquelo {

class ImageSizeDialog : public QDialog {
    Q_OBJECT
public:
    ImageSizeDialog(const AddImageChoice& initial, bool isPicture, QWidget* parent = nullptr);

    // The checked size and side.
    AddImageChoice choice() const;

private:
    QButtonGroup* m_size;
    QButtonGroup* m_side;
};

} // namespace marquelo
