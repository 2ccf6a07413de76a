// Contract surroundings on the simulated machine.
#include <string>

#include "platform/sim/sim.h"
#include "tests/contract/env.h"

namespace {
const char kResourceText[] = "Mixolyte contract resource 0123456789\n";
int temp_counter = 0;
}  // namespace

void ContractSetUp() {
    SimReset();
    std::string text = kResourceText;
    Sim().resources.rcdata[100].assign(text.begin(), text.end());
}

int ContractIsSim() { return 1; }

std::string ContractTempFolder() {
    std::string folder = "C:\\Temp\\contract" + std::to_string(++temp_counter);
    SimPutFolder(folder);
    return folder;
}

std::string ContractMissingDrive() { return "Q:"; }

plat::Handle ContractResourceModule() { return reinterpret_cast<plat::Handle>(0x400000); }

const char* ContractResourceText() { return kResourceText; }

void ContractPutFile(const std::string& path, const std::string& bytes) {
    SimPutFile(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

std::string ContractReadFile(const std::string& path) {
    std::vector<std::uint8_t> bytes = SimReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

void ContractMakeReadOnly(const std::string& path) {
    if (SimFile* file = SimFindFile(path)) file->read_only = true;
}

int ContractHonoursReadOnly() { return 1; }

void ContractHoldFile(const std::string& path) {
    if (SimFile* file = SimFindFile(path)) file->in_use = true;
}

void ContractReleaseFile(const std::string& path) {
    if (SimFile* file = SimFindFile(path)) file->in_use = false;
}
