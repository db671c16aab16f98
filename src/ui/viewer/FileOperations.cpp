#include "ui/viewer/FileOperations.h"

#include "core/settings/Logging.h"
#include "core/viewer/DeleteUndo.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureFormats.h"
#include "core/viewer/PictureSlot.h"
#include "media/FileMove.h"
#include "media/XmpSidecar.h"
#include "ui/viewer/Placeholders.h"
#include "ui/viewer/RenameDialog.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
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

bool deleteCurrentImage(ImageList& images, PictureCache& cache, UserInterface& ui, DeleteUndo* undo, bool jpegOnly)
{
    // The empty list's entry names no file; asking about "file_not_found" could only delete a stranger.
    if (images.count() == 0)
        return false;
    const int index = images.currentIndex();
    ImageEntry& entry = images.current();
    const std::string name = entry.shownName().empty() ? std::string("file_not_found") : entry.shownName();
    const int version = entry.shown;
    // The RAW twin rides with the original JPEG: deleting that photo deletes the pair.
    const std::string raw = version == kOriginal && !jpegOnly ? entry.rawCompanion : std::string();
    const std::string question = raw.empty() ? printfArg("Ok to delete '%s'?", name)
                                             : "Ok to delete '" + name + "' and its RAW file '" + raw + "'?";
    if (ui.ask(question, UserInterface::Buttons::YesNoCancel) != UserInterface::Answer::Yes)
        return false;

    const std::string path = images.pathOf(name);
    // Every file that goes: the photo, its RAW twin, and the sidecars no remaining file reads.
    std::vector<std::string> paths{path};
    if (!raw.empty())
        paths.push_back(images.pathOf(raw));
    {
        std::vector<std::string> sidecars;
        for (const std::string& photo : paths)
            sidecars.push_back(media::sidecarNameWithExtension(photo));
        if (!raw.empty())
            sidecars.push_back(media::sidecarNameOnly(path));
        for (const std::string& sidecar : sidecars) {
            std::error_code ec;
            if (!sidecar.empty() && std::filesystem::is_regular_file(std::filesystem::symlink_status(sidecar, ec)) &&
                std::find(paths.begin(), paths.end(), sidecar) == paths.end())
                paths.push_back(sidecar);
        }
    }

    std::vector<TrashedFile> trashed;
    bool forGood = !undo;
    if (undo) {
        for (const std::string& file : paths) {
            std::string reason;
            std::optional<TrashedFile> inTrash = moveFileToTrash(file, reason);
            if (inTrash) {
                trashed.push_back(std::move(*inTrash));
                continue;
            }
            // A file that is gone already needs no question; its deletion fails as it always did.
            std::error_code ec;
            const bool present = std::filesystem::exists(std::filesystem::symlink_status(file, ec));
            if (!present)
                continue;
            qCWarning(lcViewer) << "Cannot move" << file.c_str() << "to the trash:" << reason.c_str();
            if (!trashed.empty()) {
                // Half a pair in the trash would split it: the files moved already come back.
                for (auto it = trashed.rbegin(); it != trashed.rend(); ++it) {
                    std::string error;
                    if (!restoreFromTrash(*it, error))
                        qCWarning(lcViewer) << "Cannot put back" << it->original.c_str() << ":" << error.c_str();
                }
                ui.message("Cannot move '" + file + "' to the trash: " + reason + ". Nothing was deleted.");
                return false;
            }
            if (ui.ask("Cannot move to the trash: " + reason + ". Delete for good?",
                       UserInterface::Buttons::YesNoDefaultNo) != UserInterface::Answer::Yes)
                return false;
            forGood = true;
            break;
        }
    }
    // Nothing went to the trash (the photo was gone already): deleting it fails and says so, as before.
    if (trashed.empty())
        forGood = true;
    DeleteUndo::Record record;
    const bool inTrash = !forGood && !trashed.empty();
    if (inTrash)
        record = {index, entry, false, std::move(trashed)};

    cache.evictPicture(index, version);
    if (forGood) {
        for (const std::string& file : paths) {
            std::error_code ec;
            if (file != path && !std::filesystem::exists(std::filesystem::symlink_status(file, ec)))
                continue;
            if (!removeFile(file)) {
                qCWarning(lcViewer) << "Failed to delete" << file.c_str();
                ui.message(printfArg("Failed to delete '%s'", file));
            }
        }
    }
    const auto recordUndo = [&](bool removedFromList) {
        if (!inTrash)
            return;
        record.removedFromList = removedFromList;
        undo->push(std::move(record));
    };

    if (version == kOriginal && !entry.rawCompanion.empty()) {
        if (raw.empty()) {
            // The JPEG alone went: its RAW twin stays listed, as the entry's photo now.
            entry.files[kOriginal] = FileRecord{entry.rawCompanion, 0, 0};
            entry.pictures[kOriginal].reset();
            entry.isPicture = true;
            entry.hasEdited = false;
            entry.files[kEdited] = FileRecord{};
            entry.pictures[kEdited].reset();
            entry.editedKept = false;
            entry.shown = kOriginal;
            entry.rawCompanion.clear();
            images.setCurrent(index);
            recordUndo(false);
            return true;
        }
        entry.rawCompanion.clear();
    }
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

namespace {

std::string stemOf(const std::string& name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string extensionOf(const std::string& name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
}

// The files that move with a renamed photo, old name to new (bare names): its RAW twin under the new
// stem, and the sidecars of both. The photo itself is not among them.
std::vector<std::pair<std::string, std::string>> companionsOfRename(const ImageList& images, const ImageEntry& entry,
                                                                    const std::string& newName)
{
    std::vector<std::pair<std::string, std::string>> moves;
    const std::string& oldName = entry.files[kOriginal].name;
    auto addIfThere = [&](const std::string& from, const std::string& to) {
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(images.pathOf(from), ec)))
            moves.emplace_back(from, to);
    };
    addIfThere(media::sidecarNameWithExtension(oldName), media::sidecarNameWithExtension(newName));
    if (!entry.rawCompanion.empty()) {
        const std::string raw = entry.rawCompanion;
        const std::string newRaw = stemOf(newName) + extensionOf(raw);
        moves.emplace_back(raw, newRaw);
        addIfThere(media::sidecarNameWithExtension(raw), media::sidecarNameWithExtension(newRaw));
        addIfThere(media::sidecarNameOnly(oldName), media::sidecarNameOnly(newName));
    }
    return moves;
}

} // namespace

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
    // A RAW twin and the sidecars move along under the new name: none of theirs may be taken either.
    for (const auto& [from, to] : companionsOfRename(images, images.current(), newName.toStdString())) {
        if (from == to)
            continue;
        if (QFileInfo::exists(qs(images.pathOf(to))) || QFileInfo(qs(images.pathOf(to))).isSymLink())
            return QStringLiteral("A file named '%1' already exists.").arg(qs(to));
    }
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
    // The RAW twin and the sidecars follow; should one of them fail, everything moved goes back, so a
    // pair is never split between two names.
    std::vector<std::pair<std::string, std::string>> moved{{oldName, newName.toStdString()}};
    for (const auto& [from, to] : companionsOfRename(images, entry, newName.toStdString())) {
        if (from == to)
            continue;
        const int failed = media::renameNoReplace(images.pathOf(from), images.pathOf(to));
        if (failed == 0) {
            moved.emplace_back(from, to);
            continue;
        }
        qCWarning(lcViewer) << "Failed to rename" << from.c_str() << "to" << to.c_str() << ":" << std::strerror(failed);
        for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
            if (media::renameNoReplace(images.pathOf(it->second), images.pathOf(it->first)) != 0)
                qCWarning(lcViewer) << "Cannot rename" << it->second.c_str() << "back to" << it->first.c_str();
        }
        ui.message(QStringLiteral("Failed to rename '%1' to '%2': %3")
                       .arg(qs(from), qs(to), QString::fromLocal8Bit(std::strerror(failed)))
                       .toStdString());
        return false;
    }
    if (!entry.rawCompanion.empty())
        entry.rawCompanion = stemOf(newName.toStdString()) + extensionOf(entry.rawCompanion);
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
