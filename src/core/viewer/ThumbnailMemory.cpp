#include "core/viewer/ThumbnailMemory.h"

namespace marquelo {

const ThumbnailMemory::Entry* ThumbnailMemory::find(const QByteArray& path) const
{
    const auto it = m_index.constFind(path);
    return it == m_index.constEnd() ? nullptr : &(*it)->entry;
}

void ThumbnailMemory::touch(const QByteArray& path)
{
    const auto it = m_index.constFind(path);
    if (it != m_index.constEnd())
        m_order.splice(m_order.begin(), m_order, *it);
}

void ThumbnailMemory::insert(const QByteArray& path, Entry entry)
{
    remove(path);
    m_bytes += entry.image.sizeInBytes();
    m_order.push_front(Node{path, std::move(entry)});
    m_index.insert(path, m_order.begin());
}

void ThumbnailMemory::remove(const QByteArray& path)
{
    const auto it = m_index.constFind(path);
    if (it == m_index.constEnd())
        return;
    m_bytes -= (*it)->entry.image.sizeInBytes();
    m_order.erase(*it);
    m_index.erase(it);
}

void ThumbnailMemory::clear()
{
    m_order.clear();
    m_index.clear();
    m_bytes = 0;
}

bool ThumbnailMemory::trim(const std::function<bool(const QByteArray&)>& keep)
{
    bool dropped = false;
    // From the least recently used end; the kept ones stay where they are.
    for (auto it = m_order.end(); m_bytes > m_budget && it != m_order.begin();) {
        --it;
        if (keep && keep(it->path))
            continue;
        m_bytes -= it->entry.image.sizeInBytes();
        m_index.remove(it->path);
        it = m_order.erase(it);
        dropped = true;
    }
    return dropped;
}

} // namespace marquelo
