// The files carried inside the program: resources of the program's own module.
#include <windows.h>

#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

class Win32Payloads final : public platform::PayloadPort {
 public:
  std::optional<std::vector<std::uint8_t>> payload(const std::wstring& type, std::uint32_t id) override {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type.c_str());
    if (!found) return std::nullopt;
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(loaded));
    const DWORD size = SizeofResource(nullptr, found);
    if (!bytes && size != 0) return std::nullopt;
    return std::vector<std::uint8_t>(bytes, bytes + size);
  }
};

}  // namespace

platform::PayloadPort& payloadPort() {
  static Win32Payloads port;
  return port;
}

}  // namespace hbx::win32
