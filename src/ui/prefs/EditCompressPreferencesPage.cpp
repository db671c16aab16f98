#include "ui/prefs/EditCompressPreferencesPage.h"

#include "core/settings/PreferencesFieldLimits.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace marquelo {

EditCompressPreferencesPage::EditCompressPreferencesPage(AppConfig& values, UserInterface& ui,
                                                         const PreferencesServices& services, QWidget* parent)
    : PreferencesPage(values, ui, services, parent)
{
    auto* editing = new QGroupBox(QStringLiteral("Image Editing"), this);
    auto* editApp = makeEdit("ImageEditApp");
    auto* editArgs = makeEdit("ImageEditArg");
    m_suffix = makeEdit("EditFileSuffix");
    auto* editGrid = new QGridLayout(editing);
    editGrid->addWidget(makeLabel(QStringLiteral("A&pplication"), editApp), 0, 0);
    editGrid->addWidget(editApp, 0, 1, 1, 3);
    auto* editBrowse =
        makeProgramBrowse(QStringLiteral("&Browse..."), QStringLiteral("Select image editing application"), editApp);
    editGrid->addWidget(editBrowse, 0, 4);
    editGrid->addWidget(makeLabel(QStringLiteral("A&rguments"), editArgs), 1, 0);
    editGrid->addWidget(editArgs, 1, 1);
    editGrid->addWidget(makeLabel(QStringLiteral("Edit &Suffix"), m_suffix), 1, 2);
    editGrid->addWidget(m_suffix, 1, 3, 1, 2);
    editGrid->setColumnStretch(1, 3);
    editGrid->setColumnStretch(3, 1);

    auto* compression = new QGroupBox(QStringLiteral("Image Compression"), this);
    auto* compressApp = makeEdit("ImageCompressApp");
    auto* compressArgs = makeEdit("ImageCompressArg");
    auto* hide = makeCheck(QStringLiteral("&Hide"), "HideCompressApp");
    auto* small = makeEdit("SizeSmall");
    auto* medium = makeEdit("SizeMedium");
    auto* large = makeEdit("SizeLarge");
    const int sizeWidth = small->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10;
    for (QLineEdit* size : {small, medium, large})
        size->setMaximumWidth(sizeWidth);

    auto* sizes = new QHBoxLayout;
    sizes->addWidget(new QLabel(QStringLiteral("Sizes:"), this));
    sizes->addSpacing(8);
    sizes->addWidget(makeLabel(QStringLiteral("Small:"), small));
    sizes->addWidget(small);
    sizes->addSpacing(8);
    sizes->addWidget(makeLabel(QStringLiteral("Medium:"), medium));
    sizes->addWidget(medium);
    sizes->addSpacing(8);
    sizes->addWidget(makeLabel(QStringLiteral("Large:"), large));
    sizes->addWidget(large);
    sizes->addStretch(1);

    auto* compressGrid = new QGridLayout(compression);
    compressGrid->addWidget(makeLabel(QStringLiteral("Appli&cation"), compressApp), 0, 0);
    compressGrid->addWidget(compressApp, 0, 1);
    auto* compressBrowse = makeProgramBrowse(QStringLiteral("Bro&wse..."),
                                             QStringLiteral("Select image compressing application"), compressApp);
    compressGrid->addWidget(compressBrowse, 0, 2);
    compressGrid->addWidget(makeLabel(QStringLiteral("Argu&ments"), compressArgs), 1, 0);
    compressGrid->addWidget(compressArgs, 1, 1);
    compressGrid->addWidget(hide, 1, 2);
    compressGrid->addLayout(sizes, 2, 0, 1, 3);
    compressGrid->setColumnStretch(1, 1);

    auto* page = new QVBoxLayout(this);
    page->addWidget(editing);
    page->addWidget(compression);
    page->addStretch(1);

    chainTabOrder({editApp, editBrowse, editArgs, m_suffix, compressApp, compressBrowse, compressArgs, hide, small,
                   medium, large});

    bindText(editApp, &AppConfig::ImageEditApp, kPathFieldMaxChars);
    bindText(editArgs, &AppConfig::ImageEditArg, kPathFieldMaxChars);
    bindText(m_suffix, &AppConfig::EditFileSuffix, kPathFieldMaxChars);
    bindText(compressApp, &AppConfig::ImageCompressApp, kPathFieldMaxChars);
    bindText(compressArgs, &AppConfig::ImageCompressArg, kPathFieldMaxChars);
    bindFlag(hide, &AppConfig::HideCompressApp);
    bindRange(small, &AppConfig::SizeSmall, kMinImageSize, kMaxImageSize);
    bindRange(medium, &AppConfig::SizeMedium, kMinImageSize, kMaxImageSize);
    bindRange(large, &AppConfig::SizeLarge, kMinImageSize, kMaxImageSize);
}

} // namespace marquelo
