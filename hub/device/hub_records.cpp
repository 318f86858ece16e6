#include "hub/device/hub_records.h"

#include <algorithm>
#include <cstring>

namespace hbx {

void vClearDriverInfo(DriverInfo& info) { std::memset(&info, 0, sizeof info); }

void vSetField(wchar_t (&field)[kNameChars], const std::wstring& text) {
  const std::size_t n = std::min(text.size(), kNameChars - 1);
  std::copy_n(text.data(), n, field);
  field[n] = L'\0';
}

std::wstring strField(const wchar_t (&field)[kNameChars]) {
  return std::wstring(field, std::find(field, field + kNameChars, L'\0'));
}

std::vector<std::uint8_t> portChainOf(const DriverInfo& info) {
  const std::size_t n = std::min<std::size_t>(info.ucPortChainLength, kMaxPortChain);
  return std::vector<std::uint8_t>(info.ucPortChain, info.ucPortChain + n);
}

std::wstring strPortChain(const std::vector<std::uint8_t>& chain) {
  std::wstring text;
  for (const std::uint8_t port : chain) text += (text.empty() ? L"" : L".") + std::to_wstring(port);
  return text;
}

}  // namespace hbx
