#include "core/viewer/PhotoDetails.h"

#include "core/settings/Logging.h"
#include "media/Exiv2Library.h"
#include "media/RegularFile.h"

#include <cmath>

namespace marquelo {

namespace {

// libexiv2 reads from memory here: it would otherwise open the path itself (a FIFO named like a photo
// would hang the window) and map it. Larger files than any camera writes are not read for details.
constexpr std::size_t kLargestFile = 512u * 1024 * 1024;

QString text(const Exiv2::ExifData& exif, const char* key)
{
    return QString::fromStdString(media::exifText(exif, key).value_or(std::string())).trimmed();
}

std::optional<double> coordinate(const Exiv2::ExifData& exif, const char* valueKey, const char* refKey, char negative)
{
    const auto degrees = media::exifRational(exif, valueKey, 0);
    const auto minutes = media::exifRational(exif, valueKey, 1);
    const auto seconds = media::exifRational(exif, valueKey, 2);
    if (!degrees || !minutes || !seconds)
        return std::nullopt;
    double value = *degrees + *minutes / 60.0 + *seconds / 3600.0;
    const QString ref = text(exif, refKey);
    if (!ref.isEmpty() && ref.at(0).toUpper() == QLatin1Char(negative))
        value = -value;
    return value;
}

QString number(double value)
{
    return QString::number(value, 'g', 4);
}

} // namespace

bool PhotoDetails::empty() const
{
    return camera.isEmpty() && lens.isEmpty() && exposureTime.isEmpty() && fNumber.isEmpty() && iso.isEmpty() &&
           focalLength.isEmpty() && !taken.isValid() && !hasGps();
}

PhotoDetails readPhotoDetails(const std::string& path)
{
    PhotoDetails details;
    const media::FileBytes file = media::readRegularFile(path, kLargestFile);
    if (!file.ok) {
        qCWarning(lcViewer) << "No photo details from" << path.c_str() << ":" << file.error.c_str();
        return details;
    }
    const media::MetadataImage opened = media::openMetadata(file.bytes.data(), file.bytes.size());
    if (!opened) {
        qCDebug(lcViewer) << "No photo details from" << path.c_str() << ":" << opened.error.c_str();
        return details;
    }
    try {
        const Exiv2::ExifData& exif = opened.image->exifData();
        if (exif.empty())
            return details;

        const QString make = text(exif, "Exif.Image.Make");
        const QString model = text(exif, "Exif.Image.Model");
        // Most cameras repeat the maker in the model name.
        details.camera = model.startsWith(make.section(QLatin1Char(' '), 0, 0), Qt::CaseInsensitive) || make.isEmpty()
                             ? model
                             : (make + QLatin1Char(' ') + model).trimmed();
        details.lens = text(exif, "Exif.Photo.LensModel");
        if (const auto t = media::exifRational(exif, "Exif.Photo.ExposureTime"); t && *t > 0)
            details.exposureTime =
                *t < 1.0 ? QStringLiteral("1/%1 s").arg(std::lround(1.0 / *t)) : QStringLiteral("%1 s").arg(number(*t));
        if (const auto f = media::exifRational(exif, "Exif.Photo.FNumber"); f && *f > 0)
            details.fNumber = QStringLiteral("f/%1").arg(number(*f));
        if (const QString iso = text(exif, "Exif.Photo.ISOSpeedRatings"); !iso.isEmpty())
            details.iso = QStringLiteral("ISO %1").arg(iso.section(QLatin1Char(' '), 0, 0));
        if (const auto mm = media::exifRational(exif, "Exif.Photo.FocalLength"); mm && *mm > 0)
            details.focalLength = QStringLiteral("%1 mm").arg(number(*mm));
        const QString taken = text(exif, "Exif.Photo.DateTimeOriginal");
        details.taken = QDateTime::fromString(taken, QStringLiteral("yyyy:MM:dd HH:mm:ss"));
        details.latitude = coordinate(exif, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", 'S');
        details.longitude = coordinate(exif, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef", 'W');
        if (!details.hasGps()) {
            details.latitude.reset();
            details.longitude.reset();
        }
    } catch (const std::exception& error) {
        // libexiv2 throws on every kind of damage; such a file has no details for us.
        qCDebug(lcViewer) << "No photo details from" << path.c_str() << ":" << error.what();
        return PhotoDetails{};
    }
    return details;
}

QString gpsText(double latitude, double longitude)
{
    return QStringLiteral("%1\u00b0 %2, %3\u00b0 %4")
        .arg(std::abs(latitude), 0, 'f', 6)
        .arg(latitude < 0 ? QLatin1Char('S') : QLatin1Char('N'))
        .arg(std::abs(longitude), 0, 'f', 6)
        .arg(longitude < 0 ? QLatin1Char('W') : QLatin1Char('E'));
}

QString mapAddress(double latitude, double longitude)
{
    return QStringLiteral("https://www.openstreetmap.org/?mlat=%1&mlon=%2#map=15/%1/%2")
        .arg(latitude, 0, 'f', 6)
        .arg(longitude, 0, 'f', 6);
}

} // namespace marquelo
