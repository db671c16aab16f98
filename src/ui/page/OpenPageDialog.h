#pragma once
// "Open existing page - automatic end tag removal failed": tells the user to cut the ending out by hand,
// with the choice of seeing this only while Shift is held from now on.

#include <QDialog>

class QCheckBox;

namespace marquelo {

class OpenPageDialog : public QDialog {
    Q_OBJECT
public:
    OpenPageDialog(const QString& notice, bool onlyWithShift, QWidget* parent = nullptr);

    // The state of "Only show this dialog when Shift key is down".
    bool onlyWithShift() const;

private:
    QCheckBox* m_onlyWithShift;
};

} // namespace marquelo
