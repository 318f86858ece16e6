// Digests on Windows: the CNG primitives (bcrypt.dll).
#include <windows.h>

#include <bcrypt.h>

#include <algorithm>

#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

class Win32Digest final : public platform::DigestPort {
 public:
  bool sha256(const std::uint8_t* data, std::size_t size, platform::Sha256Digest& out) override {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    // BCryptHashData takes at most 4 GiB at a time.
    for (std::size_t done = 0; ok && done < size;) {
      const ULONG part = static_cast<ULONG>(std::min<std::size_t>(size - done, 0x40000000u));
      ok = BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(data + done), part, 0));
      done += part;
    }
    ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, out.data(), static_cast<ULONG>(out.size()), 0));
    if (hash != nullptr) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return ok;
  }
};

}  // namespace

platform::DigestPort& digestPort() {
  static Win32Digest port;
  return port;
}

}  // namespace hbx::win32
