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
#include <QPlainTextEdit>
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

    // The cull: where stars and labels go for a photo without a sidecar, what Delete does to a RAW+JPEG
    // pair, and the four send-to folders of Ctrl+Shift+1 to 4.
    auto* cullBox = new QGroupBox(QStringLiteral("Cull"), this);
    auto* cull = new QGridLayout(cullBox);
    auto radioPair = [this](const char* name, const QString& first, const QString& second) {
        auto* group = new QButtonGroup(this);
        group->setObjectName(QLatin1String(name));
        for (int i = 0; i < 2; ++i) {
            auto* radio = new QRadioButton(i == 0 ? first : second, this);
            radio->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(name)).arg(i));
            group->addButton(radio, i);
        }
        return group;
    };
    auto* naming = radioPair("SidecarNaming", QStringLiteral("photo.jpg.xmp (darktable, digiKam)"),
                             QStringLiteral("photo.xmp (Adobe)"));
    auto* pairDelete =
        radioPair("PairDelete", QStringLiteral("RAW and JPEG together"), QStringLiteral("the JPEG only"));
    cull->addWidget(new QLabel(QStringLiteral("New sidecar:"), this), 0, 0);
    cull->addWidget(naming->button(0), 0, 1);
    cull->addWidget(naming->button(1), 0, 2);
    cull->addWidget(new QLabel(QStringLiteral("Delete of a pair:"), this), 1, 0);
    cull->addWidget(pairDelete->button(0), 1, 1);
    cull->addWidget(pairDelete->button(1), 1, 2);
    QLineEdit* sendTo[4] = {makeEdit("SendTo1Directory"), makeEdit("SendTo2Directory"), makeEdit("SendTo3Directory"),
                            makeEdit("SendTo4Directory")};
    std::string AppConfig::*sendToFields[4] = {&AppConfig::SendTo1Directory, &AppConfig::SendTo2Directory,
                                               &AppConfig::SendTo3Directory, &AppConfig::SendTo4Directory};
    auto* sendToRow = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        sendTo[i]->setPlaceholderText(QStringLiteral("Send-to %1 (Ctrl+Shift+%1)").arg(i + 1));
        sendToRow->addWidget(sendTo[i]);
        bindText(sendTo[i], sendToFields[i], kPathFieldMaxChars);
    }
    cull->addWidget(new QLabel(QStringLiteral("Send-to folders:"), this), 2, 0);
    cull->addLayout(sendToRow, 2, 1, 1, 2);
    auto* captionToSidecar =
        makeCheck(QStringLiteral("Save page &captions as the photo's description in its sidecar"), "CaptionToSidecar");
    cull->addWidget(captionToSidecar, 3, 1, 1, 2);

    // The capture-time order: cameras whose clock was on another zone or simply wrong.
    auto* clockBox = new QGroupBox(QStringLiteral("Camera Clocks (capture-time order)"), this);
    auto* clockLayout = new QVBoxLayout(clockBox);
    m_clockOffsets = new QPlainTextEdit(this);
    m_clockOffsets->setObjectName(QStringLiteral("CameraClockOffsets"));
    m_clockOffsets->setPlaceholderText(QStringLiteral("Canon EOS 80D = -3600"));
    m_clockOffsets->setTabChangesFocus(true);
    m_clockOffsets->setFixedHeight(m_clockOffsets->fontMetrics().lineSpacing() * 4);
    auto* clockHint = new QLabel(
        QStringLiteral("One camera a line: make and model (as the photo info shows them) = seconds added to its times"),
        this);
    clockHint->setWordWrap(true);
    clockLayout->addWidget(m_clockOffsets);
    clockLayout->addWidget(clockHint);
    auto* fourPanes = makeCheck(QStringLiteral("Compare (Shift+C) with four panes"), "CompareFourPanes");
    cull->addWidget(fourPanes, 4, 1, 1, 2);

    auto* page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addLayout(bottom);
    page->addWidget(cullBox);
    page->addWidget(clockBox);
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
    bindChoice(naming, &AppConfig::SidecarNaming);
    bindChoice(pairDelete, &AppConfig::PairDelete);
    bindFlag(captionToSidecar, &AppConfig::CaptionToSidecar);
    bindTemplate(m_clockOffsets, &AppConfig::CameraClockOffsets, 0);
    bindFlag(fourPanes, &AppConfig::CompareFourPanes);
}

} // namespace marquelo
