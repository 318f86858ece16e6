#include "update/run_dialog.h"

namespace hbx {

RunDialog::RunDialog(platform::Ports ports, CHubUtility& utility)
    : m_Ini(ports.files, ports.payloads), m_Report(ports.clock), ports_(ports), utility_(utility) {}

}  // namespace hbx
