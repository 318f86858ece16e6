// The port contract on the simulated host: the built-in bench, scratch
// folders on its drive C:.
#include <filesystem>

#include "sim/sim_host.h"
#include "sim/sim_registry.h"
#include "sim/sim_system.h"
#include "tests/contract/contract_host.h"

namespace hbx::contract {
namespace {

class SimContractHost final : public ContractHost {
 public:
  SimContractHost() : host_(sim::SimHostOptions{}) {}

  platform::Ports ports() override { return host_.ports(); }
  std::wstring scratchFolder() override {
    const std::wstring folder = L"C:\\PortContract\\" + std::to_wstring(++count_);
    std::filesystem::create_directories(host_.hostPath(folder));
    return folder;
  }
  void createRegistryKey(const std::wstring& subKey) override { host_.registry().createKey(subKey); }
  void deleteRegistryKey(const std::wstring& subKey) override { host_.registry().deleteKey(subKey); }
  std::wstring moduleFileName() override { return sim::SimHostOptions{}.moduleFileName; }
  bool expectWow64() override { return host_.system().identity().wow64(); }

 private:
  sim::SimHost host_;
  int count_ = 0;
};

}  // namespace

ContractHost& contractHost() {
  static SimContractHost host;
  return host;
}

}  // namespace hbx::contract
