#include "core/update/ReleaseSignature.h"

#include <sodium.h>

namespace marquelo {

// Made with `marquelo-release keygen`; the secret half is kept by whoever publishes releases.
const SigningPublicKey kReleasePublicKey = {
    0x85, 0x40, 0xdf, 0x34, 0x2a, 0x62, 0x9a, 0xc7, 0x03, 0xe9, 0x8d, 0x43, 0x6e, 0x89, 0xbf, 0x7b,
    0xc6, 0xf1, 0x46, 0x5a, 0x61, 0xf6, 0x1e, 0x7f, 0x6d, 0xd6, 0xf4, 0xd7, 0xac, 0x42, 0x83, 0x46,
};

bool verifySignature(std::span<const char> data, std::span<const char> signature, const SigningPublicKey& publicKey)
{
    static_assert(crypto_sign_PUBLICKEYBYTES == std::tuple_size_v<SigningPublicKey>);
    static_assert(crypto_sign_BYTES == kSignatureBytes);
    if (sodium_init() < 0 || signature.size() != crypto_sign_BYTES)
        return false;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                       reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                                       publicKey.data()) == 0;
}

} // namespace marquelo
