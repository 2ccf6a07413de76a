// The process hardening's calls on the simulated machine: what the program
// asked of the DLL search and the mitigation policies (facts in sim_system.h).
#include "platform/sim/sim.h"
#include "platform/system.h"

namespace plat {

int DllDirectoriesSetDefault(std::uint32_t flags, int* result) {
    static const int op = SimOpId("DllDirectoriesSetDefault");
    SimSystem& system = Sim().system;
    if (!system.default_dll_directories) return 0;
    SimNoteCall("SetDefaultDllDirectories");
    *result = SimFaultHere(op) ? 0 : 1;
    if (*result) system.default_dll_directories_flags = flags;
    return 1;
}

int DllDirectorySet(const char* folder, int* result) {
    static const int op = SimOpId("DllDirectorySet");
    SimSystem& system = Sim().system;
    if (!system.set_dll_directory) return 0;
    SimNoteCall("SetDllDirectoryA");
    *result = SimFaultHere(op) ? 0 : 1;
    if (*result) {
        system.dll_directory_set = true;
        system.dll_directory = folder != nullptr ? folder : "";
    }
    return 1;
}

int MitigationPolicySet(int policy, std::uint32_t flags, int* result) {
    static const int op = SimOpId("MitigationPolicySet");
    SimSystem& system = Sim().system;
    if (!system.mitigation_policy) return 0;
    SimNoteCall("SetProcessMitigationPolicy " + std::to_string(policy));
    *result = SimFaultHere(op) || system.mitigations_refused.count(policy) != 0 ? 0 : 1;
    if (*result) system.mitigations.emplace_back(policy, flags);
    return 1;
}

}  // namespace plat
