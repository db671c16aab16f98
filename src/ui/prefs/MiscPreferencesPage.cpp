#include "ui/prefs/MiscPreferencesPage.h"

#include "core/settings/PreferencesFieldLimits.h"
#include "ui/settings/FormBuilder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace marquelo {

MiscPreferencesPage::MiscPreferencesPage(AppConfig& values, const AppConfig& installedConfig, UserInterface& ui,
                                         const PreferencesServices& services, QWidget* parent)
    : PreferencesPage(values, ui, services, parent), m_installedConfig(installedConfig)
{
    m_installation = makeEdit("InstallationPath");
    auto* installationBrowse = makeFolderBrowse(
        QStringLiteral("&Browse..."), QStringLiteral("Select application base installation directory"), m_installation);
    auto* htmlEditor = makeEdit("HtmlEditor");
    auto* htmlEditorBrowse =
        makeProgramBrowse(QStringLiteral("Br&owse..."), QStringLiteral("Select HTML editing application"), htmlEditor);
    auto* browser = makeEdit("PreviewBrowser");
    auto* browserBrowse = makeProgramBrowse(QStringLiteral("Bro&wse..."),
                                            QStringLiteral("Select browser application for page preview"), browser);
    auto* extensions = makeEdit("OtherExtensions");
    auto* pictureExtensions = makeEdit("PictureExtensions");
    auto* bundleRaw = makeCheck(QStringLiteral("Show RAW files with their &JPEG twin"), "BundleRawImages");
    m_favorites = makeEdit("BestOfDirectory");
    auto* favoritesBrowse =
        makeFolderBrowse(QStringLiteral("Brows&e..."), QStringLiteral("Select favorites directory"), m_favorites);

    auto* grid = new QGridLayout;
    addFieldRows(grid, this,
                 {{"&Installation Path", m_installation, installationBrowse},
                  {"&HTML Editor", htmlEditor, htmlEditorBrowse},
                  {"&Preview Browser", browser, browserBrowse},
                  {"File &Extensions", extensions},
                  {"Pic&ture Extensions", pictureExtensions},
                  {"", bundleRaw},
                  {"&Favorites Folder", m_favorites, favoritesBrowse}});
    grid->setColumnStretch(1, 1);

    auto* sizeBox = new QGroupBox(QStringLiteral("Favorite Size"), this);
    auto* size = new QButtonGroup(this);
    size->setObjectName(QStringLiteral("FavoriteSize"));
    auto* sizeLayout = new QHBoxLayout(sizeBox);
    const std::vector<QRadioButton*> radios =
        addRadioButtons(size, QStringLiteral("FavoriteSize"), {"&Small", "&Medium", "&Large"}, this, sizeLayout);
    sizeLayout->addStretch(1);

    auto* update = new QPushButton(QStringLiteral("Check for &updates"), this);
    update->setObjectName(QStringLiteral("CheckForUpdates"));
    update->setAutoDefault(true);
    connect(update, &QPushButton::clicked, this, [this] {
        if (this->services().checkForUpdates)
            this->services().checkForUpdates(m_installedConfig.InstallationPath);
    });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(sizeBox, 1);
    bottom->addWidget(update, 0, Qt::AlignBottom);

    auto* page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addLayout(bottom);
    page->addStretch(1);

    chainTabOrder({m_installation, installationBrowse, htmlEditor, htmlEditorBrowse, browser, browserBrowse, extensions,
                   pictureExtensions, bundleRaw, m_favorites, favoritesBrowse, radios[0], radios[1], radios[2],
                   update});

    bindText(m_installation, &AppConfig::InstallationPath, kPathFieldMaxChars);
    bindText(htmlEditor, &AppConfig::HtmlEditor, kPathFieldMaxChars);
    bindText(browser, &AppConfig::PreviewBrowser, kPathFieldMaxChars);
    bindText(extensions, &AppConfig::OtherExtensions, 0);
    bindText(pictureExtensions, &AppConfig::PictureExtensions, 0);
    bindFlag(bundleRaw, &AppConfig::BundleRawImages);
    bindText(m_favorites, &AppConfig::BestOfDirectory, kPathFieldMaxChars);
    bindChoice(size, &AppConfig::FavoriteSize);
}

} // namespace marquelo
