#include "media/HdrColour.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace marquelo::media {

namespace {

// Light in nits of a PQ (SMPTE ST 2084) sample in 0..1.
double pqNits(double v)
{
    constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128;
    constexpr double c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double e = std::pow(std::clamp(v, 0.0, 1.0), 1 / m2);
    return 10000 * std::pow(std::max(e - c1, 0.0) / (c2 - c3 * e), 1 / m1);
}

// Light in nits of an HLG (BT.2100) sample in 0..1 on a 1000-nit display (system gamma 1.2).
double hlgNits(double v)
{
    constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
    v = std::clamp(v, 0.0, 1.0);
    const double scene = v <= 0.5 ? v * v / 3 : (std::exp((v - c) / a) + b) / 12;
    return 1000 * std::pow(scene, 1.2);
}

// SDR screen light (0..1, 1 = the screen's white) for HDR light in nits: linear up to a knee, so skin
// and diffuse white keep their brightness, then a soft roll-off that reaches white only at infinity.
double toneMapped(double nits)
{
    constexpr double referenceWhite = 203, knee = 0.7;
    const double x = nits / referenceWhite;
    if (x <= knee)
        return x;
    return knee + (1 - knee) * (1 - std::exp(-(x - knee) / (1 - knee)));
}

struct ProfileDeleter {
    void operator()(void* p) const
    {
        if (p)
            cmsCloseProfile(p);
    }
};

} // namespace

std::vector<unsigned char> hdrProfile(HdrDescription hdr)
{
    if (hdr.transfer == HdrTransfer::None)
        return {};
    const cmsCIExyY d65{0.3127, 0.3290, 1.0};
    cmsCIExyYTRIPLE xy{};
    switch (hdr.primaries) {
    case Primaries::Bt2020: xy = {{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}}; break;
    case Primaries::DisplayP3: xy = {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}; break;
    case Primaries::Bt709: xy = {{0.640, 0.330, 1}, {0.300, 0.600, 1}, {0.150, 0.060, 1}}; break;
    }
    std::vector<cmsUInt16Number> table(4096);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const double v = double(i) / double(table.size() - 1);
        const double nits = hdr.transfer == HdrTransfer::Pq ? pqNits(v) : hlgNits(v);
        table[i] = cmsUInt16Number(std::lround(std::clamp(toneMapped(nits), 0.0, 1.0) * 65535));
    }
    cmsToneCurve* curve = cmsBuildTabulatedToneCurve16(nullptr, cmsUInt32Number(table.size()), table.data());
    if (!curve)
        return {};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const std::unique_ptr<void, ProfileDeleter> profile(cmsCreateRGBProfile(&d65, &xy, curves));
    cmsFreeToneCurve(curve);
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0)
        return {};
    std::vector<unsigned char> bytes(size);
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size))
        return {};
    return bytes;
}

} // namespace marquelo::media
