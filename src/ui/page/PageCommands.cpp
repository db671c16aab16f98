#include "ui/page/PageCommands.h"

#include "core/viewer/PhotoMarks.h"
#include "core/viewer/PictureCache.h"
#include "media/TemporaryFiles.h"
#include "ui/page/ClosePageDialog.h"
#include "ui/page/ImageSizeDialog.h"
#include "ui/page/NewPageInfoDialog.h"
#include "ui/page/OpenPageDialog.h"
#include "ui/page/PagePropertiesDialog.h"
#include "ui/settings/Choosers.h"
#include "ui/tools/ImageActions.h"
#include "ui/viewer/CullCommands.h"
#include "ui/viewer/ViewerWindow.h"

#include <QGuiApplication>

namespace marquelo {

PageCommands::PageCommands(ViewerWindow& window)
    : QObject(&window), m_window(window), m_progress(new ProgressNotices(&window)),
      m_session(window.config(), window.images(), window.geometry(), window.userInterface(), *this)
{
    m_session.setPreview([this] { previewPage(m_window.config(), m_window.userInterface()); });
}

void PageCommands::notice(const std::string& text)
{
    m_window.showNotice(QString::fromStdString(text));
}

void PageCommands::pageNotice(const std::string& text, const std::string& pagePath)
{
    // Where the page is, and the keys that reach it from here.
    QString keys = QStringLiteral("Shift+F opens its folder");
    if (!m_window.config().PublishCommand.empty())
        keys += QStringLiteral(", Shift+P publishes it");
    m_window.showNotice(QString::fromStdString(text) + QLatin1Char('\n') + QString::fromStdString(pagePath) +
                        QStringLiteral(" - ") + keys);
}

void PageCommands::showProgress(const std::string& key, const std::string& text, std::function<void()> cancel)
{
    m_progress->show(key, QString::fromStdString(text), std::move(cancel));
}

void PageCommands::endProgress(const std::string& key, const std::string& text, bool lasting)
{
    m_progress->end(key, QString::fromStdString(text), lasting);
    if (!lasting)
        notice(text);
}

bool PageCommands::currentPictureUnreadable()
{
    const ShownPicture picture = m_window.cache().shown();
    return picture.isPicture && !picture.loaded;
}

void PageCommands::startCaptionInput()
{
    m_window.startCaptionInput();
}

void PageCommands::endCaptionInput()
{
    m_window.endCaptionInput();
}

std::string PageCommands::captionText()
{
    return m_window.captionText().toStdString();
}

void PageCommands::offerCaption(const std::string& text)
{
    m_window.offerCaptionText(QString::fromStdString(text));
}

void PageCommands::sidecarWritten(const std::string& photoPath)
{
    // Forgotten, the marks are read again with the new stamp: the next rating of this photo must not
    // take our own caption for another program's change.
    m_window.cull().marks().forget(photoPath);
}

void PageCommands::showNext()
{
    m_window.runCommand(Command::Next);
}

bool PageCommands::shiftHeld()
{
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

bool PageCommands::editPageInfo(PageInfoValues& values)
{
    NewPageInfoDialog dialog(values, m_window.userInterface(), &m_window);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.values();
    return true;
}

bool PageCommands::editPageSetup(PageSetupValues& values, bool createSubdirectory)
{
    PagePropertiesDialog dialog(values, createSubdirectory, m_window.userInterface(), &m_window);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.values();
    return true;
}

bool PageCommands::chooseImageSize(AddImageChoice& choice, bool isPicture)
{
    ImageSizeDialog dialog(choice, isPicture, &m_window);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice = dialog.choice();
    return true;
}

bool PageCommands::confirmClosePage(const std::string& question, const std::function<void()>& preview)
{
    ClosePageDialog dialog(QString::fromStdString(question), preview, &m_window);
    return dialog.exec() == QDialog::Accepted;
}

ClosePageChoice PageCommands::chooseClosePage(const std::string& question, const std::function<void()>& preview,
                                              const std::function<void()>& openFolder, bool canPublish)
{
    ClosePageDialog dialog(QString::fromStdString(question), preview, &m_window, openFolder, canPublish);
    switch (dialog.exec()) {
    case QDialog::Accepted: return ClosePageChoice::Close;
    case ClosePageDialog::kCloseAndPublish: return ClosePageChoice::CloseAndPublish;
    default: return ClosePageChoice::Cancel;
    }
}

std::optional<std::string> PageCommands::browseForPage(const std::string& title, const std::string& initialPath)
{
    QString path = QString::fromStdString(initialPath);
    if (!browseForHtmlPage(&m_window, QString::fromStdString(title), path))
        return std::nullopt;
    return path.toStdString();
}

bool PageCommands::showOpenFailNotice(const std::string& text, bool& onlyWithShift)
{
    OpenPageDialog dialog(QString::fromStdString(text), onlyWithShift, &m_window);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    onlyWithShift = dialog.onlyWithShift();
    return true;
}

PageCommands* bindPageCommands(ViewerWindow& window)
{
    auto* commands = new PageCommands(window);
    // What an interrupted write left in the page's folder goes at start.
    media::removeStaleTemporaryFiles(window.config().CurOutputDirectory);
    PageSession& session = commands->session();
    window.setCommandHandler(Command::AddImage, [&session] { session.startCaption(); });
    window.setPageTitleSource([&session] { return QString::fromStdString(session.openPageTitle()); });
    window.setCommandHandler(Command::ClosePage, [&session] { session.closePage(); });
    window.setCommandHandler(Command::OpenPage, [&session] { session.openExistingPage(); });
    window.setCommandHandler(Command::OpenPageFolder, [&session] { session.openPageFolder(); });
    window.setCommandHandler(Command::PublishPage, [&session] { session.publishPage(); });
    window.setCaptionHandlers([&session](bool shift) { session.addImage(shift); },
                              [&session] { session.cancelCaption(); });
    return commands;
}

} // namespace marquelo
