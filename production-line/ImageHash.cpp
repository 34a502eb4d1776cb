#include "ImageHash.h"

#include <bcrypt.h>

#include "Digits.h"
#include "SystemLibrary.h"

namespace
{
// bcrypt is loaded when an image is hashed, from the system folder, rather
// than imported by every start. BCryptHash in one call is Windows 10's; these
// reach back to Windows 7.
struct HashCalls
{
    decltype(&::BCryptOpenAlgorithmProvider) OpenAlgorithmProvider;
    decltype(&::BCryptCloseAlgorithmProvider) CloseAlgorithmProvider;
    decltype(&::BCryptCreateHash) CreateHash;
    decltype(&::BCryptHashData) HashData;
    decltype(&::BCryptFinishHash) FinishHash;
    decltype(&::BCryptDestroyHash) DestroyHash;
};

bool Load(HashCalls& calls)
{
    const HMODULE library = LoadSystemLibrary(L"bcrypt.dll");
    return library != nullptr && ResolveExport(library, "BCryptOpenAlgorithmProvider", calls.OpenAlgorithmProvider) &&
           ResolveExport(library, "BCryptCloseAlgorithmProvider", calls.CloseAlgorithmProvider) &&
           ResolveExport(library, "BCryptCreateHash", calls.CreateHash) &&
           ResolveExport(library, "BCryptHashData", calls.HashData) &&
           ResolveExport(library, "BCryptFinishHash", calls.FinishHash) &&
           ResolveExport(library, "BCryptDestroyHash", calls.DestroyHash);
}

bool Digest(const HashCalls& calls, BCRYPT_ALG_HANDLE algorithm, const std::vector<BYTE>& bytes, UCHAR (&digest)[32])
{
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (calls.CreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0)
    {
        return false;
    }
    const bool done =
        calls.HashData(hash, const_cast<PUCHAR>(bytes.data()), static_cast<ULONG>(bytes.size()), 0) == 0 &&
        calls.FinishHash(hash, digest, sizeof digest, 0) == 0;
    calls.DestroyHash(hash);
    return done;
}
}  // namespace

std::string Sha256Hex(const std::vector<BYTE>& bytes)
{
    HashCalls calls{};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Load(calls) || calls.OpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
    {
        return std::string();
    }
    UCHAR digest[32] = {};
    const bool hashed = Digest(calls, algorithm, bytes, digest);
    calls.CloseAlgorithmProvider(algorithm, 0);
    std::string text;
    for (UCHAR byte : digest)
    {
        text += Digits::Hex(byte, 2);
    }
    return hashed ? text : std::string();
}
