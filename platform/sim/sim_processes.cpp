#include "platform/processes.h"
#include "platform/sim/sim.h"

namespace {

SimProcesses& Procs() { return Sim().processes; }

bool IsFolder(const std::string& path) {
    std::string key = SimPathKey(path);
    if (key.empty()) return false;
    if (Sim().files.roots.count(key)) return true;
    auto it = Sim().files.entries.find(key);
    return it != Sim().files.entries.end() && it->second.is_folder;
}

SimStartedProcess* ProcessOf(plat::Handle process) {
    auto it = Procs().open.find(reinterpret_cast<std::uintptr_t>(process));
    if (it == Procs().open.end()) return nullptr;
    return &Procs().started[it->second];
}

SimProgram* ProgramAt(const std::string& path) {
    auto it = Procs().programs.find(SimPathKey(path));
    return it == Procs().programs.end() ? nullptr : &it->second;
}

// Notes the program and command line of a process whose call failed.
void NoteProcess(plat::Handle process) {
    if (const SimStartedProcess* started = ProcessOf(process))
        SimNoteFailedSubject("F " + SimPathKey(started->application), started->command_line);
}

}  // namespace

SimProgram& SimPutProgram(const std::string& path, SimProgramBehaviour behaviour) {
    SimFile* file = SimFindFile(path);
    if (file == nullptr || file->is_folder) SimPutFile(path, {'M', 'Z', 's', 'i', 'm'});
    SimProgram& program = Procs().programs[SimPathKey(path)];
    program.behaviour = std::move(behaviour);
    return program;
}

std::vector<const SimStartedProcess*> SimStartsOf(const std::string& path) {
    std::vector<const SimStartedProcess*> found;
    std::string key = SimPathKey(path);
    for (const SimStartedProcess& process : Procs().started)
        if (SimPathKey(process.application) == key) found.push_back(&process);
    return found;
}

namespace plat {

ProcessStartStatus ProcessStart(const char* application, const char* command_line, const char* current_folder,
                                const char* temp_folder, Handle* process) {
    static const int op = SimOpId("ProcessStart");
    if (SimFaultHere(op)) {
        SimNoteFailedSubject("F " + SimPathKey(application ? application : ""), command_line ? command_line : "");
        if (process != nullptr) *process = kInvalidHandle;
        return kProcessCreateFailed;
    }
    *process = kInvalidHandle;
    std::string path = application ? application : "";
    SimFile* file = SimFindFile(path);
    SimProgram* program = ProgramAt(path);
    // The file must be there and be a program the machine can run; a
    // current folder that is given must exist.
    if (file == nullptr || file->is_folder || program == nullptr || program->create_fails)
        return kProcessCreateFailed;
    if (current_folder != nullptr && !IsFolder(current_folder)) return kProcessCreateFailed;

    SimStartedProcess started;
    started.application = path;
    started.command_line = command_line ? command_line : "";
    started.current_folder = current_folder ? current_folder : Procs().current_folder;
    started.temp_folder = temp_folder ? temp_folder : Procs().user_temp;
    // With a TEMP of its own the child gets the machine's environment, or,
    // when that cannot be had, is not started.
    if (temp_folder != nullptr && Procs().system_environment_fails) return kProcessCreateFailed;
    started.environment = temp_folder ? Procs().system_environment : Procs().user_environment;
    started.start_tick = Sim().system.tick_ms;
    bool no_handle = program->no_handle;
    // Copied first: the behaviour may change the machine, programs included.
    SimProgramBehaviour behaviour = program->behaviour;
    SimProgramRun run{started.application, started.command_line, started.current_folder, program->run_ms,
                      started.temp_folder, started.environment};
    started.exit_code = behaviour ? behaviour(run) : 0;
    started.run_ms = run.run_ms;
    Procs().started.push_back(started);
    if (no_handle) return kProcessNoHandle;
    *process = SimNewHandle();
    Procs().open[reinterpret_cast<std::uintptr_t>(*process)] = Procs().started.size() - 1;
    return kProcessStarted;
}

std::uint32_t ProcessWait(Handle process, std::uint32_t milliseconds) {
    static const int op = SimOpId("ProcessWait");
    if (SimFaultHere(op)) {
        NoteProcess(process);
        return kWaitFailed;
    }
    SimStartedProcess* started = ProcessOf(process);
    if (started == nullptr) return kWaitFailed;
    if (started->ended) return kWaitObject0;
    std::uint32_t run_ms = started->run_ms;
    std::uint32_t elapsed = Sim().system.tick_ms - started->start_tick;
    std::uint32_t remaining = elapsed >= run_ms ? 0 : run_ms - elapsed;
    if (milliseconds != kInfinite && milliseconds < remaining) {
        Sim().system.tick_ms += milliseconds;
        return kWaitTimeout;
    }
    Sim().system.tick_ms += remaining;
    started->ended = true;
    return kWaitObject0;
}

int ProcessExitCode(Handle process, std::uint32_t* code) {
    static const int op = SimOpId("ProcessExitCode");
    if (SimFaultHere(op)) {
        NoteProcess(process);
        return 0;
    }
    SimStartedProcess* started = ProcessOf(process);
    if (started == nullptr) return 0;
    SimProgram* program = ProgramAt(started->application);
    if (program != nullptr && program->exit_code_unreadable) return 0;
    if (!started->ended && Sim().system.tick_ms - started->start_tick >= started->run_ms) started->ended = true;
    *code = started->ended ? static_cast<std::uint32_t>(started->exit_code) : kStillActive;
    return 1;
}

void ProcessClose(Handle process) {
    static const int op = SimOpId("ProcessClose");
    SimCountHere(op);
    Procs().open.erase(reinterpret_cast<std::uintptr_t>(process));
}

}  // namespace plat
