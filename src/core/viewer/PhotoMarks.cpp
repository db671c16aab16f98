#include "core/viewer/PhotoMarks.h"

#include "core/viewer/ImageList.h"
#include "media/RegularFile.h"

#include <QStringList>

namespace marquelo {

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QString baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return qs(slash == std::string::npos ? path : path.substr(slash + 1));
}

QString stars(int count)
{
    return QString(count, QChar(0x2605));
}

} // namespace

std::vector<std::string> markedFiles(const ImageList& images, const ImageEntry& entry)
{
    std::vector<std::string> files;
    if (entry.files[kOriginal].name.empty())
        return files;
    files.push_back(images.pathOf(entry.files[kOriginal].name));
    if (!entry.rawCompanion.empty())
        files.push_back(images.pathOf(entry.rawCompanion));
    return files;
}

std::vector<std::string> companionFiles(const ImageList& images, const ImageEntry& entry)
{
    const std::vector<std::string> photos = markedFiles(images, entry);
    std::vector<std::string> files;
    if (photos.size() > 1)
        files.push_back(photos[1]);
    for (const std::string& photo : photos) {
        std::string sidecar = media::sidecarNameWithExtension(photo);
        if (media::isRegularFile(sidecar))
            files.push_back(std::move(sidecar));
    }
    if (!photos.empty()) {
        std::string adobe = media::sidecarNameOnly(photos.front());
        if (media::isRegularFile(adobe))
            files.push_back(std::move(adobe));
    }
    return files;
}

QString marksText(const media::XmpMarks& marks)
{
    QString text = marks.rating == media::kRatingRejected ? QStringLiteral("Rejected") : stars(marks.rating);
    if (!marks.label.empty()) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += qs(marks.label);
    }
    return text;
}

const PhotoMarks::Known& PhotoMarks::of(const std::string& path)
{
    auto it = m_known.find(path);
    if (it != m_known.end())
        return it->second;
    const media::MarksRead read = media::readMarks(path);
    return m_known[path] = Known{read.marks, read.stamp, read.problem};
}

media::XmpMarks PhotoMarks::ofEntry(const ImageList& images, const ImageEntry& entry)
{
    const std::vector<std::string> files = markedFiles(images, entry);
    return files.empty() ? media::XmpMarks{} : of(files.front()).marks;
}

PhotoMarks::Outcome PhotoMarks::apply(const ImageList& images, const ImageEntry& entry, const MarksKey& key,
                                      media::SidecarNaming naming)
{
    Outcome outcome;
    const std::vector<std::string> files = markedFiles(images, entry);
    if (files.empty())
        return outcome;
    const media::XmpMarks before = of(files.front()).marks;
    media::MarksChange change;
    QString done;
    switch (key.kind) {
    case MarksKey::Stars:
        change.rating = key.stars;
        done = key.stars == 0 ? QStringLiteral("Rating cleared") : QStringLiteral("Rated %1").arg(stars(key.stars));
        break;
    case MarksKey::Reject:
        change.rating = media::kRatingRejected;
        done = QStringLiteral("Rejected");
        break;
    case MarksKey::Label:
        // Pressing the label a photo already has takes it off, as in other culling tools.
        change.label = before.label == key.label ? std::string() : key.label;
        done = change.label->empty() ? QStringLiteral("Label cleared") : QStringLiteral("Label: %1").arg(qs(key.label));
        break;
    }

    QStringList extras;
    for (const std::string& file : files) {
        const media::MarksWrite written = media::writeMarks(file, change, of(file).stamp, naming);
        if (!written.ok) {
            forget(file);
            outcome.log = file + ": " + written.error;
            outcome.notice = QStringLiteral("Not saved: %1").arg(qs(written.error));
            return outcome;
        }
        Known& known = m_known[file];
        known.problem.clear();
        if (!written.sidecarPath.empty()) {
            known.marks = written.marks;
            known.stamp = written.stamp;
        } else {
            known.marks = media::XmpMarks{};
        }
        if (written.mergedOutsideChange)
            extras << QStringLiteral("kept what another program changed in %1").arg(baseName(written.sidecarPath));
        if (!written.backupPath.empty())
            extras << QStringLiteral("the unreadable sidecar was kept as %1").arg(baseName(written.backupPath));
    }
    if (files.size() > 1)
        done += QStringLiteral(" (both %1 and %2)").arg(baseName(files[0]), baseName(files[1]));
    if (!extras.isEmpty())
        done += QStringLiteral("; ") + extras.join(QStringLiteral("; "));
    outcome.ok = true;
    outcome.notice = done;
    return outcome;
}

} // namespace marquelo
