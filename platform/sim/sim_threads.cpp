// Version sources, WOW64, named mutexes, threads, the program's module and
// User32 on the simulated machine (facts in sim_system.h).
#include "platform/sim/sim.h"
#include "platform/system.h"

namespace {

// What GetVersionExA admits to a program whose manifest names Vista and 7.
plat::OsVersion ReportedVersion(const SimSystem& system) {
    plat::OsVersion reported = system.version;
    bool above_8 = reported.major > 6 || (reported.major == 6 && reported.minor > 2);
    if (system.version_lie && above_8) {
        reported.major = 6;
        reported.minor = 2;
        reported.build = 9200;
    }
    return reported;
}

void RunThread(std::uintptr_t handle) {
    SimSystem& system = Sim().system;
    SimThread& thread = system.threads[handle];
    if (thread.ran) return;
    thread.ran = true;  // before the entry, so that a wait inside it does not run it again
    std::uintptr_t previous = system.running_thread;
    system.running_thread = handle;
    std::uint32_t code = thread.entry(thread.parameter);
    Sim().system.threads[handle].exit_code = code;
    Sim().system.running_thread = previous;
}

}  // namespace

int SimRunThreads() {
    int ran = 0;
    for (std::size_t i = 0; i < Sim().system.thread_order.size(); ++i) {
        std::uintptr_t handle = Sim().system.thread_order[i];
        if (Sim().system.threads[handle].ran) continue;
        RunThread(handle);
        ++ran;
    }
    return ran;
}

void SimNoteCall(const std::string& call) { Sim().system.calls.push_back(call); }

void SimHoldMutexElsewhere(const std::string& name) { Sim().system.mutexes[name].held_elsewhere = true; }

