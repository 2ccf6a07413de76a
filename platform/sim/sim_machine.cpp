#include <memory>

#include "platform/sim/sim.h"
#include "platform/types.h"

namespace {
std::unique_ptr<SimMachine> current;
}

SimMachine& Sim() {
    if (!current) SimReset();
    return *current;
}

void SimReset() {
    current = std::make_unique<SimMachine>();
    SimAddRoot("C:");
}

SimMachine SimSnapshot() { return Sim(); }

void SimRestore(const SimMachine& machine) { Sim() = machine; }

void SimRestart() {
    SimMachine& machine = Sim();
    // Entries marked for deletion go with the last handle on them.
    for (const auto& [handle, open] : machine.files.open)
        if (open.delete_pending) machine.files.entries.erase(open.key);
    machine.files.open.clear();
    machine.files.searches.clear();
    for (auto& [key, file] : machine.files.entries) file.in_use = file.held_sharing_delete = false;
    std::erase_if(machine.files.entries, [](const auto& entry) { return entry.second.delete_pending; });
    SimRunPendingDeletions();
    machine.registry.open.clear();
    machine.processes.open.clear();
    machine.modules.loaded.clear();
    SimSystem& system = machine.system;
    system.mutexes.clear();
    system.mutex_handles.clear();
    system.threads.clear();
    system.thread_order.clear();
    system.running_thread = 0;
    system.main_thread_priority_lowered = false;
    system.impersonating = false;
    system.image_moved_from.clear();
    system.image_moved_to.clear();
    system.token_handles.clear();
    system.com_open = 0;
    system.com_security_set = system.com_secured = false;
    system.user32_open = 0;
    machine.windows = SimWindows{};
    machine.devices.open.clear();
    machine.audio.collections.clear();
    machine.faults = SimFaults{};
}

void* SimNewHandle() {
    return reinterpret_cast<void*>(Sim().next_handle++);
}
