#include "core/viewer/PictureColour.h"

#include "core/viewer/WorkPools.h"
#include "media/JpegHeader.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QSysInfo>
#include <QThread>

#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <utility>

namespace marquelo {

namespace {

std::mutex g_displayMutex;
QByteArray g_display; // guarded by g_displayMutex; QByteArray copies share the data
// Pictures made on this thread for other programs to read (the shared thumbnail cache) are sRGB
// whatever screen this one shows them on.
thread_local int t_srgbTargets = 0;

// Where the pictures decoded on this thread go: the display's profile, or sRGB (empty).
QByteArray targetProfile()
{
    if (t_srgbTargets > 0)
        return {};
    const std::lock_guard lock(g_displayMutex);
    return g_display;
}

struct ProfileDeleter {
    void operator()(void* p) const
    {
        if (p)
            cmsCloseProfile(p);
    }
};
using Profile = std::unique_ptr<void, ProfileDeleter>;

struct TransformDeleter {
    void operator()(void* t) const
    {
        if (t)
            cmsDeleteTransform(t);
    }
};
using Transform = std::shared_ptr<void>;

// An RGB profile lcms2 can read, or null (then the pixels count as sRGB).
Profile openRgbProfile(const QByteArray& icc)
{
    if (icc.isEmpty())
        return Profile(cmsCreate_sRGBProfile());
    Profile p(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())));
    if (p && cmsGetColorSpace(p.get()) != cmsSigRgbData)
        p.reset();
    return p;
}

// Building a transform reads both profiles and precalculates its tables, several milliseconds: a folder
// of photos from one camera uses the same one for every picture, so they are kept.
//
// 8-bit pictures with a matrix-shaper profile (nearly every camera and phone: sRGB, Display P3, Adobe
// RGB) go through Qt's QColorTransform, whose lookup tables take about half the instructions a pixel of
// lcms2's own 8-bit matrix-shaper path. Profiles Qt cannot read (lookup-table profiles, display profiles
// of calibrated screens) and 16-bit samples stay with lcms2.
class TransformCache {
public:
    Transform get(const QByteArray& source, const QByteArray& target, cmsUInt32Number in, cmsUInt32Number out,
                  bool copyAlpha)
    {
        const Key key{source, target, in, out};
        {
            const std::lock_guard lock(m_mutex);
            const auto found = m_transforms.find(key);
            if (found != m_transforms.end())
                return found->second;
        }
        Profile from = openRgbProfile(source);
        if (!from)
            from = openRgbProfile(QByteArray());
        Profile to = openRgbProfile(target);
        if (!to)
            to = openRgbProfile(QByteArray());
        // lcms2's one-pixel cache is copied per call, so one transform may run on several threads at once.
        const cmsUInt32Number flags = copyAlpha ? cmsFLAGS_COPY_ALPHA : 0;
        Transform t(cmsCreateTransform(from.get(), in, to.get(), out, INTENT_RELATIVE_COLORIMETRIC, flags),
                    TransformDeleter());
        if (!t)
            return t;
        const std::lock_guard lock(m_mutex);
        if (m_transforms.size() >= 16)
            m_transforms.clear();
        m_transforms.emplace(key, t);
        return t;
    }

    // Qt's transform from `source` to `target`, or nullopt when Qt cannot read either as a matrix-shaper
    // profile.
    std::optional<QColorTransform> qt(const QByteArray& source, const QByteArray& target)
    {
        const std::pair key{source, target};
        {
            const std::lock_guard lock(m_mutex);
            const auto found = m_qt.find(key);
            if (found != m_qt.end())
                return found->second;
        }
        std::optional<QColorTransform> made;
        const QColorSpace from =
            source.isEmpty() ? QColorSpace(QColorSpace::SRgb) : QColorSpace::fromIccProfile(source);
        const QColorSpace to = target.isEmpty() ? QColorSpace(QColorSpace::SRgb) : QColorSpace::fromIccProfile(target);
        if (from.isValid() && to.isValid())
            made = from.transformationToColorSpace(to);
        const std::lock_guard lock(m_mutex);
        if (m_qt.size() >= 16)
            m_qt.clear();
        m_qt.emplace(key, made);
        return made;
    }

private:
    using Key = std::tuple<QByteArray, QByteArray, cmsUInt32Number, cmsUInt32Number>;
    std::mutex m_mutex;
    std::map<Key, Transform> m_transforms;
    std::map<std::pair<QByteArray, QByteArray>, std::optional<QColorTransform>> m_qt;
};

