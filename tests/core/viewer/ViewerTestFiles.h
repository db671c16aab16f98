#pragma once
// Small helpers of the viewer tests: photo folders made on the fly in a temporary directory.

#include <QColor>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace marquelo::test {

// A temporary folder that the test fills with files.
class PhotoFolder {
public:
    std::string path() const { return m_dir.path().toStdString(); }
    std::string file(const std::string& name) const { return path() + "/" + name; }

    // An empty file (a name is all the list needs).
    void touch(const std::string& name) const { std::ofstream(file(name)).put('x'); }

    // A real JPEG of `width` x `height` in one colour.
    void jpeg(const std::string& name, int width, int height, QColor colour = Qt::darkCyan) const
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        image.save(QString::fromStdString(file(name)), "JPEG", 90);
    }

    // Moves the file's last-write time by `seconds` from now, so a rewrite is seen as newer.
    void setWriteTime(const std::string& name, int seconds) const
    {
        std::filesystem::last_write_time(file(name),
                                         std::filesystem::file_time_type::clock::now() + std::chrono::seconds(seconds));
    }

private:
    QTemporaryDir m_dir;
};

} // namespace marquelo::test
