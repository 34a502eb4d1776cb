#include "ImageHash.h"

#include <bcrypt.h>

#include "Digits.h"

namespace
{
// BCryptHash in one call is Windows 10's; these three reach back to Windows 7.
bool Digest(BCRYPT_ALG_HANDLE algorithm, const std::vector<BYTE>& bytes, UCHAR (&digest)[32])
{
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0)
    {
        return false;
    }
    const bool done =
        BCryptHashData(hash, const_cast<PUCHAR>(bytes.data()), static_cast<ULONG>(bytes.size()), 0) == 0 &&
        BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
    BCryptDestroyHash(hash);
    return done;
}
}  // namespace

std::string Sha256Hex(const std::vector<BYTE>& bytes)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
    {
        return std::string();
    }
    UCHAR digest[32] = {};
    const bool hashed = Digest(algorithm, bytes, digest);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    std::string text;
    for (UCHAR byte : digest)
    {
        text += Digits::Hex(byte, 2);
    }
    return hashed ? text : std::string();
}
