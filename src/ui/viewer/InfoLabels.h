#pragma once
// The info line ("3/17") and the file name floating over the top left corner of the picture.

#include <QString>

class QLabel;
class QWidget;

namespace marquelo {

class InfoLabels {
public:
    // The labels become children of `window` (object names "info" and "fileName").
    explicit InfoLabels(QWidget* window);

    // `position` counts from 1. A name too long for its label is cut with an ellipsis; the tooltip
    // holds it whole.
    void show(int position, int count, const QString& name);
    void setVisible(bool visible);

private:
    QLabel* m_info = nullptr;
    QLabel* m_fileName = nullptr;
    QString m_fileNameFull;
};

} // namespace marquelo
