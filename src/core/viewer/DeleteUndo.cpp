#include "core/viewer/DeleteUndo.h"

#include "core/viewer/PictureCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>

namespace marquelo {

namespace {

// Keeps the undo list from holding on to a whole day's work.
constexpr std::size_t kMaxRecords = 100;

bool nameableByQt(const std::string& path)
{
    return QString::fromStdString(path).toStdString() == path;
}

// The trash keeps a note named after the file plus ".trashinfo" (and a " (N)" when the name is taken):
// a name near the file system's limit cannot get one, and Qt would go on looking for a free name.
bool fitsTheTrash(const std::string& path)
{
    return std::filesystem::path(path).filename().string().size() <= 200;
}

} // namespace

std::optional<std::string> moveFileToTrash(const std::string& path)
{
    if (!nameableByQt(path) || !fitsTheTrash(path))
        return std::nullopt;
    QString inTrash;
    if (!QFile::moveToTrash(QString::fromStdString(path), &inTrash))
        return std::nullopt;
    return inTrash.toStdString();
}

bool restoreFromTrash(const TrashedFile& file, std::string& error)
{
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(file.original, ec))) {
        error = "'" + file.original + "' exists again";
        return false;
    }
    // QFile::rename never replaces a file, and copies across file systems when the trash is elsewhere.
    QFile trashed(QString::fromStdString(file.inTrash));
    if (!trashed.rename(QString::fromStdString(file.original))) {
        error = trashed.errorString().toStdString();
        return false;
    }
    // The trash's note about the file would otherwise describe a file that is no longer there.
    const QFileInfo info(QString::fromStdString(file.inTrash));
    const QString infoFile =
        info.dir().absolutePath() + QStringLiteral("/../info/") + info.fileName() + QStringLiteral(".trashinfo");
    QFile::remove(infoFile);
    return true;
}

void DeleteUndo::push(Record record)
{
    record.before.pictures = {};
    m_records.push_back(std::move(record));
    if (m_records.size() > kMaxRecords)
        m_records.erase(m_records.begin());
}

bool DeleteUndo::undoLast(ImageList& images, PictureCache& cache, std::string& error)
{
    if (m_records.empty())
        return false;
    Record& record = m_records.back();
    while (!record.files.empty()) {
        if (!restoreFromTrash(record.files.back(), error))
            return false;
        record.files.pop_back();
    }
    const int index = std::clamp(record.index, 0, images.count());
    if (record.removedFromList || index >= images.count()) {
        images.insert(index, std::move(record.before));
    } else {
        cache.evictPicture(index, kOriginal);
        cache.evictPicture(index, kEdited);
        images.at(index) = std::move(record.before);
    }
    m_records.pop_back();
    images.setCurrent(index);
    return true;
}

} // namespace marquelo
