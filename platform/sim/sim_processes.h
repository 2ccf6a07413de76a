// Simulated programs present with their behaviour, and the processes
// started from them.
//
// A program is a file in the simulated file system together with its
// behaviour: a function of the command line and the current folder that
// returns the exit code and may change the machine (registry, files). The
// behaviour runs when the process is created; the process then counts as
// running for `run_ms` on the simulated clock, which a wait advances.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct SimProgramRun {
    std::string application;     // the program path as passed
    std::string command_line;    // exactly as passed, no program name in front
    std::string current_folder;  // as passed, or the caller's when none was given
    std::uint32_t run_ms = 0;    // how long this run lasts: the program's run_ms, which the behaviour may change
    std::string temp_folder;     // its TEMP and TMP: as passed, or the caller's (SimProcesses::user_temp)
    // Its other variables: the machine's own when a TEMP was passed, else
    // the caller's (SimProcesses::user_environment).
    std::map<std::string, std::string> environment;
};

using SimProgramBehaviour = std::function<std::int32_t(SimProgramRun& run)>;

struct SimProgram {
    SimProgramBehaviour behaviour;  // null: the program exits with 0 and does nothing
    std::uint32_t run_ms = 0;       // how long a run lasts on the simulated clock
    // Forced failures.
    bool create_fails = false;          // CreateProcessA fails (bad image, access denied)
    bool no_handle = false;             // created, but no process handle is given back
    bool exit_code_unreadable = false;  // GetExitCodeProcess fails
};

struct SimStartedProcess {
    std::string application;
    std::string command_line;
    std::string current_folder;
    std::string temp_folder;       // its TEMP and TMP
    std::map<std::string, std::string> environment;  // its other variables
    std::uint32_t start_tick = 0;  // the simulated clock when it was created
    std::uint32_t run_ms = 0;      // how long it runs
    std::int32_t exit_code = 0;
    bool ended = false;  // a wait saw it end
};

struct SimProcesses {
    std::map<std::string, SimProgram> programs;  // by SimPathKey of the program file
    std::vector<SimStartedProcess> started;      // every process created, in order
    std::map<std::uintptr_t, std::size_t> open;  // process handles not yet closed -> index in started
    // The setup program's own current folder, inherited by a child started
    // without one.
    std::string current_folder = "C:\\Users\\user\\Downloads";
    // The TEMP and TMP of the setup program's environment: the user's.
    std::string user_temp = "C:\\Users\\user\\AppData\\Local\\Temp";
    // Its other variables: the machine's and the user's own (HKCU's
    // Environment), whose PATH comes first in a child's DLL search.
    std::map<std::string, std::string> user_environment = {
        {"PATH", "C:\\Users\\user\\bin;C:\\Windows\\system32;C:\\Windows"},
        {"SystemRoot", "C:\\Windows"},
        {"USERPROFILE", "C:\\Users\\user"}};
    // The machine's own variables, without TEMP and TMP: what
    // CreateEnvironmentBlock gives without a user token.
    std::map<std::string, std::string> system_environment = {{"PATH", "C:\\Windows\\system32;C:\\Windows"},
                                                             {"SystemRoot", "C:\\Windows"}};
    bool system_environment_fails = false;  // CreateEnvironmentBlock (or USERENV) fails
};

// Places a program: a file at `path` (stand-in bytes, unless a file is
// already there) with the behaviour. The returned record stays valid for
// the machine's life, so a test can set its forced failures.
SimProgram& SimPutProgram(const std::string& path, SimProgramBehaviour behaviour = nullptr);
// The processes created from the program, in order (matched by path, any
// letter case).
std::vector<const SimStartedProcess*> SimStartsOf(const std::string& path);
