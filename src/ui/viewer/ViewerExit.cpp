#include "ui/viewer/ViewerExit.h"

#include "ui/viewer/ChangeCheck.h"
#include "ui/viewer/FileOperations.h"

namespace marquelo {

ViewerExit::ViewerExit(const ImageList& images, const AppConfig& config, UserInterface& ui, ChangeCheck& changeCheck,
                       std::function<void()> onConfirmed)
    : m_images(images), m_config(config), m_ui(ui), m_changeCheck(changeCheck), m_onConfirmed(std::move(onConfirmed))
{
}

bool ViewerExit::confirm()
{
    if (m_confirmed)
        return true;
    m_changeCheck.stop();
    if (!cleanUpEditedCopies(m_images, m_config, m_ui)) {
        m_changeCheck.start();
        return false;
    }
    m_confirmed = true;
    m_onConfirmed();
    return true;
}

} // namespace marquelo
