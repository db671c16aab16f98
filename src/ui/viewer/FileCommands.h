#pragma once
// The viewer window's commands on the current file: delete (into the trash, remembered for Ctrl+Z), put
// the last deleted file back, rename, the image information and a file dropped on the window.
// FileOperations does the work; this room holds the undo memory and shows the current entry again
// whenever the list changed.

#include "core/viewer/DeleteUndo.h"

#include <functional>

class QDragEnterEvent;
class QDropEvent;
class QWidget;

namespace marquelo {

class ImageList;
class NoticeOverlay;
class PictureCache;
class UserInterface;
struct ViewGeometry;

class FileCommands {
public:
    // Dialogs open over `window`; `showCurrent` shows the current entry after the list changed.
    FileCommands(QWidget& window, ImageList& images, PictureCache& cache, UserInterface& ui,
                 const ViewGeometry& geometry, NoticeOverlay& notices, std::function<void()> showCurrent);

    // Delete of a RAW+JPEG pair takes the JPEG alone while this says so (the setting PairDelete).
    void setJpegOnlySource(std::function<bool()> jpegOnly) { m_jpegOnly = std::move(jpegOnly); }
    // True when the list changed.
    bool deleteImage();
    bool undoDelete();
    bool canUndoDelete() const { return !m_undo.empty(); }
    void renameImage();
    void showImageInfo();
    // Call from the window's drag and drop events: only a dragged file is taken.
    void dragEnter(QDragEnterEvent* event);
    void drop(QDropEvent* event);

private:
    QWidget& m_window;
    ImageList& m_images;
    PictureCache& m_cache;
    UserInterface& m_ui;
    const ViewGeometry& m_geometry;
    NoticeOverlay& m_notices;
    std::function<void()> m_showCurrent;
    DeleteUndo m_undo;
    std::function<bool()> m_jpegOnly;
};

} // namespace marquelo
