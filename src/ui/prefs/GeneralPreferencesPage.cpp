#include "ui/prefs/GeneralPreferencesPage.h"

#include "core/settings/PreferencesFieldLimits.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace marquelo {

GeneralPreferencesPage::GeneralPreferencesPage(AppConfig& values, UserInterface& ui,
                                               const PreferencesServices& services, QWidget* parent)
    : PreferencesPage(values, ui, services, parent)
{
    auto* appearance = new QGroupBox(QStringLiteral("Appearance"), this);
    auto* startFull = makeCheck(QStringLiteral("Start &Full Screen"), "StartMaximized");
    auto* titleBar = makeCheck(QStringLiteral("Titl&e Bar in Full Screen"), "FullScreenTitleBar");
    auto* toolbar = makeCheck(QStringLiteral("Show &Toolbar"), "ShowToolbar");
    auto* imageInfo = makeCheck(QStringLiteral("&Always Show Image Info"), "ShowImageInfo");
    m_readAhead = makeCheck(QStringLiteral("Use &read-ahead caching"), "ReadAhead");
    m_depth = makeEdit("CacheDepth");
    // Digits only, as the field of a count; an empty field is still possible and refused on reading.
    m_depth->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_depth));
    m_depth->setMaximumWidth(m_depth->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 8);
    m_depthLabel = makeLabel(QStringLiteral("De&pth"), m_depth);
    auto* colourButton = new QPushButton(QStringLiteral("Bg &Color"), this);
    colourButton->setObjectName(QStringLiteral("BackgroundColorButton"));
    colourButton->setAutoDefault(true);
    m_swatch = new QLabel(this);
    m_swatch->setObjectName(QStringLiteral("BackgroundColorSwatch"));
    m_swatch->setFrameShape(QFrame::Box);
    m_swatch->setAutoFillBackground(true);
    m_swatch->setFixedSize(colourButton->sizeHint().height() * 2, colourButton->sizeHint().height());
    auto* edited = makeCheck(QStringLiteral("&Look for Edited Images"), "BundleEditedImages");
    auto* confirmDelete = makeCheck(QStringLiteral("Confirm &Delete on Exit"), "ConfirmDelete");

    auto* depthRow = new QHBoxLayout;
    depthRow->setContentsMargins(20, 0, 0, 0);
    depthRow->addWidget(m_depthLabel);
    depthRow->addWidget(m_depth);
    depthRow->addStretch(1);
    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(colourButton);
    colourRow->addWidget(m_swatch);
    colourRow->addStretch(1);

    auto* appearanceGrid = new QGridLayout(appearance);
    appearanceGrid->addWidget(startFull, 0, 0);
    appearanceGrid->addWidget(titleBar, 1, 0);
    appearanceGrid->addWidget(toolbar, 2, 0);
    appearanceGrid->addWidget(imageInfo, 3, 0);
    appearanceGrid->addWidget(m_readAhead, 0, 1);
    appearanceGrid->addLayout(depthRow, 1, 1);
    appearanceGrid->addLayout(colourRow, 2, 1);
    appearanceGrid->addWidget(edited, 3, 1);
    appearanceGrid->addWidget(confirmDelete, 4, 1);
    appearanceGrid->setColumnStretch(0, 1);
    appearanceGrid->setColumnStretch(1, 1);

    auto* sortingBox = new QGroupBox(QStringLiteral("Image Sorting"), this);
    auto* sorting = new QButtonGroup(this);
    sorting->setObjectName(QStringLiteral("Sorting"));
    auto* sortingLayout = new QVBoxLayout(sortingBox);
    const QString sortingTexts[] = {QStringLiteral("By &Number"), QStringLiteral("By Na&me"),
                                    QStringLiteral("By Filetim&e")};
    QRadioButton* radios[3] = {};
    for (int i = 0; i < 3; ++i) {
        auto* radio = radios[i] = new QRadioButton(sortingTexts[i], this);
        radio->setObjectName(QStringLiteral("Sorting%1").arg(i));
        sorting->addButton(radio, i);
        sortingLayout->addWidget(radio);
    }
    sortingLayout->addStretch(1);

    auto* output = new QGroupBox(QStringLiteral("Output"), this);
    m_directory = makeEdit("BaseOutputDirectory");
    m_htmlFile = makeEdit("OutputFilename");
    auto* subdirectory = makeCheck(QStringLiteral("&Subdirectory"), "CreateSubdirectory");
    auto* outputGrid = new QGridLayout(output);
    outputGrid->addWidget(makeLabel(QStringLiteral("Direct&ory"), m_directory), 0, 0);
    outputGrid->addWidget(m_directory, 0, 1, 1, 2);
    auto* browse =
        makeFolderBrowse(QStringLiteral("Bro&wse..."), QStringLiteral("Select base output directory"), m_directory);
    outputGrid->addWidget(browse, 0, 3);
    outputGrid->addWidget(makeLabel(QStringLiteral("&HTML File"), m_htmlFile), 1, 0);
    outputGrid->addWidget(m_htmlFile, 1, 1);
    outputGrid->addWidget(subdirectory, 1, 2, 1, 2);
    outputGrid->setColumnStretch(1, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(appearance, 3);
    top->addWidget(sortingBox, 1);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(output);
    page->addStretch(1);

    bindFlag(startFull, &AppConfig::StartMaximized);
    bindFlag(titleBar, &AppConfig::FullScreenTitleBar);
    bindFlag(toolbar, &AppConfig::ShowToolbar);
    bindFlag(imageInfo, &AppConfig::ShowImageInfo);
    bindFlag(m_readAhead, &AppConfig::ReadAhead);
    bindNonNegative(m_depth, &AppConfig::CacheDepth);
    bindFlag(edited, &AppConfig::BundleEditedImages);
    bindFlag(confirmDelete, &AppConfig::ConfirmDelete);
    bindChoice(sorting, &AppConfig::Sorting);
    bindText(m_directory, &AppConfig::BaseOutputDirectory, kPathFieldMaxChars);
    bindText(m_htmlFile, &AppConfig::OutputFilename, kPathFieldMaxChars);
    bindFlag(subdirectory, &AppConfig::CreateSubdirectory);

    chainTabOrder({startFull, titleBar, toolbar, imageInfo, m_readAhead, m_depth, colourButton, edited, confirmDelete,
                   radios[0], radios[1], radios[2], m_directory, browse, m_htmlFile, subdirectory});

    connect(m_readAhead, &QCheckBox::toggled, this, &GeneralPreferencesPage::updateDepthEnabled);
    connect(colourButton, &QPushButton::clicked, this, &GeneralPreferencesPage::chooseColour);
}

void GeneralPreferencesPage::fillControls()
{
    PreferencesPage::fillControls();
    updateDepthEnabled();
    updateSwatch();
}

void GeneralPreferencesPage::updateDepthEnabled()
{
    const bool on = m_readAhead->isChecked();
    m_depthLabel->setEnabled(on);
    m_depth->setEnabled(on);
}

void GeneralPreferencesPage::updateSwatch()
{
    const ColourRef c = values().BackgroundColor;
    QPalette palette = m_swatch->palette();
    palette.setColor(QPalette::Window, QColor(colourRed(c), colourGreen(c), colourBlue(c)));
    m_swatch->setPalette(palette);
    m_swatch->update();
}

void GeneralPreferencesPage::chooseColour()
{
    // The colour is the page's own member: it reaches the settings only with the other entries on OK.
    ColourRef colour = values().BackgroundColor;
    if (services().pickColour && services().pickColour(this, colour)) {
        values().BackgroundColor = colour;
        updateSwatch();
    }
}

} // namespace marquelo
