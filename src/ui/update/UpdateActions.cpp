#include "ui/update/UpdateActions.h"

#include "core/update/UpdateCheck.h"
#include "core/update/UpdateEndpoint.h"
#include "ui/update/DesktopUpgradePage.h"
#include "ui/update/DownloadProgressDialog.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace marquelo {

namespace {

UpdateCheck::Options optionsFor(const std::string& installationPath)
{
    UpdateCheck::Options options;
    options.baseAddress = updateBaseAddress();
    options.installationPath = installationPath;
    return options;
}

// Without a parent the windows sit on whatever window the user works in (the preferences, the viewer).
DownloadProgressFactory progressWindows(QWidget* parent)
{
    return [guard = QPointer<QWidget>(parent)]() -> std::unique_ptr<DownloadProgress> {
        QWidget* owner = guard ? guard.data() : QApplication::activeWindow();
        return std::make_unique<DownloadProgressDialog>(owner);
    };
}

} // namespace

void checkForUpdates(const std::string& installationPath, UserInterface& ui, QWidget* parent)
{
    DesktopUpgradePage pages(parent ? parent : QApplication::activeWindow());
    UpdateCheck(optionsFor(installationPath), ui, progressWindows(parent), pages).checkForUpdates();
}

void offerUpdateCheck(const std::string& installationPath, UserInterface& ui, QWidget* parent)
{
    DesktopUpgradePage pages(parent ? parent : QApplication::activeWindow());
    UpdateCheck(optionsFor(installationPath), ui, progressWindows(parent), pages).offerUpdateCheck();
}

} // namespace marquelo
