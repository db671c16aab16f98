#include "ui/viewer/FileOperations.h"

#include "core/settings/Logging.h"
#include "core/viewer/DeleteUndo.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureFormats.h"
#include "core/viewer/PictureSlot.h"
#include "media/FileMove.h"
#include "ui/viewer/Placeholders.h"
#include "ui/viewer/RenameDialog.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

namespace marquelo {

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

std::string printfArg(std::string_view format, const std::string& arg)
{
    std::string out(format);
    const auto at = out.find("%s");
    if (at != std::string::npos)
        out.replace(at, 2, arg);
    return out;
}

bool removeFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::remove(path, ec);
}

} // namespace

bool deleteCurrentImage(ImageList& images, PictureCache& cache, UserInterface& ui, DeleteUndo* undo)
{
    // The empty list's entry names no file; asking about "file_not_found" could only delete a stranger.
    if (images.count() == 0)
        return false;
    const int index = images.currentIndex();
    ImageEntry& entry = images.current();
    const std::string name = entry.shownName().empty() ? std::string("file_not_found") : entry.shownName();
    if (ui.ask(printfArg("Ok to delete '%s'?", name), UserInterface::Buttons::YesNoCancel) !=
        UserInterface::Answer::Yes)
        return false;

    const std::string path = images.pathOf(name);
    std::optional<TrashedFile> inTrash;
    if (undo) {
        std::string reason;
        inTrash = moveFileToTrash(path, reason);
        // A file that is gone already needs no question; its deletion fails as it always did.
        std::error_code ec;
        const bool present = std::filesystem::exists(std::filesystem::symlink_status(path, ec));
        if (!inTrash && present) {
            qCWarning(lcViewer) << "Cannot move" << path.c_str() << "to the trash:" << reason.c_str();
            if (ui.ask("Cannot move to the trash: " + reason + ". Delete for good?",
                       UserInterface::Buttons::YesNoDefaultNo) != UserInterface::Answer::Yes)
                return false;
        }
    }
    DeleteUndo::Record record;
    if (inTrash)
        record = {index, entry, false, {*inTrash}};

    const int version = entry.shown;
    cache.evictPicture(index, version);
    if (!inTrash && !removeFile(path)) {
        qCWarning(lcViewer) << "Failed to delete" << path.c_str();
        ui.message(printfArg("Failed to delete '%s'", path));
    }
    const auto recordUndo = [&](bool removedFromList) {
        if (!inTrash)
            return;
        record.removedFromList = removedFromList;
        undo->push(std::move(record));
    };

    if (entry.hasEdited) {
        if (version == kOriginal) {
            // The edited copy becomes the entry's only file, together with its decoded picture.
            entry.files[kOriginal] = entry.files[kEdited];
            entry.pictures[kOriginal] = std::move(entry.pictures[kEdited]);
        } else {
            cache.evictPicture(index, kEdited);
        }
        entry.files[kEdited] = FileRecord{};
        entry.pictures[kEdited].reset();
        entry.hasEdited = false;
        entry.editedKept = false;
        entry.shown = kOriginal;
    } else if (images.count() > 1) {
        images.remove(index);
        // Removing the last entry leaves the position on the new last one.
        images.setCurrent(index);
        recordUndo(true);
        return true;
    }
    images.setCurrent(index);
    recordUndo(false);
    return true;
}

QString renameRefusal(const ImageList& images, const QString& newName)
{
    if (newName == QStringLiteral(".") || newName == QStringLiteral("..") || newName.contains(QLatin1Char('/')) ||
        newName.contains(QDir::separator()) || newName.contains(QChar(0)))
        return QStringLiteral("'%1' is not a valid file name.").arg(newName);
    const std::string& oldName = images.current().files[kOriginal].name;
    if (newName == qs(oldName))
        return {};
    if (QFileInfo::exists(qs(images.pathOf(newName.toStdString()))) ||
        QFileInfo(qs(images.pathOf(newName.toStdString()))).isSymLink())
        return QStringLiteral("A file named '%1' already exists.").arg(newName);
    return {};
}

