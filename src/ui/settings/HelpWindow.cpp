#include "ui/settings/HelpWindow.h"

#include "core/settings/AppConfig.h"

#include <QFile>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// The pages live in this library's resources; a static library needs them pulled in by name.
static void initSettingsResources()
{
    Q_INIT_RESOURCE(settings);
}

namespace marquelo {

HelpWindow::HelpWindow(int page, QWidget* parent) : QDialog(parent), m_page(page), m_browser(new QTextBrowser(this))
{
    setUp();
    const QString path = pagePath(page);
    if (!path.isEmpty())
        m_browser->setSource(QUrl(QStringLiteral("qrc") + path));
}

HelpWindow::HelpWindow(const QString& html, QWidget* parent)
    : QDialog(parent), m_page(0), m_browser(new QTextBrowser(this))
{
    setUp();
    m_browser->setHtml(html);
}

void HelpWindow::setUp()
{
    initSettingsResources();
    setWindowTitle(QStringLiteral("Marquelo v1.%1").arg(kProgramVersion));
    setObjectName(QStringLiteral("HelpWindow"));
    m_browser->setObjectName(QStringLiteral("HtmlHelpView"));
    m_browser->setFrameShape(QFrame::NoFrame);
    // The pages' own buttons are links; they close the window instead of being followed.
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::linkActivated);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    // 280 by 295 dialog units in the classic layout, but never past the screen: at a large scale on a
    // small screen the page scrolls instead, with room left for the title bar and the desktop's panels.
    QSize size(560, 590);
    if (const QScreen* shown = screen()) {
        const QSize room = shown->availableGeometry().size() * 0.9;
        size = size.boundedTo(room);
    }
    resize(size);
}

QString HelpWindow::pagePath(int page)
{
    initSettingsResources();
    const QString path = QStringLiteral(":/marquelo/settings/%1.html").arg(page);
    return QFile::exists(path) ? path : QString();
}

void HelpWindow::linkActivated(const QUrl& url)
{
    const QString id = url.fragment().isEmpty() ? url.path() : url.fragment();
    if (id == QLatin1String("ButtonOK"))
        accept();
    else if (id == QLatin1String("ButtonCancel"))
        reject();
}

int showHelpPage(QWidget* parent, int page)
{
    HelpWindow dlg(page, parent);
    return dlg.exec();
}

int showHelpHtml(QWidget* parent, const QString& html)
{
    HelpWindow dlg(html, parent);
    return dlg.exec();
}

} // namespace marquelo
