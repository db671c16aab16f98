#include "ui/viewer/FileCommands.h"

#include "ui/viewer/FileOperations.h"
#include "ui/viewer/NoticeOverlay.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace marquelo {

FileCommands::FileCommands(QWidget& window, ImageList& images, PictureCache& cache, UserInterface& ui,
                           const ViewGeometry& geometry, NoticeOverlay& notices, std::function<void()> showCurrent)
    : m_window(window), m_images(images), m_cache(cache), m_ui(ui), m_geometry(geometry), m_notices(notices),
      m_showCurrent(std::move(showCurrent))
{
}

bool FileCommands::deleteImage()
{
    if (!deleteCurrentImage(m_images, m_cache, m_ui, &m_undo, m_jpegOnly && m_jpegOnly()))
        return false;
    m_showCurrent();
    return true;
}

bool FileCommands::undoDelete()
{
    std::string error;
    if (m_undo.undoLast(m_images, m_cache, error)) {
        m_showCurrent();
        m_notices.show(QStringLiteral("Put back: %1").arg(QString::fromStdString(m_images.currentName())));
        return true;
    }
    if (!error.empty())
        m_ui.message("Cannot put the file back: " + error);
    return false;
}

void FileCommands::renameImage()
{
    if (askAndRenameCurrentImage(&m_window, m_images, m_cache, m_ui))
        m_showCurrent();
}

void FileCommands::showImageInfo()
{
    ImageInfoDialog dialog(imageInfoTexts(m_images, m_geometry), &m_window);
    dialog.exec();
}

void FileCommands::dragEnter(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void FileCommands::drop(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    const QUrl& first = urls.front();
    if (selectDroppedFile(m_images, m_ui, first.isLocalFile() ? first.toLocalFile() : first.path()))
        m_showCurrent();
    event->acceptProposedAction();
}

} // namespace marquelo
