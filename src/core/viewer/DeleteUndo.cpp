#include "core/viewer/DeleteUndo.h"

#include "core/settings/Logging.h"
#include "core/viewer/PictureCache.h"

#include <algorithm>

namespace marquelo {

namespace {

// Keeps the undo list from holding on to a whole day's work.
constexpr std::size_t kMaxRecords = 100;

} // namespace

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
        bool gone = false;
        if (!restoreFromTrash(record.files.back(), error, &gone)) {
            qCWarning(lcViewer) << "Cannot put back" << record.files.back().original.c_str() << ":" << error.c_str();
            // Another try could only fail again, and would keep the deletions before it out of reach.
            if (gone)
                m_records.pop_back();
            return false;
        }
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
