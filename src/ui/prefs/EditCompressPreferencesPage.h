#pragma once
// The Edit/Compress page: the image editor and edit suffix, the compression program and the three sizes.

#include "ui/prefs/PreferencesPage.h"

class QGroupBox;

namespace marquelo {

class EditCompressPreferencesPage : public PreferencesPage {
    Q_OBJECT
public:
    EditCompressPreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                                QWidget* parent = nullptr);

    QLineEdit* suffixEdit() const { return m_suffix; }

private:
    // The page's sections; each appends its controls to the keyboard `order`.
    QGroupBox* makeEditing(std::vector<QWidget*>& order);
    QGroupBox* makeCompression(std::vector<QWidget*>& order);

    QLineEdit* m_suffix = nullptr;
};

} // namespace marquelo
