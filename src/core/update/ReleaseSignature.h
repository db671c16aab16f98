#pragma once
// Ed25519 detached signatures of released executables: only a file signed with the release key installs.

#include <array>
#include <cstddef>
#include <span>

namespace marquelo {

using SigningPublicKey = std::array<unsigned char, 32>;
inline constexpr std::size_t kSignatureBytes = 64;

// The public half of the release key; the release tool (tools/release) signs with the private half.
extern const SigningPublicKey kReleasePublicKey;

// True when `signature` (64 bytes) is a valid signature of `data` by the owner of `publicKey`.
// Any other signature length, or a library that cannot start, counts as not verified.
bool verifySignature(std::span<const char> data, std::span<const char> signature, const SigningPublicKey& publicKey);

} // namespace marquelo
