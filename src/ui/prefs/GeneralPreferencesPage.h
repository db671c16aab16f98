#pragma once
// The General page: appearance (Classic or Modern), read-ahead, background colour, image sorting and the output folder.

#include "ui/prefs/PreferencesPage.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace marquelo {

class GeneralPreferencesPage : public PreferencesPage {
    Q_OBJECT
public:
    GeneralPreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                           QWidget* parent = nullptr);

    // Also enables the depth entry to match read-ahead and paints the swatch with the colour being edited.
    void fillControls() override;
    // Also reads the appearance (Classic or Modern), which has no entry that could be refused.
    bool readControls() override;

    QLineEdit* directoryEdit() const { return m_directory; }
    QLineEdit* htmlFileEdit() const { return m_htmlFile; }
    QLineEdit* depthEdit() const { return m_depth; }

private:
    // The page's sections; each appends its controls to the keyboard `order`.
    QGroupBox* makeAppearance(std::vector<QWidget*>& order);
    QGroupBox* makeSorting(std::vector<QWidget*>& order);
    QGroupBox* makeOutput(std::vector<QWidget*>& order);
    void updateDepthEnabled();
    void updateSwatch();
    void chooseColour();

    QCheckBox* m_readAhead = nullptr;
    QLabel* m_depthLabel = nullptr;
    QLineEdit* m_depth = nullptr;
    QLabel* m_swatch = nullptr;
    QComboBox* m_appearance = nullptr;
    QLineEdit* m_directory = nullptr;
    QLineEdit* m_htmlFile = nullptr;
};

} // namespace marquelo
