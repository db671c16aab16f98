#pragma once
// Putting a finished page online with the user's own command (rsync over SSH, a copy to a mounted
// share, ...). The command is a template like the tools' ones: its first word is the program, the
// rest its arguments, each placeholder filled inside its one argument and never read by a shell.
// The program runs watched on the event loop, can be cancelled at any time, and its end is told: a
// failure with its exit status and the last lines of its error output.

#include "core/page/PageHost.h"

#include <QPointer>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

class ToolJob;
class UserInterface;

// The placeholders of the publish command: the page's folder (no "/" at its end) and its bare name.
inline constexpr std::string_view kPageFolderPlaceholder = "%P";
inline constexpr std::string_view kPageFolderNamePlaceholder = "%N";

// What the preferences offer as an example. Nothing on the server is deleted by it: rsync removes
// files there only when told to (--delete), which is the user's choice to add.
inline constexpr std::string_view kPublishCommandExample = "rsync -rtz --chmod=D755,F644 %P/ user@example.org:www/%N/";

// The program and its arguments for `pageFolder`; empty when the template names no program.
std::vector<std::string> expandPublishCommand(std::string_view tmpl, const std::string& pageFolder);

// How many lines of the error output a failure shows.
inline constexpr int kPublishErrorLines = 6;

class PagePublisher {
public:
    PagePublisher(UserInterface& ui, PageHost& host);
    // A run still going is cancelled: nothing of it reaches a publisher that is gone.
    ~PagePublisher();
    PagePublisher(const PagePublisher&) = delete;
    PagePublisher& operator=(const PagePublisher&) = delete;

    // Starts `commandTemplate` for `pageFolder`. False (and told) when there is no command, the folder is
    // not there, a run is still going, or the program cannot be started.
    bool publish(const std::string& commandTemplate, const std::string& pageFolder);
    bool running() const;
    void cancel();

private:
    UserInterface& m_ui;
    PageHost& m_host;
    QPointer<ToolJob> m_job;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace marquelo
