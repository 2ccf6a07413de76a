#include "platform/sim/sim.h"
#include "platform/system.h"

namespace plat {

void SleepMs(std::uint32_t milliseconds) {
    static const int op = SimOpId("SleepMs");
    SimCountHere(op);
    Sim().system.tick_ms += milliseconds;  // wraps like the real counter
    Sim().system.slept_ms += milliseconds;
}

std::uint32_t TickCount() {
    static const int op = SimOpId("TickCount");
    SimCountHere(op);
    return Sim().system.tick_ms;
}

std::uint32_t WindowsFolder(char* buffer, std::uint32_t size) {
    static const int op = SimOpId("WindowsFolder");
    if (SimFaultHere(op)) {
        if (size > 0) buffer[0] = '\0';
        return 0;
    }
    const SimSystem& system = Sim().system;
    if (system.windows_folder_fails) return 0;
    auto length = static_cast<std::uint32_t>(system.windows_folder.size());
    if (length + 1 > size) return length + 1;
    SimCopyText(buffer, size, system.windows_folder);
    return length;
}

std::int32_t ComInitialize() {
    static const int op = SimOpId("ComInitialize");
    if (SimFaultHere(op)) {
        return static_cast<std::int32_t>(0x8007000Eu);  // E_OUTOFMEMORY
    }
    SimSystem& system = Sim().system;
    std::int32_t result = system.com_initialize_result;
    if (result >= 0) ++system.com_open;
    if (result >= 0 && !system.com_security_set) {
        system.com_security_set = true;
        SimNoteCall("CoInitializeSecurity");
        system.com_secured = !system.com_security_refused;
    }
    auto thread = system.threads.find(system.running_thread);
    if (thread != system.threads.end()) thread->second.com_initialized = result;
    return result;
}

void ComUninitialize() {
    static const int op = SimOpId("ComUninitialize");
    SimCountHere(op);
    --Sim().system.com_open;
}

int AnsiCodePageLeadBytes(AnsiLeadBytes* out) {
    static const int op = SimOpId("AnsiCodePageLeadBytes");
    for (unsigned char& lead : out->lead) lead = 0;
    if (SimFaultHere(op)) return 0;
    for (int b = 0x80; b < 256; ++b) out->lead[b] = SimIsLeadByte(static_cast<unsigned char>(b)) ? 1 : 0;
    return 1;
}

}  // namespace plat
