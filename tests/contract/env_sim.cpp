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

int ContractPutLoadedModule(const std::string& path) {
    std::string bytes = "MZ stand-in DLL";
    SimPutFile(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    SimFile* file = SimFindFile(path);
    if (file == nullptr) return 0;
    file->in_use = true;
    return 1;
}

void ContractUnloadModules() {
    for (auto& [key, file] : Sim().files.entries) file.in_use = false;
}

// ---- Registry surroundings ----

void ContractUse64BitWindows() { Sim().system.is_64bit = true; }

int ContractIs64BitWindows() { return Sim().system.is_64bit ? 1 : 0; }

unsigned ContractAnsiCodePage() { return 1252; }

// Each test starts on a fresh machine: nothing is left to remove.
void ContractRemoveRegistryTestKeys() {}

void ContractPutRegistryText(plat::Handle hive, const std::string& path, const std::string& name,
                             const std::string& text) {
    SimRegPutText(hive, path, name, text);
}

int ContractGetRegistryValue(plat::Handle hive, const std::string& path, const std::string& name,
                             std::uint32_t* type, std::string* bytes) {
    std::vector<std::uint8_t> read;
    if (!SimRegReadValueA(hive, path, name, type, &read)) return 0;
    bytes->assign(read.begin(), read.end());
    return 1;
}

std::vector<std::string> ContractRegistrySubkeys(plat::Handle hive, const std::string& path) {
    return SimRegListSubkeys(hive, path);
}

int ContractDenyRegistryWrite(plat::Handle hive, const std::string& path) {
    SimRegDenyWrite(hive, path);
    return 1;
}

int ContractDenyRegistryDelete(plat::Handle hive, const std::string& path) {
    SimRegDenyDelete(hive, path);
    return 1;
}
