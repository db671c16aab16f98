#pragma once
// Brings decoded pixels from the colour space their file declares (an embedded ICC profile) into the
// display's, through lcms2. A picture without a profile is sRGB; the display is sRGB unless the window
// system names a profile of its own.

#include <QByteArray>
#include <QImage>

#include <memory>

namespace marquelo {

class PictureColour {
public:
    // The profile of the screen pictures are shown on (the X screen's _ICC_PROFILE); empty for sRGB.
    // May be called from the GUI thread while workers decode: they pick it up at their next picture.
    static void setDisplayProfile(const QByteArray& icc);
    static QByteArray displayProfile();

    // While one lives, pictures decoded and converted on its thread come out in sRGB instead of the
    // display's colours: thumbnails go to a cache other programs read as sRGB.
    class SrgbTarget {
    public:
        SrgbTarget();
        ~SrgbTarget();
        SrgbTarget(const SrgbTarget&) = delete;
        SrgbTarget& operator=(const SrgbTarget&) = delete;
    };

    // Converts `image` (Format_RGB32 or Format_ARGB32 / _Premultiplied; alpha is kept) in place from
    // `sourceIcc` (empty: sRGB) to the display profile. False, and the image untouched, when nothing
    // had to be done or a profile cannot be used (then the pixels are taken as they are).
    static bool toDisplay(QImage& image, const QByteArray& sourceIcc);

    // A conversion from one profile to the display's, prepared once and run on bands of Format_RGB32
    // rows as a decoder finishes them, on any thread and several at once.
    class RowConversion {
    public:
        virtual ~RowConversion() = default;
        virtual void run(uchar* firstRow, int width, int rows, qsizetype stride) const = 0;
    };
    // The conversion of opaque pixels from `sourceIcc` to the display profile; null when nothing has to
    // be done or the profile cannot be used.
    static std::shared_ptr<const RowConversion> rowConversion(const QByteArray& sourceIcc);

    // Pixels of `width` x `height` in interleaved RGB or RGBA of 8 or 16 bits per sample (native byte
    // order), `stride` bytes per row, converted from `sourceIcc` (empty: sRGB) into a new Format_RGB32
    // (no alpha) or Format_ARGB32_Premultiplied image. A null image when memory or the profile fails.
    static QImage fromInterleaved(const void* pixels, int width, int height, qsizetype stride, int bands, int bits,
                                  const QByteArray& sourceIcc);

    // The ICC profile a JPEG carries in its APP2 "ICC_PROFILE" segments, joined in sequence order; empty
    // when there is none or its pieces do not add up.
    static QByteArray jpegIccProfile(const QByteArray& jpeg);
};

} // namespace marquelo
