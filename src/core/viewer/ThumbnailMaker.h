#pragma once
// Makes a thumbnail from a photo as cheaply as its format allows: a JPEG's own EXIF thumbnail when it
// is large enough, else the JPEG decoded at 1/8 scale; other formats through libvips' shrink-on-load.
// The result is upright (EXIF orientation applied) and fits a square of the asked size.

#include <QByteArray>
#include <QImage>

namespace marquelo {

class ThumbnailMaker {
public:
    // A null image when the file cannot be read or decoded. Thread-safe; never throws.
    static QImage make(const QByteArray& path, int side);

    // The thumbnail of a JPEG held in memory (no libvips): EXIF thumbnail or a 1/8-scale decode.
    static QImage fromJpeg(const QByteArray& bytes, int side);

    // The JPEG stored in the EXIF block of `jpeg` (IFD1), or empty.
    static QByteArray exifThumbnail(const QByteArray& jpeg);
};

} // namespace marquelo
