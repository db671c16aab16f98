#include "ui/prefs/EditCompressPreferencesPage.h"

#include "core/settings/PreferencesFieldLimits.h"
#include "ui/settings/FormBuilder.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace marquelo {

EditCompressPreferencesPage::EditCompressPreferencesPage(AppConfig& values, UserInterface& ui,
                                                         const PreferencesServices& services, QWidget* parent)
    : PreferencesPage(values, ui, services, parent)
{
    // Each section binds its controls and adds them to the keyboard order, in the page's order.
    std::vector<QWidget*> order;
    QGroupBox* editing = makeEditing(order);
    QGroupBox* compression = makeCompression(order);
    auto* page = new QVBoxLayout(this);
    page->addWidget(editing);
    page->addWidget(compression);
    page->addStretch(1);
    chainTabOrder(order);
}

QGroupBox* EditCompressPreferencesPage::makeEditing(std::vector<QWidget*>& order)
{
    auto* editing = new QGroupBox(QStringLiteral("Image Editing"), this);
    auto* editApp = makeEdit("ImageEditApp");
    auto* editArgs = makeEdit("ImageEditArg");
    m_suffix = makeEdit("EditFileSuffix");
    auto* editGrid = new QGridLayout(editing);
    auto* editAppLabel = makeLabel(QStringLiteral("A&pplication"), editApp);
    auto* editBrowse =
        makeProgramBrowse(QStringLiteral("&Browse..."), QStringLiteral("Select image editing application"), editApp);
    placeCells(editGrid, {{editAppLabel, 0, 0},
                          {editApp, 0, 1, 1, 3},
                          {editBrowse, 0, 4},
                          {makeLabel(QStringLiteral("A&rguments"), editArgs), 1, 0},
                          {editArgs, 1, 1},
                          {makeLabel(QStringLiteral("Edit &Suffix"), m_suffix), 1, 2},
                          {m_suffix, 1, 3, 1, 2}});
    editGrid->setColumnStretch(1, 3);
    editGrid->setColumnStretch(3, 1);
    bindText(editApp, &AppConfig::ImageEditApp, kPathFieldMaxChars);
    bindText(editArgs, &AppConfig::ImageEditArg, kPathFieldMaxChars);
    bindText(m_suffix, &AppConfig::EditFileSuffix, kPathFieldMaxChars);
    order.insert(order.end(), {editApp, editBrowse, editArgs, m_suffix});
    return editing;
}

QGroupBox* EditCompressPreferencesPage::makeCompression(std::vector<QWidget*>& order)
{
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
    for (const auto& [text, size] :
         {std::pair{"Small:", small}, std::pair{"Medium:", medium}, std::pair{"Large:", large}}) {
        sizes->addSpacing(8);
        sizes->addWidget(makeLabel(QString::fromLatin1(text), size));
        sizes->addWidget(size);
    }
    sizes->addStretch(1);

    auto* compressGrid = new QGridLayout(compression);
    auto* compressAppLabel = makeLabel(QStringLiteral("Appli&cation"), compressApp);
    auto* compressBrowse = makeProgramBrowse(QStringLiteral("Bro&wse..."),
                                             QStringLiteral("Select image compressing application"), compressApp);
    placeCells(compressGrid, {{compressAppLabel, 0, 0},
                              {compressApp, 0, 1},
                              {compressBrowse, 0, 2},
                              {makeLabel(QStringLiteral("Argu&ments"), compressArgs), 1, 0},
                              {compressArgs, 1, 1},
                              {hide, 1, 2},
                              {sizes, 2, 0, 1, 3}});
    compressGrid->setColumnStretch(1, 1);

    bindText(compressApp, &AppConfig::ImageCompressApp, kPathFieldMaxChars);
    bindText(compressArgs, &AppConfig::ImageCompressArg, kPathFieldMaxChars);
    bindFlag(hide, &AppConfig::HideCompressApp);
    bindRange(small, &AppConfig::SizeSmall, kMinImageSize, kMaxImageSize);
    bindRange(medium, &AppConfig::SizeMedium, kMinImageSize, kMaxImageSize);
    bindRange(large, &AppConfig::SizeLarge, kMinImageSize, kMaxImageSize);
    order.insert(order.end(), {compressApp, compressBrowse, compressArgs, hide, small, medium, large});
    return compression;
}

} // namespace marquelo
