// The firmware source as the run's report states it.
#include <vector>

#include "app/fw_update_dlg.h"
#include "base/log/format.h"
#include "hub/hub_utility.h"
#include "image/source_check.h"
#include "image/source_file.h"

namespace hbx {

namespace {

const char* kindName(image::SourceKind kind) {
  switch (kind) {
    case image::SourceKind::Configuration: return "configuration";
    case image::SourceKind::Firmware: return "firmware";
    case image::SourceKind::None: break;
  }
  return "none";
}

}  // namespace

void ZAr763ORIdirevaVodoRev::vReportSource(const std::wstring& path, const std::wstring& refusal) {
  if (!m_Report.requested()) return;
  report::SourceRecord source;
  source.named = true;
  source.path = path;
  source.kind = kindName(image::sourceKindOf(path));
  source.refusal = refusal;
  if (refusal.empty()) source.version = m_strCurFileFWVer;
  // The classification's value, once the file was classified.
  if (refusal.empty() || m_bMajorType > 3) source.chipType = m_bMajorType;
  // The bytes the run checked and wrote, not the file as it is now.
  const image::LoadedSource& loaded = utility_.sourceOf(path);
  const std::vector<std::uint8_t>& content = loaded.bytes;
  platform::Sha256Digest digest{};
  if (loaded.read.step == image::ReadStep::Done) {
    source.size = static_cast<std::int64_t>(content.size());
    if (ports_.digest.sha256(content.data(), content.size(), digest)) {
      for (std::uint8_t byte : digest) source.sha256 += nformat("%02x", byte);
    }
  }
  m_Report.source(source);
}

}  // namespace hbx
