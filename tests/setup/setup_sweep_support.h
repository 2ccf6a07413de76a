// What the fault and crash sweeps share: one 64-bit Windows 10 machine with
// stand-ins that play the DAZA driver setup (the device appears with its
// service and endpoints, and goes again), the ASIO DLLs and the 64-bit
// registration program; whole program runs ("-h -i", "-h -u") as Windows
// starts them; and fingerprints of the machine, split into the product's
// places and everything else.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/context.h"
#include "base/names.h"
#include "devices/inventory.h"
#include "devices/inventory_state.h"
#include "install/install.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/sim/sim.h"
#include "removal/removal.h"
#include "setup/main_window.h"
#include "setup/probe.h"
#include "setup/setup_main.h"
#include "steps/registry_records.h"
#include "tests/support/test_machine.h"
#include "tests/support/program_state.h"
#include "uninstall/uninstall.h"

namespace sweep {

using namespace install_test;

inline const char kUserPrograms[] = "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";

// The users the sweeps' machines are built for: one whose folders are
// plain ASCII (kUserPrograms), one whose profile's name the ANSI code page
// (1252) cannot write, and one with Japanese and Cyrillic letters on a
// machine whose ANSI code page is UTF-8. Each has the product's per-user
// shortcuts and its Startup shortcut, as an earlier version left them.
struct SweepUser {
    const char* name;
    int code_page;
    std::u16string profile;
};
inline const SweepUser kSweepUsers[] = {
    {"plain user", 1252, u"C:\\Users\\user"},
    {"Cyrillic user, code page 1252", 1252, u"C:\\Users\\\u0418\u0432\u0430\u043D"},
    {"Japanese and Cyrillic user, code page UTF-8", 65001, u"C:\\Users\\\u5C71\u7530 \u0418\u0432\u0430\u043D"},
};
inline constexpr int kSweepUserCount = sizeof kSweepUsers / sizeof kSweepUsers[0];
inline int sweep_user = 0;  // whose machine the sweeps build and run

// The user's Programs and Startup folders as the sim keeps them (the
// machine's code page must be set).
inline std::string UserPrograms() {
    return SimKeptNameOf(kSweepUsers[sweep_user].profile + u"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
}
inline std::string UserStartupLink() { return UserPrograms() + "\\Startup\\Mixolyte (ZT-Audio).LNK"; }

// The shortcuts an earlier version left in the user's own folders.
inline void PutUserShortcuts() {
    for (const ShortcutRow& row : kShortcutRows)
        SimPutFile(UserPrograms() + "\\ZT Audio\\MixoLyte\\" + row.title + kLinkExtension, Bytes("link"));
    SimPutFile(UserStartupLink(), Bytes("link"));
}
inline const char kDazaService[] = "SYSTEM\\CurrentControlSet\\Services\\ZTMixolyteDAZAMME";
inline const char kMmDevices[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";

inline std::string EndpointKey(const char* flow, int channel) {
    return std::string(kMmDevices) + "\\" + flow + "\\{0.0.0.00000000}.{ep" + std::to_string(channel) + "}";
}

// The key id at a physical path, 0 when absent.
inline std::uint64_t KeyId(plat::Handle hive, const std::string& path) {
    std::uint64_t id = hive == plat::kHkeyLocalMachine ? kSimHklmId : kSimHkcuId;
    std::string rest = path;
    while (!rest.empty()) {
        std::size_t cut = rest.find('\\');
        std::string part = rest.substr(0, cut);
        rest = cut == std::string::npos ? "" : rest.substr(cut + 1);
        std::uint64_t next = 0;
        for (const auto& [folded, child] : Sim().registry.keys[id].subkeys)
            if (SimPathKey("C:\\" + SimUtf16ToAnsi(Sim().registry.keys[child].name)) == SimPathKey("C:\\" + part))
                next = child;
        if (next == 0) return 0;
        id = next;
    }
    return id;
}

// Removes a key with everything below it, as a 64-bit program would
// (physical path, no view).
inline void EraseKey(std::uint64_t id) {
    SimRegistry& registry = Sim().registry;
    std::vector<std::uint64_t> children;
    for (const auto& [folded, child] : registry.keys[id].subkeys) children.push_back(child);
    for (std::uint64_t child : children) EraseKey(child);
    SimRegKey& parent = registry.keys[registry.keys[id].parent];
    for (auto it = parent.subkeys.begin(); it != parent.subkeys.end(); ++it)
        if (it->second == id) {
            parent.subkeys.erase(it);
            break;
        }
    registry.keys.erase(id);
}

inline void EraseKey(plat::Handle hive, const std::string& path) {
    if (std::uint64_t id = KeyId(hive, path)) EraseKey(id);
}

// The DAZA driver setup: "-i" brings the device with all pins up, its
// service and its 16 endpoints; "-u" takes them away again.
inline std::int32_t DazaSetup(SimProgramRun& run) {
    if (run.command_line.find("-i") != std::string::npos) {
        SimAddDazaDevice(SimDazaAllChannels({SimPinStep{0, 6000, 6000, false}}));
        SimRegPutText(plat::kHkeyLocalMachine, kDazaService, "ImagePath", "\\SystemRoot\\System32\\drivers\\ztdaza.sys");
        for (const char* flow : {"Render", "Capture"})
            for (int channel = 1; channel <= 8; ++channel) {
                std::string path = EndpointKey(flow, channel) + "\\Properties";
                SimRegPutText(plat::kHkeyLocalMachine, path, "{83da6326-97a6-4088-9453-a1923f573b29},3",
                              "{1}.ROOT\\MEDIA\\0000:ZTMixolyteDAZA");
                SimRegPutText(plat::kHkeyLocalMachine, path, "{233164c8-1b2c-4c7d-bc68-b671687a2567},1",
                              "{2}.ROOT\\MEDIA\\000" + std::to_string(channel));
            }
    } else {
        Sim().devices.classes.erase(kSimDazaClass);
        Sim().devices.answer = nullptr;
        EraseKey(plat::kHkeyLocalMachine, kDazaService);
        for (const char* flow : {"Render", "Capture"})
            for (int channel = 1; channel <= 8; ++channel) EraseKey(plat::kHkeyLocalMachine, EndpointKey(flow, channel));
    }
    return 0;
}

// A 32-bit ASIO DLL: registering writes its ASIO entry, unregistering
// removes it.
inline void PutAsio32(const std::string& path) {
    std::string name = FileName(path);
    SimDll& dll = Sim().modules.dlls[SimPathKey(path)];
    dll.exports["DllRegisterServer"] = [name] {
        SimRegPutText(plat::kHkeyLocalMachine, AsioEntryKey(name, false), "Description", name);
        return std::int32_t{0};
    };
    dll.exports["DllUnregisterServer"] = [name] {
        EraseKey(plat::kHkeyLocalMachine, AsioEntryKey(name, false));
        return std::int32_t{0};
    };
}

// "ztregsvr64.exe": registers the 64-bit DLL named after "-f", or
// unregisters it with "-u".
inline std::int32_t Registrar64(SimProgramRun& run) {
    std::size_t f = run.command_line.find("-f");
    if (f == std::string::npos) return 1;
    std::string entry = AsioEntryKey(FileName(run.command_line.substr(f + 2)), true);
    if (run.command_line.find("-u") == std::string::npos)
        SimRegPutText(plat::kHkeyLocalMachine, entry, "Description", run.command_line.substr(f + 2));
    else
        EraseKey(plat::kHkeyLocalMachine, entry);
    return 0;
}

// The machine before any install: 64-bit Windows 10, the setup program in
// the downloads folder with the package as its RCDATA 100, the stand-ins
// behind the product folder's programs and DLLs, the user's Programs folder
// in Shell Folders, and some of the user's own files and keys.
inline void BuildBaseMachine() {
    SimReset();
    Sim().system.is_64bit = true;
    Sim().system.ansi_code_page = kSweepUsers[sweep_user].code_page;
    Sim().shell.folders[0x26] = ProgramFiles(true);
    SimPutFolder(ProgramFiles(true));
    SimPutFolder("C:\\Windows\\inf");
    SimPutFolder("C:\\Windows\\Temp");
    SimPutFile("C:\\Windows\\inf\\machine.inf", Bytes("the machine's own"));
    SimPutFile("C:\\Windows\\System32\\kernel32.dll", Bytes("MZ system"));
    SimPutFolder(kCommonPrograms);
    SimPutFolder(UserPrograms() + "\\Startup");
    SimPutFile(UserPrograms() + "\\Other Tool.LNK", Bytes("link"));
    Sim().shell.folders[plat::kCsidlStartup] = UserPrograms() + "\\Startup";
    SimPutFile(kSetupProgram, Bytes("MZ the setup program"));
    SimPutFolder(Sim().processes.current_folder);
    Sim().system.module_path = kSetupProgram;
    SimRegPutText16(plat::kHkeyCurrentUser, kShellFoldersKey, kProgramsValue, SimWideOf(UserPrograms()));
    SimRegPutKey(plat::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other");
    SimRegPutKey(plat::kHkeyLocalMachine, "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other");
    SimRegPutDword(plat::kHkeyCurrentUser, "Software\\Other", "kept", 7);
    SimRegPutKey(plat::kHkeyLocalMachine, kMmDevices);
    SimRegPutKey(plat::kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Other");
    PutPackage(PackageEntries());
    const std::string folder = ProductFolder(true);
    for (const char* program : {"ZTCABLE_Setup_x64.exe", "ZTMLAUX_Setup_x64.exe"}) SimPutProgram(folder + "\\" + program);
    Sim().processes.programs[SimPathKey(folder + "\\ZTMixolyteDAZA_Setup_x64.exe")].behaviour = DazaSetup;
    Sim().processes.programs[SimPathKey(folder + "\\ztregsvr64.exe")].behaviour = Registrar64;
    for (const char* dll : {"ztml_asiodriver.dll", "ztmlaux_asiodriver.dll", "ztmlins_asiodriver.dll"})
        PutAsio32(folder + "\\" + dll);
    // Placing programs made their files and folders; the package makes them.
    std::vector<std::string> placed;
    for (const SimFile* file : SimListTree(ProgramFiles(true))) placed.push_back(SimPathKey(file->path));
    for (const std::string& key : placed) Sim().files.entries.erase(key);
}

// The end of a killed process: its heap and module state go with it.
inline void EndProcessState() {
    InventoryEnd();
    KeepLookupWalks(false);
}

struct RunResult {
    int exit_code = 0;
    bool killed = false;
    bool cut = false;      // killed halfway through a write
    bool runaway = false;  // far more calls than any sound run makes
    bool hung = false;     // waited for something that would never come
};

// The machine restarts, and the user starts the downloaded setup program
// again (not the uninstaller copy in the product folder).
inline void RestartFromDownloads() {
    SimRestart();
    Sim().system.module_path = kSetupProgram;
}

// The installed machine as Programs and Features starts the uninstaller:
// the copy in the product folder runs, so its file is in use.
inline void RunFromProductFolder() {
    const std::string uninstaller = ProductFolder(true) + "\\MixolyteSetup.exe";
    Sim().system.module_path = uninstaller;
    Sim().system.image_moved_from.clear();  // a new process, its own image
    if (SimFile* file = SimFindFile(uninstaller)) file->in_use = true;
}

// What the uninstall keeps of the product on purpose, by place: the
// per-user settings key (its tray values reset to 0, the install's values
// as written), the loop-back flags under HKLM\SOFTWARE\ZT-Audio and the
// ZT-QuadWire service key, and the ASIO keys that hold every maker's
// drivers (left empty). Beside them, what is not the program's: the
// endpoint keys' parents the DAZA driver's setup program leaves, and the
// 32-bit registry view's root.
inline bool KeptOnPurpose(const std::string& place) {
    auto at_or_below = [&](const std::string& prefix) {
        return place.compare(0, prefix.size(), prefix) == 0 &&
               (place.size() == prefix.size() || place[prefix.size()] == '\\');
    };
    return at_or_below("R HKCU\\ZT-AUDIO") || at_or_below("R HKLM\\SOFTWARE\\ZT-AUDIO") ||
           at_or_below("R HKLM\\SOFTWARE\\WOW6432NODE\\ZT-AUDIO") ||
           at_or_below("R HKLM\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\ZT-QUADWIRE") ||
           place == "R HKLM\\SOFTWARE\\ASIO" || place == "R HKLM\\SOFTWARE\\WOW6432NODE\\ASIO" ||
           at_or_below("R HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\MMDEVICES") ||
           place == "R HKLM\\SOFTWARE\\WOW6432NODE";
}

// One start of the setup program with the switches, as Windows starts it:
// fresh program globals.
inline RunResult RunProgram(const char* switches) {
    ResetProgramState();
    RunResult result;
    try {
        result.exit_code = SetupMain(reinterpret_cast<plat::Handle>(0x400000), switches);
    } catch (const SimKilled& killed) {
        if (killed.ended) result.exit_code = static_cast<int>(killed.exit_code);  // it ended itself
        result.killed = !killed.ended;
        result.runaway = killed.runaway;
        result.cut = killed.cut;
        EndProcessState();
        return result;
    }
    result.hung = Sim().windows.hung;
    return result;
}

// The places of the machine: files by key, registry keys by physical path
// ("R HKLM\\SOFTWARE\\..."), names in upper case.
inline std::string UpperName(const std::u16string& name) {
    std::string upper = SimUtf16ToAnsi(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

// Calls file(place, file) for every file and folder, and key(place, key) for
// every registry key, parents before children.
template <class OnKey>
void VisitKeys(std::uint64_t id, const std::string& place, OnKey& on_key) {
    const SimRegKey& key = Sim().registry.keys.at(id);
    on_key(place, key);
    for (const auto& [folded, child] : key.subkeys)
        VisitKeys(child, place + "\\" + UpperName(Sim().registry.keys.at(child).name), on_key);
}

template <class OnFile, class OnKey>
void VisitPlaces(OnFile on_file, OnKey on_key) {
    // The children's TEMP folders (steps/child_temp.h) are made and removed
    // around each child; one that a crash or a failed removal leaves (the
    // latter goes at the restart) holds scratch only administrators can
    // reach, and Windows' clean-up of its Temp folder takes it. They are
    // scratch, neither the product's places nor anyone else's.
    static const std::string scratch = SimPathKey("C:\\Windows\\Temp\\ZT-Mixolyte-");
    std::string place;
    for (const auto& [key, file] : Sim().files.entries) {
        if (key.compare(0, scratch.size(), scratch) == 0) {
            auto top = Sim().files.entries.find(key.substr(0, key.find('\\', scratch.size())));
            if (top != Sim().files.entries.end() && top->second.admin_only) continue;
        }
        place.assign("F ").append(key);
        on_file(place, file);
    }
    VisitKeys(kSimHklmId, "R HKLM", on_key);
    VisitKeys(kSimHkcuId, "R HKCU", on_key);
}

// The places a driver's setup program takes away with "-u": what a failed
// start of it (or wait for it) leaves behind. By the program's file name in
// upper case.
inline std::vector<std::string> DriverPlaces(const std::string& program) {
    if (program.rfind("ZTMIXOLYTEDAZA_SETUP", 0) != 0) return {};
    return {"R HKLM\\" + UpperName(SimAnsiToUtf16(kDazaService)),
            "R HKLM\\" + UpperName(SimAnsiToUtf16(kMmDevices)) + "\\RENDER\\{0.0.0.00000000}.{EP",
            "R HKLM\\" + UpperName(SimAnsiToUtf16(kMmDevices)) + "\\CAPTURE\\{0.0.0.00000000}.{EP"};
}

// Everything on the machine as text, by place: files (folders, bytes and
// attributes) and registry keys (values by name).
using Fingerprint = std::map<std::string, std::string>;

inline Fingerprint TakeFingerprint() {
    Fingerprint print;
    auto on_file = [&](const std::string& place, const SimFile& file) {
        std::string facts = file.is_folder ? "folder" : std::string(file.bytes.begin(), file.bytes.end());
        if (file.read_only) facts += "|read-only";
        if (!file.link_target.empty()) facts += "|link " + file.link_target;
        print[place] = facts;
    };
    auto on_key = [&](const std::string& place, const SimRegKey& key) {
        // Values by name: the order they were first written in means nothing.
        std::map<std::string, std::string> by_name;
        for (const SimRegValue& value : key.values)
            by_name[UpperName(value.name)] =
                std::to_string(value.type) + "|" + std::string(value.bytes.begin(), value.bytes.end());
        std::string values;
        for (const auto& [name, facts] : by_name) values += name + "|" + facts + "\n";
        print[place] = values;
    };
    VisitPlaces(on_file, on_key);
    return print;
}

// The product's places: the product folder (with its parent "ZT"), the
// shortcut folders, the Windows "inf" folder; the product's keys, the
// uninstall entry, the ASIO keys, the endpoint keys, and the DAZA driver's
// service (written by its own setup program).
inline bool AtOrBelow(const std::string& place, const std::string& prefix) {
    return place.compare(0, prefix.size(), prefix) == 0 && (place.size() == prefix.size() || place[prefix.size()] == '\\');
}

// The per-user shortcut places: the user's "ZT Audio" and the Startup
// shortcut, for the sweep's user.
inline bool IsUserShortcutPlace(const std::string& place) {
    static std::string prefixes[kSweepUserCount][2];
    std::string* mine = prefixes[sweep_user];
    if (mine[0].empty()) {
        mine[0] = "F " + SimPathKey(UserPrograms() + "\\ZT Audio");
        mine[1] = "F " + SimPathKey(UserStartupLink());
    }
    return AtOrBelow(place, mine[0]) || place == mine[1];
}

inline bool IsProductPlace(const std::string& place) {
    if (IsUserShortcutPlace(place)) return true;
    static const std::vector<std::string> prefixes = {
        "F " + SimPathKey(ProgramFiles(true) + "\\ZT"),
        "F " + SimPathKey(std::string(kCommonPrograms) + "\\ZT Audio"),
        "F " + SimPathKey("C:\\Windows\\inf"),
        "R HKLM\\SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\ZT:MIXOLYTE {17359A74-1236-5467}",
        "R HKCU\\ZT-AUDIO",
        "R HKLM\\SOFTWARE\\ZT-AUDIO",
        "R HKLM\\SOFTWARE\\WOW6432NODE\\ZT-AUDIO",
        "R HKLM\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\ZT-QUADWIRE",
        "R HKLM\\SOFTWARE\\ASIO",
        "R HKLM\\SOFTWARE\\WOW6432NODE\\ASIO",
        "R HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\MMDEVICES",
        "R HKLM\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\ZTMIXOLYTEDAZAMME",
    };
    for (const std::string& prefix : prefixes)
        if (place.compare(0, prefix.size(), prefix) == 0 &&
            (place.size() == prefix.size() || place[prefix.size()] == '\\'))
            return true;
    // The 32-bit view's root appears with the first redirected key.
    return place == "R HKLM\\SOFTWARE\\WOW6432NODE";
}

// 64-bit FNV-1a, then mixed: for digests, not for security.
struct Hasher {
    std::uint64_t h = 0xcbf29ce484222325ull;
    void Add(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
    }
    void Add(const std::string& text) { Add(text.data(), text.size() + 1); }
    void Add(std::uint64_t value) { Add(&value, sizeof value); }
    std::uint64_t Done() const {
        std::uint64_t z = h + 0x9e3779b97f4a7c15ull;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
};

// The machine in four numbers: over the facts a fingerprint holds, the
// product's places, the per-user shortcut places and every other place;
// then the rest. Each place hashes
// on its own and the hashes add up, so two machines with the same places
// give the same digest whatever order things were made in. Far cheaper
// than a fingerprint: the sweeps compare digests, and take fingerprints
// only to name what differs.
struct Digest {
    std::uint64_t product = 0, other = 0;
    // The per-user shortcut places, apart: an install makes none of them,
    // an uninstall removes them.
    std::uint64_t user = 0;
    // What else a later run could see: the devices, names as they were
    // spelt when made, the shell links' records.
    std::uint64_t rest = 0;
    auto operator<=>(const Digest&) const = default;
};

inline Digest TakeDigest() {
    Digest digest;
    Hasher rest;
    auto add = [&](const std::string& place, std::uint64_t facts) {
        Hasher hasher;
        hasher.Add(place);
        hasher.Add(facts);
        (IsUserShortcutPlace(place) ? digest.user : IsProductPlace(place) ? digest.product : digest.other) +=
            hasher.Done();
    };
    VisitPlaces(
        [&](const std::string& place, const SimFile& file) {
            Hasher facts;
            facts.Add(std::uint64_t{file.is_folder} | std::uint64_t{file.read_only} << 1);
            facts.Add(file.bytes.data(), file.bytes.size());
            facts.Add(file.link_target);
            add(place, facts.Done());
            rest.Add(file.path);
        },
        [&](const std::string& place, const SimRegKey& key) {
            std::uint64_t values = 0;
            rest.Add(SimUtf16ToAnsi(key.name));
            for (const SimRegValue& value : key.values) {
                rest.Add(SimUtf16ToAnsi(value.name));
                Hasher one;
                one.Add(UpperName(value.name));
                one.Add(std::uint64_t{value.type});
                one.Add(value.bytes.data(), value.bytes.size());
                values += one.Done();
            }
            add(place, values + (key.deny_write ? 1 : 0) + (key.deny_delete ? 2 : 0));
        });
    // The devices the program can see: which interfaces are there, and
    // whether the DAZA driver answers. (Its pin script is fixed for the
    // sweeps; the noise of its answers and the clock mean nothing to the
    // program.)
    for (const auto& [name, device] : Sim().devices.classes) {
        rest.Add(name);
        rest.Add(std::uint64_t{device.present} | std::uint64_t{device.openable} << 1);
    }
    rest.Add(std::uint64_t{Sim().devices.answer != nullptr});
    for (const auto& [key, link] : Sim().shell.links) {
        rest.Add(key);
        rest.Add(link.target + "|" + link.arguments + "|" + link.working_folder + "|" + link.description);
    }
    // What the next restart will delete.
    for (const std::string& path : Sim().files.pending_deletions) rest.Add("pending " + SimPathKey(path));
    digest.rest = rest.Done();
    return digest;
}

// Whether a place an uninstall left is one the failed call named
// (SimFaults::failed_subject): the file, folder or key itself, something
// below it or a folder or key above it (not empty, so not removed); for a
// file that could not be deleted (or reached), what else its folder held (the folder
// walk stops at the first file it cannot delete); a registration named
// like the DLL or in the program's arguments; what a driver's setup
// program would have taken away.
inline bool NamedByFailedCall(const std::string& place, const std::string& op, const std::string& subject) {
    if (subject.empty()) return false;
    std::size_t bar = subject.find('|');
    std::string named = subject.substr(0, bar);
    std::string arguments = bar == std::string::npos ? "" : UpperName(SimAnsiToUtf16(subject.substr(bar + 1)));
    auto below = [](const std::string& inner, const std::string& outer) {
        return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '\\';
    };
    if (place == named || below(place, named) || below(named, place)) return true;
    // The user's Programs folder cannot be read: the per-user half is
    // skipped, and the user's shortcuts stay where they are.
    static const std::string shell_folders = "R HKCU\\" + UpperName(SimAnsiToUtf16(kShellFoldersKey));
    if (IsUserShortcutPlace(place) && named == shell_folders) return true;
    std::string folder = named.substr(0, named.find_last_of('\\'));
    // The walk reaches each entry through a handle on it: a failure there
    // stops the walk like a file that cannot be deleted.
    static const std::set<std::string> kStopsTheWalk = {"FileDelete", "FolderHold", "EntryOpen", "EntryFinalPath", "EntryDelete"};
    if (kStopsTheWalk.count(op) && below(place, folder)) return true;
    std::string name = place.substr(place.find_last_of('\\') + 1);
    if (name == named.substr(named.find_last_of('\\') + 1) || arguments.find(name) != std::string::npos) return true;
    for (const std::string& owned : DriverPlaces(named.substr(named.find_last_of('\\') + 1)))
        if (place.compare(0, owned.size(), owned) == 0) return true;
    return false;
}

// The places that differ between two fingerprints, product places or not.
inline std::vector<std::string> Differences(const Fingerprint& before, const Fingerprint& after, bool product) {
    std::vector<std::string> places;
    for (const auto& [place, facts] : after) {
        if (IsProductPlace(place) != product) continue;
        auto it = before.find(place);
        if (it == before.end() || it->second != facts) places.push_back(place);
    }
    for (const auto& [place, facts] : before)
        if (IsProductPlace(place) == product && !after.count(place)) places.push_back(place);
    return places;
}

// Every package file in the product folder, byte for byte.
inline bool PackageInPlace() {
    static const std::vector<std::vector<std::uint8_t>> plain = PackageEntries();
    for (int i = 0; i < kPackageEntryCount; ++i) {
        const SimFile* file = SimFindFile(ProductFolder(true) + "\\" + kPackageEntryNames[i]);
        if (file == nullptr || file->bytes != plain[i]) return false;
    }
    return true;
}

}  // namespace sweep
