#include "ui/settings/Choosers.h"

#include "ui/settings/FolderChooser.h"

#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>

#include <filesystem>

namespace marquelo {

namespace {

const QString kAllFiles = QStringLiteral("All Files (*)");
const QString kApplications = QStringLiteral("Application (executable files)");

// The open-file dialog the three file choosers share: the caller's title, target as the initial file
// name, only existing files. The widget dialog is used everywhere so that it looks and behaves the
// same on every desktop (and can be driven in tests).
bool openFile(QWidget* parent, const QString& title, const QStringList& filters, QString& target, bool executablesFirst)
{
    QFileDialog dlg(parent, title);
    dlg.setObjectName(QStringLiteral("MarqueloFileChooser"));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);

    const QDir::Filters plain = QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Drives;
    if (executablesFirst) {
        // Programs have no extension here: the first filter shows the files that may be run, by
        // their permission rather than their name.
        dlg.setNameFilters({kApplications + QStringLiteral(" (*)"), kAllFiles});
        dlg.setOption(QFileDialog::HideNameFilterDetails);
        dlg.setFilter(plain | QDir::Executable);
        QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg, plain](const QString& filter) {
            dlg.setFilter(filter.startsWith(kApplications) ? (plain | QDir::Executable) : plain);
        });
    } else {
        dlg.setNameFilters(filters);
        // Without QDir::CaseSensitive the patterns match IMG_0001.JPG as well as img_0001.jpg.
        dlg.setFilter(plain);
    }

    if (!target.isEmpty()) {
        const QFileInfo info(target);
        if (info.isAbsolute() || target.contains(u'/')) {
            if (info.dir().exists())
                dlg.setDirectory(info.dir());
            dlg.selectFile(info.fileName());
        } else {
            dlg.selectFile(target);
        }
    }

    if (dlg.exec() != QDialog::Accepted)
        return false;
    const QStringList files = dlg.selectedFiles();
    if (files.isEmpty() || !QFileInfo(files.first()).isFile())
        return false;
    target = QDir::toNativeSeparators(files.first());
    return true;
}

template <typename Chooser> bool onField(QLineEdit* field, Chooser&& chooser)
{
    if (!field)
        return false;
    QString value = field->text();
    const bool chosen = chooser(value);
    field->setText(value);
    return chosen;
}

} // namespace

void keepChoosersFromRemembering()
{
    // The program's own settings are opened by their path and are not affected. A folder below a
    // file that always exists can neither hold a file to read nor be created to write one, so the
    // dialogs' memory starts empty in every run and is thrown away at its end.
    const QString nowhere = QStringLiteral("/dev/null");
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (const auto scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, nowhere);
    }
}

bool browseForApplication(QWidget* parent, const QString& title, QString& target)
{
    return openFile(parent, title, {}, target, true);
}

bool browseForImage(QWidget* parent, const QString& title, QString& target)
{
    return openFile(parent, title, {QStringLiteral("Image Files (*.jpg *.jpeg *.gif)"), kAllFiles}, target, false);
}

bool browseForHtmlPage(QWidget* parent, const QString& title, QString& target)
{
    return openFile(parent, title, {QStringLiteral("HTML Files (*.html *.htm)"), kAllFiles}, target, false);
}

bool browseForFolder(QWidget* parent, const QString& title, QString& target)
{
    const bool startHere = !target.isEmpty() && QFileInfo(target).isDir();
    FolderChooser dlg(parent, title, startHere ? QFile::encodeName(target).toStdString() : std::string());
    // The field keeps text, which cannot name a folder whose name is not UTF-8.
    dlg.setTextOnly(true);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    target = QDir::toNativeSeparators(QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(dlg.chosen()))));
    return true;
}

bool browseForFolderOnDisk(QWidget* parent, const QString& title, std::string& target)
{
    std::error_code ec;
    const bool startHere = !target.empty() && std::filesystem::is_directory(std::filesystem::path(target), ec);
    FolderChooser dlg(parent, title, startHere ? target : std::string());
    if (dlg.exec() != QDialog::Accepted)
        return false;
    target = dlg.chosen();
    return true;
}

bool pickColour(QWidget* parent, ColourRef& colour)
{
    QColorDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("MarqueloColourChooser"));
    dlg.setOption(QColorDialog::DontUseNativeDialog);
    // Black means "nothing chosen yet" in the stored settings, so it is not preselected.
    if (colour != 0)
        dlg.setCurrentColor(QColor(colourRed(colour), colourGreen(colour), colourBlue(colour)));
    if (dlg.exec() != QDialog::Accepted)
        return false;
    const QColor c = dlg.selectedColor();
    if (!c.isValid())
        return false;
    colour = makeColour(c.red(), c.green(), c.blue());
    return true;
}

bool browseForApplication(QWidget* parent, const QString& title, QLineEdit* field)
{
    return onField(field, [&](QString& v) { return browseForApplication(parent, title, v); });
}

bool browseForImage(QWidget* parent, const QString& title, QLineEdit* field)
{
    return onField(field, [&](QString& v) { return browseForImage(parent, title, v); });
}

bool browseForFolder(QWidget* parent, const QString& title, QLineEdit* field)
{
    return onField(field, [&](QString& v) { return browseForFolder(parent, title, v); });
}

} // namespace marquelo
