#include "app/usage_text.h"

#include "base/log/format.h"
#include "app/tool_identity.h"

namespace hbx {

std::wstring strUsageText(const std::wstring& initCmd, std::uint8_t forceDisableFwUpdate) {
  std::wstring text = tool::kProgramFileName;
  text += wformat(L" %s%s", tool::kVersion, L"\r\n");
  text += L"Your Input: " + initCmd + L"\r\n";
  text += L"Usage: ";
  text += tool::kProgramFileName;
  text +=
      L"\t[ /? | /DBG [Level] | /DOS | /MP | /SILENT | /A | /O | /VID | /P3 PID | /P2 PID | /MSTR [M string] | "
      L"/N | /UN | /I | /E | /C [version] | /U file ] \r\n\r\n";
  text += L"OPTIONS\r\n";
  text += L"/?\tDisplay help message.\r\n";
  text += L"/DBG [Level]\tSet Message Level \r\n";
  text += L"/DOS\tEnable Console Windows \r\n";
  text += L"/MP\tMP Version: do not check firmware \r\n";
  text += L"/SILENT\tSilent Install: do not show any messages/operaions\r\n";
  text += L"/A\tAuto Mode: do not Need to press \"OK\" button \r\n";
  text += L"/O\tOutput version text file \r\n";
  text += L"/VID [VID]\tAssign target VID Hubs \r\n";
  text += L"/P3 [U3 PID]\tAssign target USB 3.0 PID Hubs  \r\n";
  text += L"/P2 [U2 PID]\tAssign target USB 2.0 PID Hubs  \r\n";
  text += L"/MSTR [M String] Assign target Hub's Manufacturing string  \r\n";
  text += L"/N [No.]\tSet Hubs Number \r\n";
  text += L"/UN\tDo not unstaill Filter Driver after program finished. \r\n";
  text += L"/I\tCompare serial number\t\r\n";
  text += L"/E [Target Number]\tExport SPI-ROM in HBX763xFW.bin file\r\n";
  text += L"/C [FW version]\tCheck Firmware Version\r\n";
  if (forceDisableFwUpdate == 0) text += L"/U [file]\tUpdate FW \r\n";
  text += L"/REPORT file\tWrite a JSON report of the run into file\r\n";
  return text;
}

}  // namespace hbx
