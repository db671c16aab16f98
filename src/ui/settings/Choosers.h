#pragma once
// The common choosers every dialog uses to browse for programs, images, files, folders and colours.
// Each is modal and keeps no state of its own; Cancel (or a chooser that cannot open) changes nothing.

#include "core/settings/AppConfig.h"

#include <QString>

#include <string>

class QLineEdit;
class QWidget;

namespace marquelo {

// An executable program ("Application (executable files)", or "All Files"). target is the initial
// file name; only an existing file is accepted, whose full path then replaces target. True on OK.
bool browseForApplication(QWidget* parent, const QString& title, QString& target);
// A picture ("Image Files (*.jpg *.jpeg *.gif)", case-insensitive, or "All Files"); as above.
bool browseForImage(QWidget* parent, const QString& title, QString& target);
// A web page ("HTML Files (*.html *.htm)", case-insensitive, or "All Files"); as above.
bool browseForHtmlPage(QWidget* parent, const QString& title, QString& target);
// A folder (see FolderChooser), opening on target when it is one; a path may be typed. On OK target
// becomes the folder's path. A folder whose name is not UTF-8 is listed but refused, as text cannot
// name it. True when one was chosen.
bool browseForFolder(QWidget* parent, const QString& title, QString& target);
// The same folder chooser for start-up: target becomes the chosen folder's name on disk, byte for byte,
// also when that name is not UTF-8 (which the dialog can only show with replacement characters).
bool browseForFolderOnDisk(QWidget* parent, const QString& title, std::string& target);
// A colour, preselected unless it is black; custom colours stay for the rest of the run. On OK
// colour becomes the chosen one and the result is true.
bool pickColour(QWidget* parent, ColourRef& colour);

// Qt's own file and colour dialogs keep a memory in QtProject.conf (last folder, history, sidebar, view,
// custom colours), read from the user's and the system's configuration folders and written back. The
// choosers keep nothing between runs: after this call that memory is neither read nor written, while
// custom colours still stay for the rest of the run. Call once, before the first chooser opens.
void keepChoosersFromRemembering();

// The same on an edit field: its text is read as the initial value before the chooser opens, and the
// field holds the (possibly unchanged) value afterwards, so nothing typed is lost.
bool browseForApplication(QWidget* parent, const QString& title, QLineEdit* field);
bool browseForImage(QWidget* parent, const QString& title, QLineEdit* field);
bool browseForFolder(QWidget* parent, const QString& title, QLineEdit* field);

} // namespace marquelo
