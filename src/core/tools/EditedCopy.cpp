#include "core/tools/EditedCopy.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace marquelo {

std::string editedName(std::string_view original, std::string_view suffix)
{
    const std::string_view s = suffix.empty() ? std::string_view("_edit") : suffix;
    std::string out;
    for (const char c : original) {
        if (c == '.')
            out.append(s);
        out.push_back(c);
    }
    if (original.find('.') == std::string_view::npos)
        out.append(s);
    return out;
}

bool copyFileReplacing(const std::string& source, const std::string& destination, std::string& error)
{
    QFile in(QString::fromStdString(source));
    if (!in.open(QIODevice::ReadOnly)) {
        error = in.errorString().toStdString();
        return false;
    }
    QSaveFile out(QString::fromStdString(destination));
    if (!out.open(QIODevice::WriteOnly)) {
        error = out.errorString().toStdString();
        return false;
    }
    char buffer[1 << 16];
    while (true) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0) {
            error = in.errorString().toStdString();
            out.cancelWriting();
            return false;
        }
        if (n == 0)
            break;
        if (out.write(buffer, n) != n) {
            error = out.errorString().toStdString();
            out.cancelWriting();
            return false;
        }
    }
    if (!out.commit()) {
        error = out.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace marquelo
