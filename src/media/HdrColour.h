#pragma once
// HDR photos (PQ or HLG samples, as phones store them in HEIF and AVIF) shown on an SDR screen or
// written for one. The viewer and the image tool convert them through the same profile, so that a copy
// made for a page looks like the photo did in the viewer.

#include <vector>

namespace marquelo::media {

// How the samples of a picture encode light (the transfer of its nclx colour description); None for
// anything that is not HDR.
enum class HdrTransfer { None, Pq, Hlg };
// The colour primaries of an nclx description: BT.709/sRGB, BT.2020, Display P3.
enum class Primaries { Bt709, Bt2020, DisplayP3 };

struct HdrDescription {
    HdrTransfer transfer = HdrTransfer::None;
    Primaries primaries = Primaries::Bt709;
};

// An ICC RGB profile that takes HDR samples to an SDR screen: the transfer's light (PQ: absolute nits;
// HLG: 1000-nit display) with SDR reference white (203 nits) kept, brighter light rolled off smoothly
// below white instead of clipped. Pixels converted from it look neither black nor flat. Empty for
// HdrTransfer::None or when the profile cannot be made.
std::vector<unsigned char> hdrProfile(HdrDescription hdr);

} // namespace marquelo::media
