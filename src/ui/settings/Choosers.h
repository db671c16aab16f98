#pragma once
// The common choosers every dialog uses to browse for programs, images, files, folders and colours.
// Each is modal and keeps no state of its own; Cancel (or a chooser that cannot open) changes nothing.

#include "core/settings/AppConfig.h"

#include <QString>

class QLineEdit;
class QWidget;

namespace marquelo {

// An executable program ("Application (executable files)", or "All Files"). target is the initial
// file name; only an existing file is accepted, whose full path then replaces target. True on OK.
bool browseForApplication(QWidget* parent, const QString& title, QString& target);
// A picture ("Image Files (*.jpg *.jpeg *.gif)", case-insensitive, or "All Files"); as above.
bool browseForImage(QWidget* parent, const QString& title, QString& target);
// Any existing file ("All Files"); as above.
bool browseForFile(QWidget* parent, const QString& title, QString& target);
// A folder; a path may be typed. On OK target becomes the folder's path. True when one was chosen.
bool browseForFolder(QWidget* parent, const QString& title, QString& target);
// A colour, preselected unless it is black; custom colours stay for the rest of the run. On OK
// colour becomes the chosen one and the result is true.
bool pickColour(QWidget* parent, ColourRef& colour);

// The same on an edit field: its text is read as the initial value before the chooser opens, and the
// field holds the (possibly unchanged) value afterwards, so nothing typed is lost.
bool browseForApplication(QWidget* parent, const QString& title, QLineEdit* field);
bool browseForImage(QWidget* parent, const QString& title, QLineEdit* field);
bool browseForFile(QWidget* parent, const QString& title, QLineEdit* field);
bool browseForFolder(QWidget* parent, const QString& title, QLineEdit* field);

} // namespace marquelo