namespace plat {

int VersionRead(std::uint32_t size_field, OsVersion* version) {
    static const int op = SimOpId("VersionRead");
    bool fails = SimFaultHere(op);
    SimSystem& system = Sim().system;
    system.version_sizes_asked.push_back(size_field);
    if (fails) return 0;
    if (size_field != kVersionInfoExSize && size_field != kVersionInfoSize) return 0;
    if (size_field == kVersionInfoExSize && system.version_ex_size_refused) return 0;
    *version = ReportedVersion(system);
    if (size_field == kVersionInfoSize) version->product_type = 0;
    return 1;
}

int RtlVersionRead(OsVersion* version, std::int32_t* status) {
    static const int op = SimOpId("RtlVersionRead");
    if (SimFaultHere(op)) {
        *status = static_cast<std::int32_t>(0xC0000001u);  // STATUS_UNSUCCESSFUL
        return 1;
    }
    const SimSystem& system = Sim().system;
    if (!system.rtl_get_version) return 0;
    *status = system.rtl_status;
    if (system.rtl_status == 0) {
        version->major = system.version.major;
        version->minor = system.version.minor;
        version->build = system.version.build;
        version->platform_id = system.version.platform_id;
        version->product_type = system.version.product_type;
    }
    return 1;
}

int Wow64Query(int* is_wow64) {
    static const int op = SimOpId("Wow64Query");
    if (SimFaultHere(op)) {
        return 0;
    }
    const SimSystem& system = Sim().system;
    if (!system.is_wow64_export || system.wow64_call_fails) return 0;
    *is_wow64 = system.is_64bit ? 1 : 0;
    return 1;
}

Handle MutexCreate(const char* name, int initial_owner, std::uint32_t* last_error) {
    SimNoteCall("CreateMutexA");
    static const int op = SimOpId("MutexCreate");
    if (SimFaultHere(op)) {
        *last_error = kErrorAccessDenied;
        return kInvalidHandle;
    }
    SimSystem& system = Sim().system;
    if (system.mutex_create_fails) {
        *last_error = kErrorAccessDenied;
        return kInvalidHandle;
    }
    // An unnamed mutex is one of its own.
    Handle handle = SimNewHandle();
    std::string key =
        name != nullptr ? name : "\x01unnamed " + std::to_string(reinterpret_cast<std::uintptr_t>(handle));
    SimMutex& mutex = system.mutexes[key];
    bool existed = mutex.handles > 0 || mutex.held_elsewhere;
    ++mutex.handles;
    if (!existed && initial_owner) mutex.owned = 1;
    *last_error = existed ? kErrorAlreadyExists : kErrorSuccess;
    system.mutex_handles[reinterpret_cast<std::uintptr_t>(handle)] = key;
    return handle;
}

// The sim cannot block: a mutex that another process holds is never had.
std::uint32_t MutexWait(Handle mutex, std::uint32_t /*milliseconds*/) {
    static const int op = SimOpId("MutexWait");
    if (SimFaultHere(op)) {
        return kWaitFailed;
    }
    SimSystem& system = Sim().system;
    auto it = system.mutex_handles.find(reinterpret_cast<std::uintptr_t>(mutex));
    if (it == system.mutex_handles.end()) return kWaitFailed;
    SimMutex& state = system.mutexes[it->second];
    if (state.held_elsewhere) return kWaitTimeout;
    ++state.owned;
    return kWaitObject0;
}

int MutexRelease(Handle mutex) {
    static const int op = SimOpId("MutexRelease");
    if (SimFaultHere(op)) {
        return 0;
    }
    SimSystem& system = Sim().system;
    auto it = system.mutex_handles.find(reinterpret_cast<std::uintptr_t>(mutex));
    if (it == system.mutex_handles.end()) return 0;
    SimMutex& state = system.mutexes[it->second];
    if (state.owned == 0) return 0;
    --state.owned;
    return 1;
}

void MutexClose(Handle mutex) {
    static const int op = SimOpId("MutexClose");
    SimCountHere(op);
    SimSystem& system = Sim().system;
    auto it = system.mutex_handles.find(reinterpret_cast<std::uintptr_t>(mutex));
    if (it == system.mutex_handles.end()) return;
    SimMutex& state = system.mutexes[it->second];
    --state.handles;
    if (state.handles == 0) state.owned = 0;  // abandoned with its last handle
    if (state.handles == 0 && !state.held_elsewhere) system.mutexes.erase(it->second);
    system.mutex_handles.erase(it);
}

Handle ThreadCreate(ThreadEntry entry, void* parameter, std::uint32_t* thread_id) {
    SimNoteCall("CreateThread");
    static const int op = SimOpId("ThreadCreate");
    if (SimFaultHere(op)) {
        return kInvalidHandle;
    }
    SimSystem& system = Sim().system;
    if (system.thread_create_fails || entry == nullptr) return kInvalidHandle;
    Handle handle = SimNewHandle();
    auto key = reinterpret_cast<std::uintptr_t>(handle);
    SimThread& thread = system.threads[key];
    thread.entry = entry;
    thread.parameter = parameter;
    thread.id = system.next_thread_id++;
    thread.created_tick = system.tick_ms;
    system.thread_order.push_back(key);
    if (thread_id != nullptr) *thread_id = thread.id;
    return handle;
}

std::uint32_t ThreadWait(Handle thread, std::uint32_t milliseconds) {
    static const int op = SimOpId("ThreadWait");
    if (SimFaultHere(op)) {
        return kWaitFailed;
    }
    SimSystem& system = Sim().system;
    auto key = reinterpret_cast<std::uintptr_t>(thread);
    auto it = system.threads.find(key);
    if (it == system.threads.end() || it->second.closed) return kWaitFailed;
    if (!it->second.ran) {
        if (milliseconds == 0) return kWaitTimeout;
        RunThread(key);
    }
    return kWaitObject0;
}

void ThreadClose(Handle thread) {
    static const int op = SimOpId("ThreadClose");
    SimCountHere(op);
    auto it = Sim().system.threads.find(reinterpret_cast<std::uintptr_t>(thread));
    if (it != Sim().system.threads.end()) it->second.closed = true;
}

int ThreadLowerPriority() {
    static const int op = SimOpId("ThreadLowerPriority");
    if (SimFaultHere(op)) {
        return 0;
    }
    SimSystem& system = Sim().system;
    auto it = system.threads.find(system.running_thread);
    if (it != system.threads.end()) it->second.lowered_priority = true;
    else system.main_thread_priority_lowered = true;
    return 1;
}

std::uint32_t ModuleFileName(Handle /*instance*/, char* buffer, std::uint32_t size) {
    static const int op = SimOpId("ModuleFileName");
    if (SimFaultHere(op)) {
        if (size > 0) buffer[0] = '\0';
        return 0;
    }
    if (size == 0) return 0;
    SimCopyText(buffer, size, Sim().system.module_path);
    return static_cast<std::uint32_t>(std::char_traits<char>::length(buffer));
}

Handle User32Open() {
    static const int op = SimOpId("User32Open");
    SimNoteCall("LoadLibrary User32.dll");
    if (SimFaultHere(op)) {
        return kInvalidHandle;
    }
    if (!Sim().system.user32_loads) return kInvalidHandle;
    ++Sim().system.user32_open;
    return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(0x75000000u));
}

void User32Close(Handle module) {
    static const int op = SimOpId("User32Close");
    SimCountHere(op);
    if (module != nullptr && module != kInvalidHandle) --Sim().system.user32_open;
}

Handle User32WindowTextReader(Handle module) {
    static const int op = SimOpId("User32WindowTextReader");
    if (SimFaultHere(op)) {
        return nullptr;
    }
    if (module == nullptr || module == kInvalidHandle || !Sim().system.internal_get_window_text) return nullptr;
    return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(0x75001234u));
}

}  // namespace plat
