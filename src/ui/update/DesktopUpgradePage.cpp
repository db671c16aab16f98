#include "ui/update/DesktopUpgradePage.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// Resources of a static library are linked in only when something refers to them.
static void loadUpdateResources()
{
    Q_INIT_RESOURCE(update);
}

namespace marquelo {

namespace {

bool showBuiltInPage(QWidget* parent)
{
    loadUpdateResources();
    QFile page(QStringLiteral(":/update/upgrade.html"));
    if (!page.open(QIODevice::ReadOnly))
        return false;
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Marquelo"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* browser = new QTextBrowser(&dialog);
    browser->setOpenExternalLinks(true);
    browser->setHtml(QString::fromUtf8(page.readAll()));
    layout->addWidget(browser);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.resize(520, 360);
    dialog.exec();
    return true;
}

} // namespace

bool DesktopUpgradePage::show(const std::string& localPath)
{
    const QString path = QString::fromStdString(localPath);
    if (QFileInfo(path).isFile() && QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return true;
    // A packaged installation has no page beside the program: say the same thing from within.
    return showBuiltInPage(m_parent);
}

} // namespace marquelo
