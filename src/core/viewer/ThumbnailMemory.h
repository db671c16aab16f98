#pragma once
// Decoded thumbnails held in memory, by file path, within a budget of pixel bytes: past it the least
// recently used go first, except those the caller keeps (the cells on screen). What is dropped is read
// again from the shared cache, so the budget bounds memory however many files the folder has.

#include <QByteArray>
#include <QHash>
#include <QImage>

#include <functional>
#include <list>

namespace marquelo {

class ThumbnailMemory {
public:
    struct Entry {
        QImage image;       // null: the file could not be read as a picture
        qint64 mtimeNs = 0; // the file's modification time the thumbnail was made for
        int side = 0;       // device pixels it was made for
    };

    explicit ThumbnailMemory(qint64 budgetBytes) : m_budget(budgetBytes) {}

    qint64 budget() const { return m_budget; }
    // Takes effect at the next trim().
    void setBudget(qint64 budgetBytes) { m_budget = budgetBytes; }
    qint64 bytes() const { return m_bytes; }
    int size() const { return int(m_index.size()); }

    // Looks without counting as a use.
    const Entry* find(const QByteArray& path) const;
    // Counts as a use: the entry is the last to go.
    void touch(const QByteArray& path);
    // Adds or replaces, as the most recently used.
    void insert(const QByteArray& path, Entry entry);
    void remove(const QByteArray& path);
    void clear();
    // Drops the least recently used until the bytes are within the budget, passing over those `keep`
    // returns true for (they may leave the memory above it). True when anything was dropped.
    bool trim(const std::function<bool(const QByteArray&)>& keep);

private:
    struct Node {
        QByteArray path;
        Entry entry;
    };
    using Order = std::list<Node>; // most recently used first

    qint64 m_budget;
    qint64 m_bytes = 0;
    Order m_order;
    QHash<QByteArray, Order::iterator> m_index;
};

} // namespace marquelo
