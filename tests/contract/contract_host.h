#pragma once
// What the port contract tests need of a host beyond its ports: set-up that
// the ports themselves never do, and the answers that differ by machine.
// Each host's test program defines contractHost().
#include <string>

#include "platform/ports.h"

namespace hbx::contract {

class ContractHost {
 public:
  virtual ~ContractHost() = default;
  virtual platform::Ports ports() = 0;
  // An existing, empty, writable folder (no trailing "\").
  virtual std::wstring scratchFolder() = 0;
  // Creates / removes HKEY_LOCAL_MACHINE\subKey with its values.
  virtual void createRegistryKey(const std::wstring& subKey) = 0;
  virtual void deleteRegistryKey(const std::wstring& subKey) = 0;
  // The running program's own file name, as GetModuleFileNameW gives it.
  virtual std::wstring moduleFileName() = 0;
  // Whether this process runs under WOW64 on this machine.
  virtual bool expectWow64() = 0;
};

ContractHost& contractHost();

}  // namespace hbx::contract