TransformCache& transforms()
{
    static TransformCache cache;
    return cache;
}

cmsUInt32Number qimageFormat()
{
    // Format_RGB32 / ARGB32 are 0xAARRGGBB words: BGRA bytes on a little-endian machine.
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TYPE_BGRA_8 : TYPE_ARGB_8;
}

// Runs `rows(first, count)` over `height` rows, split for large pictures over threads of the parts
// pool, which are already running: starting threads of our own would cost more than a small picture's
// conversion. The calling thread takes a share itself and never waits for a thread the pool could not give.
void splitRows(int height, std::int64_t pixels, const std::function<void(int, int)>& rows)
{
    const int parts = pixels < (1 << 18) ? 1 : std::clamp(QThread::idealThreadCount(), 1, std::min(4, height));
    if (parts == 1) {
        rows(0, height);
        return;
    }
    const int per = (height + parts - 1) / parts;
    std::vector<std::function<void()>> pieces;
    for (int first = 0; first < height; first += per)
        pieces.emplace_back([&rows, first, count = std::min(per, height - first)] { rows(first, count); });
    workpools::runSplit(pieces);
}

// Runs the lcms2 transform over `height` rows (the transform is shared read-only).
void transformRows(void* transform, const uchar* in, qsizetype inStride, uchar* out, qsizetype outStride, int width,
                   int height)
{
    splitRows(height, std::int64_t(width) * height, [&](int first, int count) {
        cmsDoTransformLineStride(transform, in + first * inStride, out + first * outStride, cmsUInt32Number(width),
                                 cmsUInt32Number(count), cmsUInt32Number(inStride), cmsUInt32Number(outStride), 0, 0);
    });
}

class QtRows final : public PictureColour::RowConversion {
public:
    explicit QtRows(QColorTransform transform) : m_transform(std::move(transform)) {}
    void run(uchar* firstRow, int width, int rows, qsizetype stride) const override
    {
        // An image over the caller's rows: Qt converts them in place.
        QImage band(firstRow, width, rows, stride, QImage::Format_RGB32);
        band.applyColorTransform(m_transform);
    }

private:
    QColorTransform m_transform;
};

class LcmsRows final : public PictureColour::RowConversion {
public:
    explicit LcmsRows(Transform transform) : m_transform(std::move(transform)) {}
    void run(uchar* firstRow, int width, int rows, qsizetype stride) const override
    {
        cmsDoTransformLineStride(m_transform.get(), firstRow, firstRow, cmsUInt32Number(width), cmsUInt32Number(rows),
                                 cmsUInt32Number(stride), cmsUInt32Number(stride), 0, 0);
    }

private:
    Transform m_transform;
};

} // namespace

std::shared_ptr<const PictureColour::RowConversion> PictureColour::rowConversion(const QByteArray& sourceIcc)
{
    const QByteArray display = targetProfile();
    if ((sourceIcc.isEmpty() && display.isEmpty()) || sourceIcc == display)
        return nullptr;
    if (std::optional<QColorTransform> qt = transforms().qt(sourceIcc, display))
        return std::make_shared<QtRows>(std::move(*qt));
    if (!openRgbProfile(sourceIcc))
        return nullptr;
    Transform t = transforms().get(sourceIcc, display, qimageFormat(), qimageFormat(), false);
    return t ? std::make_shared<LcmsRows>(std::move(t)) : nullptr;
}

void PictureColour::setDisplayProfile(const QByteArray& icc)
{
    // A profile lcms2 cannot use would turn every picture grey; sRGB is the better guess then.
    QByteArray usable = openRgbProfile(icc) ? icc : QByteArray();
    const std::lock_guard lock(g_displayMutex);
    g_display = std::move(usable);
}

PictureColour::SrgbTarget::SrgbTarget()
{
    ++t_srgbTargets;
}

PictureColour::SrgbTarget::~SrgbTarget()
{
    --t_srgbTargets;
}

QByteArray PictureColour::displayProfile()
{
    const std::lock_guard lock(g_displayMutex);
    return g_display;
}

