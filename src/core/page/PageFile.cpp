#include "core/page/PageFile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace marquelo {

namespace {

QString q(const std::string& path)
{
    return QString::fromStdString(path);
}

} // namespace

bool PageFile::open(const std::string& path)
{
    if (m_file.isOpen())
        m_file.close();
    m_failed = false;
    m_file.setFileName(q(path));
    return m_file.open(QIODevice::ReadWrite | QIODevice::Append);
}

std::string PageFile::readAll()
{
    if (!m_file.isOpen() || !m_file.seek(0))
        return {};
    return m_file.readAll().toStdString();
}

bool PageFile::writeLine(std::string_view text)
{
    return write(text) && write("\r\n");
}

bool PageFile::write(std::string_view text)
{
    if (!m_file.isOpen())
        return false;
    if (m_file.write(text.data(), qint64(text.size())) != qint64(text.size()))
        m_failed = true;
    return !m_failed;
}

bool PageFile::close()
{
    if (!m_file.isOpen())
        return !m_failed;
    if (!m_file.flush())
        m_failed = true;
    m_file.close();
    return !m_failed;
}

std::optional<std::string> PageFile::read(const std::string& path)
{
    QFile file(q(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes.toStdString();
}

bool PageFile::rewrite(const std::string& path, std::string_view content)
{
    QSaveFile file(q(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content.data(), qint64(content.size())) != qint64(content.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool PageFile::copyNew(const std::string& source, const std::string& target)
{
    if (QFileInfo::exists(q(target)))
        return false;
    QFile in(q(source));
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(q(target));
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buffer[1 << 16];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0) {
            out.cancelWriting();
            return false;
        }
        if (n == 0)
            break;
        if (out.write(buffer, n) != n) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

} // namespace marquelo
