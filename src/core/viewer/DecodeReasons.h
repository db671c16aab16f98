#pragma once
// The words a failed decode is explained in, shared by every decoder of the viewer (the libvips module
// includes this header too, so it is inline and needs Qt Core only). A reason completes the sentence
// "Cannot read this picture: ..." and so starts in lower case.

#include <QString>

#include <cstdint>

namespace marquelo::reasons {

inline QString notAPicture()
{
    return QStringLiteral("not a picture Marquelo can read");
}

inline QString endsEarly()
{
    return QStringLiteral("the file ends early");
}

inline QString noMemory()
{
    return QStringLiteral("there is not enough memory to decode it");
}

inline QString cancelled()
{
    return QStringLiteral("the load was cancelled");
}

// A bound in the unit it is round in: 1 GB, 64 MB, 512 KB.
inline QString byteSize(std::int64_t bytes)
{
    if (bytes >= (std::int64_t(1) << 30) && bytes % (std::int64_t(1) << 30) == 0)
        return QStringLiteral("%1 GB").arg(bytes >> 30);
    if (bytes >= (1 << 20))
        return QStringLiteral("%1 MB").arg(bytes >> 20);
    return QStringLiteral("%1 KB").arg(bytes >> 10);
}

// Pictures are refused by the bytes their pixels need (four a pixel); the user thinks in megapixels.
inline QString largerThan(std::int64_t maxDecodedBytes)
{
    return QStringLiteral("the picture is larger than %1 megapixels").arg(maxDecodedBytes / 4 / 1000000);
}

// A picture within the pixel bound whose decoder would still hold more than the bound on the way (a
// progressive JPEG's coefficients, 16-bit samples, a full-size copy before scaling).
inline QString needsTooMuchMemory(std::int64_t maxDecodedBytes)
{
    return QStringLiteral("the picture needs more than %1 of memory to decode").arg(byteSize(maxDecodedBytes));
}

// A library's own message, kept as it stands behind a sentence of ours.
inline QString damaged(const QString& libraryMessage)
{
    const QString message = libraryMessage.trimmed();
    return message.isEmpty() ? QStringLiteral("the file is damaged")
                             : QStringLiteral("the file is damaged (%1)").arg(message);
}

} // namespace marquelo::reasons
