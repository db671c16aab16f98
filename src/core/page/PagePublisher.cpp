#include "core/page/PagePublisher.h"

#include "core/UserInterface.h"
#include "core/settings/Logging.h"
#include "core/tools/Launcher.h"
#include "core/tools/ToolJob.h"

#include <QDir>
#include <QFileInfo>

namespace marquelo {

namespace {

constexpr std::string_view kProgressKey = "publish";

std::string expandOne(std::string_view argument, const std::string& folder, const std::string& name)
{
    // One pass, like the tools' templates: what a placeholder inserts is never read again.
    std::string out;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] == '%' && i + 1 < argument.size() && (argument[i + 1] == 'P' || argument[i + 1] == 'N')) {
            out += argument[i + 1] == 'P' ? folder : name;
            ++i;
        } else {
            out.push_back(argument[i]);
        }
    }
    return out;
}

} // namespace

std::vector<std::string> expandPublishCommand(std::string_view tmpl, const std::string& pageFolder)
{
    std::string folder = pageFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::string name = QFileInfo(QString::fromStdString(folder)).fileName().toStdString();
    std::vector<std::string> words = splitCommandLine(tmpl);
    for (std::string& word : words)
        word = expandOne(word, folder, name);
    return words;
}

PagePublisher::PagePublisher(UserInterface& ui, PageHost& host) : m_ui(ui), m_host(host) {}

PagePublisher::~PagePublisher()
{
    *m_alive = false;
    if (m_job)
        m_job->cancel();
}

bool PagePublisher::running() const
{
    return !m_job.isNull();
}

void PagePublisher::cancel()
{
    if (m_job)
        m_job->cancel();
}

bool PagePublisher::publish(const std::string& commandTemplate, const std::string& pageFolder)
{
    const std::vector<std::string> words = expandPublishCommand(commandTemplate, pageFolder);
    if (words.empty()) {
        m_ui.message("No publish command is set.\n\nEnter one under Preferences, HTML Creation, for example:\n" +
                     std::string(kPublishCommandExample));
        return false;
    }
    if (pageFolder.empty() || !QFileInfo(QString::fromStdString(pageFolder)).isDir()) {
        const std::string text = pageFolder.empty() ? std::string("There is no page to publish yet.")
                                                    : "The page's folder is not there: '" + pageFolder + "'";
        qCWarning(lcPage).noquote() << QString::fromStdString(text);
        m_ui.message(text);
        return false;
    }
    if (running()) {
        m_host.notice("Publishing is still running.");
        return false;
    }
    const std::vector<std::string> arguments(words.begin() + 1, words.end());
    const std::string folder = pageFolder;
    unsigned code = kLaunchOk;
    ToolJob* job = ToolJob::launch(
        words.front(), arguments,
        [this, alive = m_alive, folder](int exitCode, const QString&) {
            if (!*alive)
                return;
            const bool cancelled = m_job && m_job->wasCancelled();
            const QString errors = m_job ? lastLinesOf(m_job->errorOutput(), kPublishErrorLines) : QString();
            m_job.clear();
            if (cancelled) {
                m_host.endProgress(std::string(kProgressKey), "Publishing cancelled: '" + folder + "'", false);
                return;
            }
            if (exitCode == 0) {
                m_host.endProgress(std::string(kProgressKey), "Published '" + folder + "'", false);
                return;
            }
            const std::string status =
                exitCode < 0 ? std::string("the program crashed") : "exit status " + std::to_string(exitCode);
            std::string text = "Publishing '" + folder + "' failed (" + status + ")";
            if (!errors.isEmpty())
                text += ":\n" + errors.toStdString();
            qCWarning(lcPage).noquote() << QString::fromStdString(text);
            m_host.endProgress(std::string(kProgressKey), text, true);
        },
        &code);
    if (!job) {
        reportLaunch(code == kLaunchOk ? unsigned(kLaunchAccessDenied) : code, words.front(), m_ui);
        return false;
    }
    m_job = job;
    qCInfo(lcPage).noquote() << "publishing" << QString::fromStdString(folder) << "with"
                             << QString::fromStdString(words.front());
    m_host.showProgress(std::string(kProgressKey), "Publishing '" + folder + "' ...", [this, alive = m_alive] {
        if (*alive)
            cancel();
    });
    return true;
}

} // namespace marquelo