bool PictureColour::toDisplay(QImage& image, const QByteArray& sourceIcc)
{
    const QByteArray display = targetProfile();
    if ((sourceIcc.isEmpty() && display.isEmpty()) || sourceIcc == display || image.isNull())
        return false;
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return false;
    const bool alpha = format != QImage::Format_RGB32;
    if (const std::optional<QColorTransform> qt = transforms().qt(sourceIcc, display)) {
        // Qt converts premultiplied pixels on their straight values itself, and splits a large picture
        // over its thread pool.
        image.applyColorTransform(*qt);
        return true;
    }
    if (!openRgbProfile(sourceIcc))
        return false;
    const Transform t = transforms().get(sourceIcc, display, qimageFormat(), qimageFormat(), alpha);
    if (!t)
        return false;
    // Colours are converted on straight, not premultiplied, values.
    if (format == QImage::Format_ARGB32_Premultiplied)
        image = std::move(image).convertToFormat(QImage::Format_ARGB32);
    uchar* bits = image.bits();
    transformRows(t.get(), bits, image.bytesPerLine(), bits, image.bytesPerLine(), image.width(), image.height());
    if (format == QImage::Format_ARGB32_Premultiplied)
        image = std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return true;
}

QImage PictureColour::fromInterleaved(const void* pixels, int width, int height, qsizetype stride, int bands, int bits,
                                      const QByteArray& sourceIcc)
{
    if (!pixels || width <= 0 || height <= 0 || (bands != 3 && bands != 4) || (bits != 8 && bits != 16))
        return QImage();
    const bool alpha = bands == 4;
    const auto* data = static_cast<const uchar*>(pixels);
    const QByteArray display = targetProfile();
    const bool differs = !(sourceIcc.isEmpty() && display.isEmpty()) && sourceIcc != display;
    const std::optional<QColorTransform> qt =
        differs && bits == 8 ? transforms().qt(sourceIcc, display) : std::optional<QColorTransform>();
    const bool convert = differs && (qt || openRgbProfile(sourceIcc) != nullptr);
    if (!convert) {
        // Same space on both sides: only the sample layout changes, which Qt does fast.
        QImage::Format in = bits == 8 ? (alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888)
                                      : (alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
        if (bits == 16 && !alpha) {
            // Qt has no 3-sample 16-bit format: widen to RGBX64 row by row.
            QImage wide(width, height, QImage::Format_RGBX64);
            if (wide.isNull())
                return QImage();
            for (int y = 0; y < height; ++y) {
                const auto* src = reinterpret_cast<const quint16*>(data + y * stride);
                auto* dst = reinterpret_cast<quint16*>(wide.scanLine(y));
                for (int x = 0; x < width; ++x) {
                    dst[4 * x] = src[3 * x];
                    dst[4 * x + 1] = src[3 * x + 1];
                    dst[4 * x + 2] = src[3 * x + 2];
                    dst[4 * x + 3] = 0xffff;
                }
            }
            return wide.convertToFormat(QImage::Format_RGB32);
        }
        const QImage view(data, width, height, stride, in);
        return view.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    }
    if (qt) {
        // Qt's change of layout to 32 bits is a fast copy; the conversion then runs in place.
        const QImage view(data, width, height, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        QImage out = view.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (out.isNull())
            return out;
        out.applyColorTransform(*qt);
        return alpha ? std::move(out).convertToFormat(QImage::Format_ARGB32_Premultiplied) : out;
    }
    const cmsUInt32Number in = bits == 8 ? (alpha ? TYPE_RGBA_8 : TYPE_RGB_8) : (alpha ? TYPE_RGBA_16 : TYPE_RGB_16);
    const Transform t = transforms().get(sourceIcc, display, in, qimageFormat(), alpha);
    if (!t)
        return QImage();
    QImage out(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (out.isNull())
        return out;
    if (!alpha)
        out.fill(0xffffffffu); // the transform leaves the unused fourth byte alone
    transformRows(t.get(), data, stride, out.bits(), out.bytesPerLine(), width, height);
    return alpha ? std::move(out).convertToFormat(QImage::Format_ARGB32_Premultiplied) : out;
}

QByteArray PictureColour::jpegIccProfile(const QByteArray& jpeg)
{
    const media::JpegHeader header = media::readJpegHeader(
        media::ByteView(reinterpret_cast<const unsigned char*>(jpeg.constData()), std::size_t(jpeg.size())));
    return QByteArray(reinterpret_cast<const char*>(header.icc.data()), qsizetype(header.icc.size()));
}

} // namespace marquelo
