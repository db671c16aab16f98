#include "ui/prefs/GeneralPreferencesPage.h"

#include "core/settings/PreferencesFieldLimits.h"
#include "ui/settings/FormBuilder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <vector>

namespace marquelo {

GeneralPreferencesPage::GeneralPreferencesPage(AppConfig& values, UserInterface& ui,
                                               const PreferencesServices& services, QWidget* parent)
    : PreferencesPage(values, ui, services, parent)
{
    // Each section binds its controls and adds them to the keyboard order, in the page's order.
    std::vector<QWidget*> order;
    auto* top = new QHBoxLayout;
    top->addWidget(makeAppearance(order), 3);
    top->addWidget(makeSorting(order), 1);
    QGroupBox* output = makeOutput(order);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(output);
    page->addStretch(1);
    chainTabOrder(order);
}

QGroupBox* GeneralPreferencesPage::makeAppearance(std::vector<QWidget*>& order)
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
    m_appearance = new QComboBox(this);
    m_appearance->setObjectName(QStringLiteral("Appearance"));
    m_appearance->addItems({QStringLiteral("Classic"), QStringLiteral("Modern")});
    auto* appearanceLabel = makeLabel(QStringLiteral("Loo&k"), m_appearance);
    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(colourButton);
    colourRow->addWidget(m_swatch);
    colourRow->addSpacing(12);
    colourRow->addWidget(appearanceLabel);
    colourRow->addWidget(m_appearance);
    colourRow->addStretch(1);
    auto* grid = new QGridLayout(appearance);
    placeCells(grid, {{startFull, 0, 0},
                      {titleBar, 1, 0},
                      {toolbar, 2, 0},
                      {imageInfo, 3, 0},
                      {m_readAhead, 0, 1},
                      {depthRow, 1, 1},
                      {colourRow, 2, 1},
                      {edited, 3, 1},
                      {confirmDelete, 4, 1}});
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    bindFlag(startFull, &AppConfig::StartMaximized);
    bindFlag(titleBar, &AppConfig::FullScreenTitleBar);
    bindFlag(toolbar, &AppConfig::ShowToolbar);
    bindFlag(imageInfo, &AppConfig::ShowImageInfo);
    bindFlag(m_readAhead, &AppConfig::ReadAhead);
    bindNonNegative(m_depth, &AppConfig::CacheDepth);
    bindFlag(edited, &AppConfig::BundleEditedImages);
    bindFlag(confirmDelete, &AppConfig::ConfirmDelete);
    order.insert(order.end(), {startFull, titleBar, toolbar, imageInfo, m_readAhead, m_depth, colourButton,
                               m_appearance, edited, confirmDelete});
    connect(m_readAhead, &QCheckBox::toggled, this, &GeneralPreferencesPage::updateDepthEnabled);
    connect(colourButton, &QPushButton::clicked, this, &GeneralPreferencesPage::chooseColour);
    return appearance;
}

QGroupBox* GeneralPreferencesPage::makeSorting(std::vector<QWidget*>& order)
{
    auto* sortingBox = new QGroupBox(QStringLiteral("Image Sorting"), this);
    auto* sorting = new QButtonGroup(this);
    sorting->setObjectName(QStringLiteral("Sorting"));
    auto* sortingLayout = new QVBoxLayout(sortingBox);
    const std::vector<QRadioButton*> radios =
        addRadioButtons(sorting, QStringLiteral("Sorting"),
                        {"By &Number", "By Na&me", "By Filetim&e", "By Capture T&ime"}, this, sortingLayout);
    sortingLayout->addStretch(1);
    bindChoice(sorting, &AppConfig::Sorting);
    order.insert(order.end(), radios.begin(), radios.end());
    return sortingBox;
}

QGroupBox* GeneralPreferencesPage::makeOutput(std::vector<QWidget*>& order)
{
    auto* output = new QGroupBox(QStringLiteral("Output"), this);
    m_directory = makeEdit("BaseOutputDirectory");
    m_htmlFile = makeEdit("OutputFilename");
    auto* subdirectory = makeCheck(QStringLiteral("&Subdirectory"), "CreateSubdirectory");
    auto* grid = new QGridLayout(output);
    auto* directoryLabel = makeLabel(QStringLiteral("Direct&ory"), m_directory);
    auto* browse =
        makeFolderBrowse(QStringLiteral("Bro&wse..."), QStringLiteral("Select base output directory"), m_directory);
    placeCells(grid, {{directoryLabel, 0, 0},
                      {m_directory, 0, 1, 1, 2},
                      {browse, 0, 3},
                      {makeLabel(QStringLiteral("&HTML File"), m_htmlFile), 1, 0},
                      {m_htmlFile, 1, 1},
                      {subdirectory, 1, 2, 1, 2}});
    grid->setColumnStretch(1, 1);
    bindText(m_directory, &AppConfig::BaseOutputDirectory, kPathFieldMaxChars);
    bindText(m_htmlFile, &AppConfig::OutputFilename, kPathFieldMaxChars);
    bindFlag(subdirectory, &AppConfig::CreateSubdirectory);
    order.insert(order.end(), {m_directory, browse, m_htmlFile, subdirectory});
    return output;
}

void GeneralPreferencesPage::fillControls()
{
    PreferencesPage::fillControls();
    // A stored number this program does not know shows as Classic, which is what the viewer draws for it.
    m_appearance->setCurrentIndex(values().Appearance == 1 ? 1 : 0);
    updateDepthEnabled();
    updateSwatch();
}

bool GeneralPreferencesPage::readControls()
{
    if (!PreferencesPage::readControls())
        return false;
    values().Appearance = std::uint8_t(m_appearance->currentIndex() == 1 ? 1 : 0);
    return true;
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
