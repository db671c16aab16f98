#pragma once
// What the viewer does to the current file itself: delete it, rename it, jump to a dropped file,
// describe it, and remove the edited copies nobody kept when the program ends. Every question and
// failure goes through the UserInterface; the caller shows the current entry again afterwards.

#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/ViewGeometry.h"
#include "ui/viewer/ImageInfoDialog.h"

#include <QString>

#include <string>

class QWidget;

namespace marquelo {

class DeleteUndo;
class PictureCache;

// Asks "Ok to delete '%s'?" and, on Yes, deletes the shown file and reshapes the list: an edited copy
// gives way to its original, a deleted original to its edited copy, other entries leave the list.
// A failed deletion is reported and the list is reshaped all the same. True when the list changed.
// With an empty list there is nothing to delete and nothing is asked.
// With `undo`, the file goes to the desktop's trash and the deletion is recorded there; when no trash
// takes it, a second question says that it will be deleted permanently, and only Yes deletes it.
// A RAW+JPEG pair goes as one (the question names both, one undo brings both back) unless `jpegOnly`:
// then the RAW stays and becomes the entry. The photos' own sidecars (NAME.EXT.xmp) go with them, and
// the pair's shared NAME.xmp when both go.
bool deleteCurrentImage(ImageList& images, PictureCache& cache, UserInterface& ui, DeleteUndo* undo = nullptr,
                        bool jpegOnly = false);

// Why `newName` cannot become the current entry's new name, or an empty string when it can: a name
// with a separator, "." or "..", or a name another file already has, is refused.
QString renameRefusal(const ImageList& images, const QString& newName);

// Moves the current entry's original file to `newName` without ever replacing another file. On
// success the entry takes the new name; a failed move is reported and the entry keeps its old name.
// True when the file was renamed.
bool renameCurrentImage(ImageList& images, PictureCache& cache, UserInterface& ui, const QString& newName);

// Asks for the current entry's new name in the "Rename Image" dialog over `parent`, then renames as
// above. True when the file was renamed.
bool askAndRenameCurrentImage(QWidget* parent, ImageList& images, PictureCache& cache, UserInterface& ui);

// Makes the listed file with the dropped file's bare name current ("File not found in current
// directory" otherwise). True when the position or the shown version was set.
bool selectDroppedFile(ImageList& images, UserInterface& ui, const QString& droppedPath);

// The texts of the image information dialog for the current entry and view.
ImageInfoTexts imageInfoTexts(const ImageList& images, const ViewGeometry& view);

// At exit: deletes the edited copies made in this run and never kept, asking once (when ConfirmDelete
// is on) "Ok to delete unused copies of edited images?". False when the user cancelled the exit.
bool cleanUpEditedCopies(const ImageList& images, const AppConfig& config, UserInterface& ui);

} // namespace marquelo
