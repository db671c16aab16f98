// The grid and the viewer read a photo's EXIF orientation the same way: a value the viewer does not take
// (the wrong type) does not turn the camera's thumbnail either.
#include "core/viewer/PictureDecoder.h"
#include "core/viewer/ThumbnailMaker.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

namespace marquelo {
namespace {

QByteArray jpegOf(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 4, y * 4, 128));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);
    return bytes;
}

void put(QByteArray& b, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b += char((v >> (8 * i)) & 0xFF);
}

// A 64x48 photo with an EXIF block whose orientation is `type` (3: SHORT, 4: LONG) with the value 6,
// and a 32x24 camera thumbnail in IFD1.
QByteArray photoWithOrientation(int type)
{
    const QByteArray thumbnail = jpegOf(QSize(32, 24));
    QByteArray tiff("II*\0", 4);
    put(tiff, 8, 4);
    put(tiff, 1, 2); // IFD0: the orientation
    put(tiff, 0x0112, 2);
    put(tiff, quint32(type), 2);
    put(tiff, 1, 4);
    put(tiff, 6, 4);
    put(tiff, 26, 4);
    put(tiff, 2, 2); // IFD1: the thumbnail
    put(tiff, 0x0201, 2);
    put(tiff, 4, 2);
    put(tiff, 1, 4);
    put(tiff, 56, 4);
    put(tiff, 0x0202, 2);
    put(tiff, 4, 2);
    put(tiff, 1, 4);
    put(tiff, quint32(thumbnail.size()), 4);
    put(tiff, 0, 4);
    tiff += thumbnail;
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(body.size()) + 2;
    const QByteArray app1 = QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + body;
    const QByteArray photo = jpegOf(QSize(64, 48));
    return photo.left(2) + app1 + photo.mid(2);
}

TEST(ThumbnailOrientation, FollowsTheViewersReadingOfTheExifField)
{
    for (const int type : {3, 4}) {
        const QByteArray photo = photoWithOrientation(type);
        const DecodedPicture shown = PictureDecoder::decode(photo, QSize());
        ASSERT_TRUE(shown.ok);
        const ThumbnailMaker::Made made = ThumbnailMaker::jpegForCell(photo, 32, 16);
        ASSERT_FALSE(made.image.isNull());
        EXPECT_TRUE(made.fromCamera);
        const bool shownUpright = shown.image.height() > shown.image.width();
        const bool thumbnailUpright = made.image.height() > made.image.width();
        EXPECT_EQ(thumbnailUpright, shownUpright) << "orientation of type " << type;
        EXPECT_EQ(shownUpright, type == 3) << "only a SHORT is an orientation";
    }
}

} // namespace
} // namespace marquelo
