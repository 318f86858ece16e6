// Checks a firmware image a packager names for the Windows program to carry,
// by the rules a "/U" source must pass at run time: a ".bin" name, a content
// of its kind that a hub boots, and a version in the name (if any) that is
// the content's. Run by the build's configuration; exit 0 when it passes.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/source_check.h"
#include "image/temp_bin_file.h"

namespace {

bool sameHexText(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<int>(a[i])) != std::toupper(static_cast<int>(b[i]))) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace hbx::image;
  if (argc != 2) {
    std::fprintf(stderr, "usage: check_image FILE\n");
    return 2;
  }
  const std::string name = argv[1];
  const std::wstring path(name.begin(), name.end());
  const SourceKind kind = sourceKindOf(path);
  if (kind == SourceKind::None) {
    std::fprintf(stderr, "%s: not a firmware image file (.bin)\n", argv[1]);
    return 1;
  }
  std::ifstream in(name, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
    return 1;
  }
  const std::vector<std::uint8_t> content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t limit = kind == SourceKind::Firmware ? kFirmwareFileMax : kSourceFileMax;
  if (content.size() > limit) {
    std::fprintf(stderr, "%s: %zu bytes, more than a source of its kind holds\n", argv[1], content.size());
    return 1;
  }
  const SourceCheck check = checkSource(kind, content);
  if (check.result > 3) {
    std::fprintf(stderr, "%s: no hub could boot it (classification 0x%02X)\n", argv[1], check.result);
    return 1;
  }
  wchar_t text[13] = {};
  for (std::size_t i = 0; i < 6; ++i) std::swprintf(text + 2 * i, 3, L"%02X", (*check.version)[i]);
  const auto named = versionInName(path);
  if (named && !sameHexText(*named, text)) {
    std::fprintf(stderr, "%s: the name carries another version than the content (%ls)\n", argv[1], text);
    return 1;
  }
  std::printf("%s: major type %u, version %ls\n", argv[1], check.result, text);
  return 0;
}
