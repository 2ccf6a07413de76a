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
    // The running program's own file, as Windows has it.
    SimPutFile(Sim().system.module_path, {'M', 'Z', 'c', 'o', 'n', 't', 'r', 'a', 'c', 't'});
}

int ContractIs32BitProgram() { return 1; }

int ContractIsSim() { return 1; }

int ContractPipeClientLevel(const std::function<plat::Handle(const std::string&)>&,
                            const std::function<void(plat::Handle)>&) {
    return -1;  // the sim has no pipes
}

int ContractPipeHonoursIdentification() { return 0; }

int ContractMakeRegistryLink(const std::string&, const std::string&) { return 0; }
void ContractRemoveRegistryLink(const std::string&) {}

std::string ContractBackendName() { return "sim"; }

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

void ContractPutFolder16(const std::u16string& path) { SimPutFolder(SimKeptNameOf(path)); }

void ContractPutFile16(const std::u16string& path, const std::string& bytes) {
    SimPutFile(SimKeptNameOf(path), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
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

void ContractHoldFileSharingDelete(const std::string& path) {
    if (SimFile* file = SimFindFile(path)) file->held_sharing_delete = true;
}

void ContractReleaseFile(const std::string& path) {
    if (SimFile* file = SimFindFile(path)) file->in_use = false;
    SimLetGo(path);
}

int ContractMakeFolderLink(const std::string& link, const std::string& target) {
    SimPutFolderLink(link, target);
    return 1;
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

unsigned ContractAnsiCodePage() { return static_cast<unsigned>(Sim().system.ansi_code_page); }

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

// ---- Processes, modules and shell links ----

namespace {

constexpr char kSimTestFolder[] = "C:\\Contract Tools";

// The simulated test program, keeping the contract of tests/contract/child_exit.cpp.
std::int32_t ChildBehaviour(SimProgramRun& run) {
    std::int32_t code = 0;
    std::size_t at = 0;
    const std::string& line = run.command_line;
    while (at < line.size()) {
        std::size_t end = line.find(' ', at);
        if (end == std::string::npos) end = line.size();
        std::string word = line.substr(at, end - at);
        at = end + 1;
        if (word == "--env") {
            auto path = run.environment.find("PATH");
            bool planted = path != run.environment.end() && path->second.find("mixo-planted") != std::string::npos;
            std::string report = "TEMP=" + run.temp_folder + "\r\nTMP=" + run.temp_folder + "\r\nSystemRoot " +
                                 (run.environment.count("SystemRoot") ? "kept" : "lost") + "\r\nMIXO_OWN " +
                                 (run.environment.count("MIXO_OWN") ? "kept" : "lost") + "\r\nPATH " +
                                 (planted ? "planted" : "clean") + "\r\n";
            SimPutFile(run.current_folder + "\\child_env.txt", std::vector<std::uint8_t>(report.begin(), report.end()));
        } else if (word == "--report") {
            std::string report = run.command_line + "\r\n" + run.current_folder + "\r\n";
            SimPutFile(run.current_folder + "\\child_report.txt",
                       std::vector<std::uint8_t>(report.begin(), report.end()));
        } else if (word.rfind("--sleep=", 0) == 0) {
            run.run_ms = static_cast<std::uint32_t>(std::stoul(word.substr(8)));
        } else if (word.rfind("--exit=", 0) == 0) {
            code = static_cast<std::int32_t>(std::stol(word.substr(7)));
        }
    }
    return code;
}

}  // namespace

int ContractComSecurityIsSet() { return Sim().system.com_secured ? 1 : 0; }


int ContractFolderAccess(const std::string& folder, std::string* sddl) {
    const SimFile* entry = SimFindFile(folder);
    if (entry == nullptr) return 0;
    // The sim knows only whether a folder is the administrators' alone.
    *sddl = entry->admin_only ? "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)" : "D:(A;OICI;FA;;;WD)";
    return 1;
}

std::string ContractChildProgram() {
    std::string path = std::string(kSimTestFolder) + "\\child_exit.exe";
    if (!Sim().processes.programs.count(SimPathKey(path))) SimPutProgram(path, ChildBehaviour);
    return path;
}

std::string ContractTestDll() {
    std::string path = std::string(kSimTestFolder) + "\\contract_dll.dll";
    if (!Sim().modules.dlls.count(SimPathKey(path)))
        SimPutDll(path, {{"DllRegisterServer", [] { return std::int32_t{0}; }},
                         {"DllUnregisterServer", [] { return static_cast<std::int32_t>(0x80004005u); }},
                         {"ContractAnswer", [] { return std::int32_t{0x00C0FFEE}; }}});
    return path;
}

std::string ContractSetOwnVariable(const std::string& name, const std::string& value) {
    std::map<std::string, std::string>& own = Sim().processes.user_environment;
    auto it = own.find(name);
    std::string before = it == own.end() ? "" : it->second;
    if (value.empty())
        own.erase(name);
    else
        own[name] = value;
    return before;
}

std::string ContractCurrentFolder() {
    SimPutFolder(Sim().processes.current_folder);
    return Sim().processes.current_folder;
}

int ContractReadShellLink(const std::string& path, ContractShellLink* link) {
    const SimShellLink* saved = SimFindShellLink(path);
    if (saved == nullptr || SimFindFile(path) == nullptr) return 0;
    link->target = saved->target;
    link->description = saved->description;
    link->arguments = saved->arguments;
    link->working_folder = saved->working_folder;
    return 1;
}

// ---- Audio surroundings ----

int ContractPutAudioDevices() {
    SimAudio& audio = Sim().audio;
    SimWaveDevice wave;
    wave.name = u"Mic A";
    wave.channels = 1;
    audio.wave_in.push_back(wave);
    wave.name = u"Broken";
    wave.caps_error = 6;  // MMSYSERR_NODRIVER
    audio.wave_in.push_back(wave);
    wave.name = u"Line In (High Definition Audio Device)";
    wave.caps_error = 0;
    wave.channels = 2;
    audio.wave_in.push_back(wave);
    wave.name = u"Speakers";
    audio.wave_out.push_back(wave);
    SimEndpoint endpoint;
    endpoint.identifier = u"{0.0.1.00000000}.{6a0c5f8e-8d2b-4a4e-9f3b-1c2d3e4f5a6b}";
    endpoint.friendly_name = u"Microphone (Mixo Card)";
    endpoint.interface_name = u"Mixo Card";
    audio.capture_endpoints.push_back(endpoint);
    SimEndpoint failing = endpoint;
    failing.identifier = u"{0.0.1.00000000}.{7b1d6a9f-0000-4a4e-9f3b-1c2d3e4f5a6b}";
    failing.failure = SimEndpointFailure::kPropertyStore;
    audio.capture_endpoints.push_back(failing);
    SimEndpoint unplugged = endpoint;
    unplugged.state = 8;  // DEVICE_STATE_UNPLUGGED
    audio.capture_endpoints.push_back(unplugged);
    endpoint.identifier = u"{0.0.0.00000000}.{8c2e7b00-0000-4a4e-9f3b-1c2d3e4f5a6b}";
    endpoint.friendly_name = u"Speakers (Mixo Card)";
    audio.render_endpoints.push_back(endpoint);
    return 1;
}

// ---- Windows, the message queue, drawing ----

void ContractPrepareWindows() {
    Sim().windows.bitmaps = {{101, {4, 3}}};
    Sim().windows.icons.clear();
}

void ContractLetTimersRun(unsigned milliseconds) { SimScriptWait(milliseconds); }

// ---- Device surroundings ----

void ContractPutDevices() {
    SimDevices& devices = Sim().devices;
    devices.classes[kContractHidClass].present = true;
    SimDeviceInterface& display = devices.classes[kContractDisplayClass];
    display.present = true;
    display.openable = false;
    // HID_COLLECTION_INFORMATION of a mouse: descriptor size, not polled,
    // vendor, product, version.
    devices.answer = [](const SimDeviceRequest& request, std::vector<std::uint8_t>* answer) {
        if (request.interface_class != kContractHidClass || request.code != kContractHidCollectionInfo) return 0;
        *answer = {0x0c, 0x01, 0x00, 0x00, 0x00, 0x00, 0x5e, 0x84, 0x01, 0x00, 0x00, 0x00};
        return 1;
    };
}

namespace {
bool InFolder(const std::string& path, const std::string& folder) {
    std::string key = SimPathKey(path), folder_key = SimPathKey(folder);
    return key == folder_key || key.rfind(folder_key + "\\", 0) == 0;
}
}  // namespace

std::vector<std::string> ContractPendingDeletions(const std::string& folder) {
    std::vector<std::string> found;
    for (const std::string& path : Sim().files.pending_deletions)
        if (InFolder(path, folder)) found.push_back(path);
    return found;
}

void ContractDropPendingDeletions(const std::string& folder) {
    std::vector<std::string>& pending = Sim().files.pending_deletions;
    std::erase_if(pending, [&](const std::string& path) { return InFolder(path, folder); });
}
