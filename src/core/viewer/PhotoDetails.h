#pragma once
// What a photo says about how it was taken (EXIF): camera, lens, exposure, date and place. Read with
// libexiv2, which knows the metadata of every format the viewer shows; a file without it, or one
// libexiv2 cannot read, simply has no details.

#include <QDateTime>
#include <QString>

#include <optional>
#include <string>

namespace marquelo {

struct PhotoDetails {
    QString camera; // make and model ("Canon Canon EOS 5D" becomes "Canon EOS 5D")
    QString lens;
    QString exposureTime;            // "1/250 s"
    QString fNumber;                 // "f/5.6"
    QString iso;                     // "ISO 200"
    QString focalLength;             // "50 mm"
    QDateTime taken;                 // DateTimeOriginal, local time as the camera wrote it (invalid when absent)
    std::optional<double> latitude;  // degrees, north positive
    std::optional<double> longitude; // degrees, east positive

    bool hasGps() const { return latitude && longitude; }
    bool empty() const;
};

// Reads the details of the file at `path` (its name's own bytes); an empty record when there are none.
PhotoDetails readPhotoDetails(const std::string& path);

// "48.858370° N, 2.294481° E"
QString gpsText(double latitude, double longitude);
// A map of the place in the web browser.
QString mapAddress(double latitude, double longitude);

} // namespace marquelo
