#pragma once
// The Edit/Compress page: the image editor and edit suffix, the compression program and the three sizes.

#include "ui/prefs/PrefsPage.h"

namespace marquelo {

class PrefsTab2 : public PrefsPage {
    Q_OBJECT
public:
    PrefsTab2(AppConfig& values, UserInterface& ui, const PrefsServices& services, QWidget* parent = nullptr);

    QLineEdit* suffixEdit() const { return m_suffix; }

private:
    QLineEdit* m_suffix = nullptr;
};

} // namespace marquelo
