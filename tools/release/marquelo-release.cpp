// The release tool: makes the release key pair and signs the executables that the update check installs.
//
//   marquelo-release keygen SECRET_KEY_FILE   writes a new secret key (mode 0600) and prints its public key
//   marquelo-release public SECRET_KEY_FILE   prints the public key of a secret key
//   marquelo-release sign SECRET_KEY_FILE FILE [SIGNATURE_FILE]
//                                             writes the detached signature (default FILE.sig)
//   marquelo-release verify PUBLIC_KEY_HEX FILE SIGNATURE_FILE
//
// Signatures are Ed25519 (libsodium's crypto_sign_detached), 64 raw bytes. The secret key file holds
// libsodium's 64-byte secret key and must never be committed.

#include <sodium.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool readFile(const std::string& path, std::vector<unsigned char>& data)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFile(const std::string& path, const unsigned char* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    out.close();
    return bool(out);
}

void printPublicKey(const unsigned char* pk)
{
    std::string hex(crypto_sign_PUBLICKEYBYTES * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), pk, crypto_sign_PUBLICKEYBYTES);
    hex.pop_back();
    std::cout << "public key (hex): " << hex << "\npublic key (C++):\n    ";
    for (std::size_t i = 0; i < crypto_sign_PUBLICKEYBYTES; ++i) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02x,", pk[i]);
        std::cout << byte << ((i % 8 == 7) ? "\n    " : " ");
    }
    std::cout << "\n";
}

bool loadSecretKey(const std::string& path, std::vector<unsigned char>& sk)
{
    if (!readFile(path, sk) || sk.size() != crypto_sign_SECRETKEYBYTES) {
        std::cerr << "marquelo-release: unable to read secret key: " << path << "\n";
        return false;
    }
    return true;
}

int keygen(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        std::cerr << "marquelo-release: unable to create key: " << path << " exists (never replaced)\n";
        return 1;
    }
    unsigned char pk[crypto_sign_PUBLICKEYBYTES];
    unsigned char sk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(pk, sk);
    const mode_t old = umask(077);
    const bool ok = writeFile(path, sk, sizeof sk);
    umask(old);
    sodium_memzero(sk, sizeof sk);
    if (!ok) {
        std::cerr << "marquelo-release: unable to write secret key: " << path << "\n";
        return 1;
    }
    printPublicKey(pk);
    return 0;
}

int showPublic(const std::string& path)
{
    std::vector<unsigned char> sk;
    if (!loadSecretKey(path, sk))
        return 1;
    unsigned char pk[crypto_sign_PUBLICKEYBYTES];
    crypto_sign_ed25519_sk_to_pk(pk, sk.data());
    printPublicKey(pk);
    return 0;
}

int sign(const std::string& keyPath, const std::string& file, const std::string& sigPath)
{
    std::vector<unsigned char> sk;
    std::vector<unsigned char> data;
    if (!loadSecretKey(keyPath, sk))
        return 1;
    if (!readFile(file, data)) {
        std::cerr << "marquelo-release: unable to read " << file << "\n";
        return 1;
    }
    unsigned char sig[crypto_sign_BYTES];
    crypto_sign_detached(sig, nullptr, data.data(), data.size(), sk.data());
    sodium_memzero(sk.data(), sk.size());
    if (!writeFile(sigPath, sig, sizeof sig)) {
        std::cerr << "marquelo-release: unable to write " << sigPath << "\n";
        return 1;
    }
    return 0;
}

int verify(const std::string& publicHex, const std::string& file, const std::string& sigPath)
{
    unsigned char pk[crypto_sign_PUBLICKEYBYTES];
    std::size_t len = 0;
    std::vector<unsigned char> data;
    std::vector<unsigned char> sig;
    if (sodium_hex2bin(pk, sizeof pk, publicHex.c_str(), publicHex.size(), nullptr, &len, nullptr) != 0 ||
        len != sizeof pk) {
        std::cerr << "marquelo-release: unable to read public key: expected 64 hex digits\n";
        return 1;
    }
    if (!readFile(file, data) || !readFile(sigPath, sig) || sig.size() != crypto_sign_BYTES) {
        std::cerr << "marquelo-release: unable to read " << file << " or its signature " << sigPath << "\n";
        return 1;
    }
    if (crypto_sign_verify_detached(sig.data(), data.data(), data.size(), pk) != 0) {
        std::cerr << "marquelo-release: signature does not verify\n";
        return 1;
    }
    std::cout << "signature verifies\n";
    return 0;
}

int usage()
{
    std::cerr << "usage: marquelo-release keygen SECRET_KEY_FILE\n"
                 "       marquelo-release public SECRET_KEY_FILE\n"
                 "       marquelo-release sign SECRET_KEY_FILE FILE [SIGNATURE_FILE]\n"
                 "       marquelo-release verify PUBLIC_KEY_HEX FILE SIGNATURE_FILE\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (sodium_init() < 0) {
        std::cerr << "marquelo-release: unable to start libsodium\n";
        return 1;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "keygen")
        return keygen(args[1]);
    if (args.size() == 2 && args[0] == "public")
        return showPublic(args[1]);
    if ((args.size() == 3 || args.size() == 4) && args[0] == "sign")
        return sign(args[1], args[2], args.size() == 4 ? args[3] : args[2] + ".sig");
    if (args.size() == 4 && args[0] == "verify")
        return verify(args[1], args[2], args[3]);
    return usage();
}
