// Simulated machines for the install procedure's tests: a Windows of a given
// generation and width, the setup context as the window leaves it before
// the worker starts, a package made from small entries, and stand-ins for
// the programs and DLLs of the package that record what they were asked.
#pragma once
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/context.h"
#include "base/hardening.h"
#include "base/text.h"
#include "base/worker_report.h"
#include "package/package_format.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/sim/sim.h"
#include "platform/system.h"
#include "steps/registry_records.h"
#include "tests/support/program_state.h"

namespace install_test {

inline const plat::Handle kHklm = plat::kHkeyLocalMachine;
inline const plat::Handle kHkcu = plat::kHkeyCurrentUser;
inline const char kWowUninstallEntry[] =
    "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZT:Mixolyte {17359A74-1236-5467}";

// The uninstall entry key as the registry keeps it on this machine: a
// 32-bit program's HKLM\SOFTWARE lands in the 32-bit view.
inline std::string UninstallEntry() { return Sim().system.is_64bit ? kWowUninstallEntry : kUninstallEntryKey; }

inline const char kCommonPrograms[] = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
inline const char kShortcutFolder[] = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ZT Audio\\MixoLyte";
inline const char kSetupProgram[] = "C:\\Users\\user\\Downloads\\MixolyteSetup.exe";

// The Program Files folder the 32-bit setup program sees.
inline std::string ProgramFiles(bool is_64bit) {
    return is_64bit ? "C:\\Program Files (x86)" : "C:\\Program Files";
}
inline std::string ProductFolder(bool is_64bit) { return ProgramFiles(is_64bit) + "\\ZT\\Mixolyte"; }

inline std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// What the stand-ins saw, in order: "name|command line|current folder" for
// programs, "dll|export" for DLL entry points.
struct Recorder {
    std::vector<std::string> events;
    std::map<std::string, std::int32_t> exit_codes;  // by program file name; 0 when absent
    std::map<std::string, std::string> step_at;       // the context's step_text when each ran
};

inline Recorder& Record() {
    static Recorder recorder;
    return recorder;
}

inline std::string FileName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

// A fresh machine: Windows of the generation, 32- or 64-bit, its folders,
// the setup program in the downloads folder, and the global setup context
// as the window leaves it (main window, WOW64 flag, version code, program
// path); COM initialised as on the worker thread.
inline SetupContext* NewMachine(bool is_64bit, int os_version_code) {
    SimReset();
    ResetProgramState();
    Record() = Recorder{};
    Sim().system.is_64bit = is_64bit;
    Sim().shell.folders[0x26] = ProgramFiles(is_64bit);
    SimPutFolder(ProgramFiles(is_64bit));
    SimPutFolder("C:\\Windows\\inf");
    SimPutFolder("C:\\Windows\\Temp");
    SimPutFolder(kCommonPrograms);
    SimPutFile(kSetupProgram, Bytes("MZ the setup program"));
    SimPutFolder(Sim().processes.current_folder);

    SetupContext* context = &setup_context;
    context->main_window = SimAddForeignWindow("ZTMixolyte0Installer0MainWindow0", u"Mixolyte Installation");
    context->instance = reinterpret_cast<plat::Handle>(0x400000);
    context->is_wow64 = is_64bit ? 1 : 0;
    context->os_version_code = os_version_code;
    CopyText(context->program_path, sizeof context->program_path, kSetupProgram);
    CopyText(context->program_folder, sizeof context->program_folder, "C:\\Users\\user\\Downloads");
    CopyText(common_programs_folder, sizeof common_programs_folder, kCommonPrograms);
    plat::ComInitialize();
    return context;
}

// The setup program's own file held as the program holds it at its start
// (the downloads copy, which the loader mapped): the install copies the
// uninstaller only from that hold.
inline void HoldRunningProgram() {
    Sim().system.module_path = kSetupProgram;
    held_image = plat::FileHoldOwnImage(setup_context.instance);
}

// The WM_COMMAND codes posted to the main window with CMD_WORKER_REPORT,
// in order (any other message shows as -1).
inline std::vector<std::intptr_t> Reports(const SetupContext* context) {
    std::vector<std::intptr_t> codes;
    const SimWindow* window = SimFindWindow(context->main_window);
    if (window == nullptr) return codes;
    for (const plat::Message& message : window->received)
        codes.push_back(message.message == 0x0111 && message.wparam == 180 ? message.lparam : -1);
    return codes;
}

// Plain entry bytes of a package from small entries: each holds its name.
inline std::vector<std::vector<std::uint8_t>> PackageEntries() {
    std::vector<std::vector<std::uint8_t>> plain;
    for (int i = 0; i < kPackageEntryCount; ++i)
        plain.push_back(Bytes(std::string("contents of ") + kPackageEntryNames[i] + "\r\n"));
    return plain;
}

// Puts the package into the program's RCDATA 100.
inline void PutPackage(const std::vector<std::vector<std::uint8_t>>& plain) {
    std::vector<std::uint8_t> package;
    std::string problem = BuildPackage(plain, 0x4D495850u, &package);
    if (!problem.empty()) throw std::runtime_error(problem);
    Sim().resources.rcdata[100] = package;
}

// A program's behaviour that records its run and gives the exit code the
// test chose for it.
inline SimProgramBehaviour RecordingProgram(const SetupContext* context) {
    return [context](SimProgramRun& run) {
        std::string name = FileName(run.application);
        Record().events.push_back(name + "|" + run.command_line + "|" + run.current_folder);
        Record().step_at[name] = context->step_text;
        auto code = Record().exit_codes.find(name);
        return code == Record().exit_codes.end() ? std::int32_t{0} : code->second;
    };
}

// The HKLM\SOFTWARE path a DLL's ASIO entry lands in, as the registry keeps
// it physically: a 32-bit DLL's in the 32-bit view.
inline std::string AsioEntryKey(const std::string& dll, bool dll_is_64bit) {
    bool redirected = Sim().system.is_64bit && !dll_is_64bit;
    return std::string(redirected ? "SOFTWARE\\WOW6432Node\\ASIO\\" : "SOFTWARE\\ASIO\\") + dll;
}

// A 32-bit ASIO DLL at `path`: its registration entry points record the
// call and write or remove the driver's ASIO entry; `register_result` is
// what DllRegisterServer gives.
inline void PutAsioDll(const std::string& path, std::int32_t register_result = 0) {
    std::string name = FileName(path);
    SimDll& dll = Sim().modules.dlls[SimPathKey(path)];
    dll.exports["DllRegisterServer"] = [name, register_result] {
        Record().events.push_back(name + "|DllRegisterServer");
        if (register_result == 0)
            SimRegPutText(plat::kHkeyLocalMachine, AsioEntryKey(name, false), "Description", name);
        return register_result;
    };
    dll.exports["DllUnregisterServer"] = [name] {
        Record().events.push_back(name + "|DllUnregisterServer");
        return std::int32_t{0};
    };
}

// "ztregsvr64.exe" at `path`: takes the DLL named after "-f" to the end of
// the line and registers it (or unregisters with "-u").
inline void PutRegistrationProgram(const std::string& path, const SetupContext* context) {
    Sim().processes.programs[SimPathKey(path)].behaviour = [context](SimProgramRun& run) {
        RecordingProgram(context)(run);
        std::size_t f = run.command_line.find("-f");
        if (f != std::string::npos && run.command_line.find("-u") == std::string::npos)
            SimRegPutText(plat::kHkeyLocalMachine, AsioEntryKey(FileName(run.command_line.substr(f + 2)), true),
                          "Description", run.command_line.substr(f + 2));
        return std::int32_t{0};
    };
}

// What the stand-ins record when the ASIO drivers of FOLDER are registered
// (or unregistered): the three 32-bit DLLs in turn, then on 64-bit Windows
// the registration program once for each 64-bit DLL, started in FOLDER.
inline std::vector<std::string> AsioDriverEvents(const std::string& folder, bool registering, bool is_64bit) {
    std::vector<std::string> events;
    for (const char* dll : {"ztml_asiodriver.dll", "ztmlaux_asiodriver.dll", "ztmlins_asiodriver.dll"})
        events.push_back(std::string(dll) + (registering ? "|DllRegisterServer" : "|DllUnregisterServer"));
    if (!is_64bit) return events;
    for (const char* dll : {"ztml_asiodriver64.dll", "ztmlaux_asiodriver64.dll", "ztmlins_asiodriver64.dll"})
        events.push_back("ztregsvr64.exe|" + std::string(registering ? " -f" : " -u  -f") + folder + "\\" + dll +
                         "|" + folder);
    return events;
}

// Stand-ins for everything the install starts or loads from the product
// folder, registered by path so that the extraction places their files.
inline void PutStandIns(const SetupContext* context, bool is_64bit) {
    std::string folder = ProductFolder(is_64bit);
    for (const char* program : {"ZTMixolyteDAZA_Setup_x64.exe", "ZTCABLE_Setup.exe", "ZTCABLE_Setup_x64.exe",
                                "ZTMLAUX_Setup.exe", "ZTMLAUX_Setup_x64.exe"})
        Sim().processes.programs[SimPathKey(folder + "\\" + program)].behaviour = RecordingProgram(context);
    PutRegistrationProgram(folder + "\\ztregsvr64.exe", context);
    for (const char* dll : {"ztml_asiodriver.dll", "ztmlaux_asiodriver.dll", "ztmlins_asiodriver.dll"})
        PutAsioDll(folder + "\\" + dll);
}

}  // namespace install_test
