#pragma once
// Makes a thumbnail from a photo as cheaply as its format allows: a JPEG's own EXIF thumbnail when it
// is large enough, else the JPEG decoded at the smallest DCT scale that covers the size (1/8 for any
// photo of 2048 pixels or more at 256); a camera RAW through its embedded preview; other formats through
// the viewer's decoders at the smallest size they can decode to. Whatever the viewer refuses (a format
// it does not take, a picture too large, a JPEG of too many scans) gets no thumbnail either. A JPEG is
// never decoded at full size here. The result is upright (EXIF orientation applied) and sRGB.

#include <QByteArray>
#include <QImage>

namespace marquelo {

class ThumbnailMaker {
public:
    struct Made {
        QImage image;            // null when the file cannot be read or decoded
        bool fullSize = false;   // fits `side` as the shared cache wants it: worth storing
        bool fromCamera = false; // the photo's own EXIF thumbnail
    };

    // A thumbnail for a cell of `cell` device pixels (at most `side`, the cache size it is made for).
    // When the photo's own thumbnail covers the cell but not `side`, that is returned fitted into the
    // cell and not fullSize: a few kilobytes decoded instead of megabytes, at the price of not filling
    // the shared cache. Thread-safe; never throws.
    static Made forCell(const QByteArray& path, int side, int cell);
    // The same for a JPEG held in memory (no libvips).
    static Made jpegForCell(const QByteArray& bytes, int side, int cell);

    // A thumbnail that fits a square of `side` (null when the file cannot be read or decoded).
    static QImage make(const QByteArray& path, int side) { return forCell(path, side, side).image; }
    static QImage fromJpeg(const QByteArray& bytes, int side) { return jpegForCell(bytes, side, side).image; }

    // The JPEG stored in the EXIF block of `jpeg` (IFD1), or empty.
    static QByteArray exifThumbnail(const QByteArray& jpeg);
};

} // namespace marquelo
