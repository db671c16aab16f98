#include "core/viewer/ImageList.h"

#include <filesystem>

namespace marquelo {

bool ImageList::scanDirectory(const std::string& directory, const AppConfig& /*config*/)
{
    // Placeholder until the real scan lands: every *.jpg, unsorted.
    std::error_code ec;
    std::vector<ImageEntry> entries;
    for (const auto& de : std::filesystem::directory_iterator(directory, ec)) {
        if (de.path().extension() == ".jpg") {
            ImageEntry e;
            e.isPicture = true;
            e.files[0].name = de.path().filename().string();
            entries.push_back(std::move(e));
        }
    }
    if (ec)
        return false;
    assign(directory, std::move(entries));
    return true;
}

std::optional<ImageList::Found> ImageList::findByName(std::string_view name) const
{
    for (int i = 0; i < count(); ++i) {
        const ImageEntry& e = m_entries[std::size_t(i)];
        if (e.files[kOriginal].name == name)
            return Found{i, kOriginal};
        if (e.hasEdited && e.files[kEdited].name == name)
            return Found{i, kEdited};
    }
    return std::nullopt;
}

void ImageList::setCurrent(int index)
{
    if (index > count() - 1)
        index = count() - 1;
    if (index < 0)
        index = 0;
    m_current = index;
}

ImageEntry& ImageList::current()
{
    return m_entries.empty() ? m_empty : m_entries[std::size_t(m_current)];
}

const ImageEntry& ImageList::current() const
{
    return m_entries.empty() ? m_empty : m_entries[std::size_t(m_current)];
}

std::string ImageList::pathOf(std::string_view name) const
{
    return m_directory + "/" + std::string(name);
}

void ImageList::remove(int index)
{
    if (index >= 0 && index < count())
        m_entries.erase(m_entries.begin() + index);
}

void ImageList::assign(std::string directory, std::vector<ImageEntry> entries)
{
    m_directory = std::move(directory);
    m_entries = std::move(entries);
    m_current = 0;
}

} // namespace marquelo