bool renameCurrentImage(ImageList& images, PictureCache& cache, UserInterface& ui, const QString& newName)
{
    if (images.count() == 0)
        return false;
    ImageEntry& entry = images.current();
    const std::string oldName = entry.files[kOriginal].name;
    if (newName == qs(oldName))
        return false;
    const QString refusal = renameRefusal(images, newName);
    if (!refusal.isEmpty()) {
        ui.message(refusal.toStdString());
        return false;
    }
    // The name may have been taken since it was checked: the move itself refuses to replace it.
    const int error = media::renameNoReplace(images.pathOf(oldName), images.pathOf(newName.toStdString()));
    if (error == EEXIST) {
        qCWarning(lcViewer) << "Rename of" << oldName.c_str() << "refused:" << newName << "appeared meanwhile";
        ui.message(QStringLiteral("A file named '%1' already exists.").arg(newName).toStdString());
        return false;
    }
    if (error != 0) {
        qCWarning(lcViewer) << "Failed to rename" << oldName.c_str() << "to" << newName << ":" << std::strerror(error);
        ui.message(QStringLiteral("Failed to rename '%1' to '%2': %3")
                       .arg(qs(oldName), newName, QString::fromLocal8Bit(std::strerror(error)))
                       .toStdString());
        return false;
    }
    entry.files[kOriginal].name = newName.toStdString();
    cache.evictPicture(images.currentIndex(), entry.shown);
    return true;
}

bool askAndRenameCurrentImage(QWidget* parent, ImageList& images, PictureCache& cache, UserInterface& ui)
{
    if (images.count() == 0)
        return false;
    const QString original = QString::fromStdString(images.current().files[kOriginal].name);
    RenameDialog dialog(
        original, ui, [&images](const QString& name) { return renameRefusal(images, name); }, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return renameCurrentImage(images, cache, ui, dialog.newName());
}

bool selectDroppedFile(ImageList& images, UserInterface& ui, const QString& droppedPath)
{
    QString bare = droppedPath;
    const qsizetype slash = std::max(bare.lastIndexOf(QLatin1Char('/')), bare.lastIndexOf(QDir::separator()));
    if (slash >= 0)
        bare = bare.mid(slash + 1);
    const auto found = images.findByName(bare.toStdString());
    if (!found) {
        ui.message("File not found in current directory");
        return false;
    }
    images.setCurrent(found->index);
    images.current().shown = found->version;
    return true;
}

ImageInfoTexts imageInfoTexts(const ImageList& images, const ViewGeometry& view)
{
    const ImageEntry& entry = images.current();
    ImageInfoTexts texts;
    texts.title = qs(entry.shownName());
    texts.path = qs(images.pathOf(entry.shownName()));
    texts.size = entry.isPicture ? QStringLiteral("%1 x %2").arg(view.source.width()).arg(view.source.height())
                                 : QStringLiteral("<unknown>");
    texts.fileSize = QStringLiteral("%1 bytes").arg(entry.files[std::size_t(entry.shown)].size);
    texts.edited = entry.hasEdited ? QStringLiteral("Yes") : QStringLiteral("No");
    texts.rawCompanion = qs(entry.rawCompanion);
    // RAW data is never developed here: the size above is that of the camera's own preview.
    if (entry.isPicture && isRawName(entry.shownName()))
        texts.rendering = QStringLiteral("RAW preview (the camera's embedded JPEG)");
    else if (entry.isPicture && isAnimatedWebp(images.pathOf(entry.shownName())))
        texts.rendering = QStringLiteral("animated: first frame");
    if (!entry.shownName().empty())
        texts.details = readPhotoDetails(images.pathOf(entry.shownName()));
    // Read only once its load has handed the slot back (the acquire of `loading`).
    const std::shared_ptr<PictureSlot>& slot = entry.pictures[std::size_t(entry.shown)];
    if (entry.isPicture && slot && !slot->loading.load(std::memory_order_acquire) &&
        !slot->loaded.load(std::memory_order_acquire))
        texts.problem = cannotReadText(slot->error);
    return texts;
}

bool cleanUpEditedCopies(const ImageList& images, const AppConfig& config, UserInterface& ui)
{
    bool asked = false;
    for (int i = 0; i < images.count(); ++i) {
        const ImageEntry& entry = images.at(i);
        if (!entry.hasEdited || entry.editedKept)
            continue;
        if (config.ConfirmDelete && !asked) {
            asked = true;
            const auto answer =
                ui.ask("Ok to delete unused copies of edited images?", UserInterface::Buttons::YesNoCancel);
            if (answer == UserInterface::Answer::Cancel)
                return false;
            if (answer == UserInterface::Answer::No)
                return true;
        }
        const std::string path = images.pathOf(entry.files[kEdited].name);
        if (!removeFile(path))
            ui.message(printfArg("Failed to delete '%s'", path));
    }
    return true;
}

} // namespace marquelo
