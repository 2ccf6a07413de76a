// Stand-in for the maker's virtual audio driver setup programs
// (ZTMixolyteDAZA_Setup_x64.exe, ZTCABLE_Setup[_x64].exe, ZTMLAUX_Setup[_x64].exe).
// One source, built once per driver (MIXO_DRIVER_DAZA / _CABLE / _AUX).
//
// The setup program starts it with its raw switches and no program name in
// front: "-h -i -H -n" installs, "-h -u -H" uninstalls, the product folder
// being the current folder. It leaves what a real driver install leaves:
// the driver file in System32\drivers, the driver's service key, its entry
// under the media device class, and for the DAZA driver its eight playback
// and eight recording endpoint entries under MMDevices; the uninstall takes
// all of that away again. Exit codes follow the runner's contract: 0 done,
// 1 restart needed first, negative failed.
//
// The DAZA driver is a real device driver (daza_driver/): its setup installs
// the root-enumerated device from the INF beside it, as Windows installs
// such a device, which copies the driver, creates its service and starts the
// device; the uninstall removes the device and the service first. The cable
// and aux drivers have no device: their setups write the records alone.
#include <cstdio>
#include <string>

#include "base/text.h"
#include "standin_common.h"
#if defined(MIXO_DRIVER_DAZA)
#include "daza_device_install.h"
#endif

namespace {

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services\\";
const char kMediaClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
const char kMmDevicesKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\";

// Endpoint property value names.
const char kPropDescription[] = "{a45c254e-df1c-4efd-8020-67d146a850e0},2";
const char kPropIcon[] = "{259abffc-50a7-47ce-af08-68c9a7d73366},12";
const char kPropHardwareId[] = "{83da6326-97a6-4088-9453-a1923f573b29},3";
const char kPropDevicePath[] = "{233164c8-1b2c-4c7d-bc68-b671687a2567},1";
const char kPropInterfaceName[] = "{b3f8fa53-0004-438e-9003-51a46e139bfc},6";

struct Driver {
    const char* hardware_id;   // MatchingDeviceId of the class entry
    const char* display_name;  // service display name and class entry description
    const char* file_stem;     // driver file and INF name without generation/bitness
    const char* inf_stem;
    bool fixed_win10_x64;      // the DAZA driver exists only as the Windows 10 x64 build
};

#if defined(MIXO_DRIVER_DAZA)
const Driver kDriver = {"ZTMixolyteDAZA", "ZT-Audio Mixolyte DAZA", "ztmixolytevaio", "ztmixolytevaio",
                        true};
#elif defined(MIXO_DRIVER_CABLE)
const Driver kDriver = {"ZTMixolyteCABLE", "ZT-Audio Virtual Cable", "ztaudio_mlvaio", "ZTmlvaio",
                        false};
#elif defined(MIXO_DRIVER_AUX)
const Driver kDriver = {"ZTMixolyteMLAUX", "ZT-Audio Virtual Cable AUX", "ztaudio_mlauxvaio",
                        "ZTmlauxvaio", false};
#else
#error "build with MIXO_DRIVER_DAZA, MIXO_DRIVER_CABLE or MIXO_DRIVER_AUX"
#endif

enum class Mode { kNone, kInstall, kUninstall };

// The switches are blank-separated words; only "-i" and "-u" decide what to
// do ("-h", "-H" and "-n" ask for a quiet run, which this program always is).
Mode ParseMode(const char* command_line, bool* hidden) {
    Mode mode = Mode::kNone;
    *hidden = false;
    const char* p = command_line ? command_line : "";
    while (*p != '\0') {
        while (*p == ' ' || *p == '\t') ++p;
        const char* word = p;
        while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
        std::string w(word, static_cast<std::size_t>(p - word));
        if (EqualsIgnoreCase(w, "-u")) mode = Mode::kUninstall;
        else if (EqualsIgnoreCase(w, "-i") && mode == Mode::kNone) mode = Mode::kInstall;
        else if (EqualsIgnoreCase(w, "-h")) *hidden = true;
    }
    return mode;
}

// "ztaudio_mlvaio64_win7.sys" and the like: the build for this Windows
// generation and this program's bitness.
std::string DriverBaseName() {
    if (kDriver.fixed_win10_x64) return std::string(kDriver.file_stem) + "64_win10";
    std::string generation = WindowsGeneration();
#if defined(_WIN64)
    if (generation == "xp") generation = "2003";  // 64-bit XP is the 2003 kernel
    return std::string(kDriver.file_stem) + "64_" + generation;
#else
    return std::string(kDriver.file_stem) + "_" + generation;
#endif
}

std::string InfName() {
    std::string base = DriverBaseName();
    return std::string(kDriver.inf_stem) + base.substr(std::string(kDriver.file_stem).size()) + ".inf";
}

// The media class entry that belongs to this driver, or the first free
// four-digit index when there is none yet.
std::string ClassEntryName() {
    std::vector<std::string> names = SubkeyNames(HKEY_LOCAL_MACHINE, kMediaClassKey);
    for (const std::string& name : names) {
        std::string id;
        if (ReadString(HKEY_LOCAL_MACHINE, std::string(kMediaClassKey) + "\\" + name, "MatchingDeviceId",
                       &id) &&
            EqualsIgnoreCase(id, kDriver.hardware_id))
            return name;
    }
    for (int index = 0; index < 10000; ++index) {
        char name[8] = {};
        FormatText(name, sizeof name, "%04d", index);
        bool taken = false;
        for (const std::string& used : names) taken = taken || EqualsIgnoreCase(used, name);
        if (!taken) return name;
    }
    return "9999";
}

#if defined(MIXO_DRIVER_DAZA)

// Endpoint keys are named by GUID; these are fixed per flow and channel so
// that a reinstall finds the same entries.
std::string EndpointKey(const char* flow, int channel) {
    char guid[48] = {};
    FormatText(guid, sizeof guid, "{7c1e2a4d-9b3f-4e58-a6d0-1d2e3f40%02x%02x}",
               flow[0] == 'R' ? 1 : 2, channel);
    return std::string(kMmDevicesKey) + flow + "\\" + guid;
}

int WriteEndpoints(const std::string& class_entry) {
    int ok = 1;
    for (const char* flow : {"Render", "Capture"}) {
        bool render = flow[0] == 'R';
        for (int channel = 1; channel <= 8; ++channel) {
            std::string key = EndpointKey(flow, channel);
            std::string props = key + "\\Properties";
            char number[8] = {};
            FormatText(number, sizeof number, "%04d", channel);
            std::string description = std::string(render ? "DAZA Playback " : "DAZA Recording ") +
                                      std::to_string(channel);
            std::string device_path = "{2}.\\\\?\\root#media#" + class_entry +
                                      "#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\" +
                                      (render ? "render" : "capture") + number;
            ok &= WriteDword(HKEY_LOCAL_MACHINE, key, "DeviceState", 1);  // DEVICE_STATE_ACTIVE
            ok &= WriteString(HKEY_LOCAL_MACHINE, props, kPropDescription, description);
            ok &= WriteString(HKEY_LOCAL_MACHINE, props, kPropInterfaceName, "Mixolyte DAZA");
            ok &= WriteString(HKEY_LOCAL_MACHINE, props, kPropHardwareId,
                              "{1}.ROOT\\MEDIA\\" + class_entry + ":" + kDriver.hardware_id);
            ok &= WriteString(HKEY_LOCAL_MACHINE, props, kPropDevicePath, device_path);
            ok &= WriteString(HKEY_LOCAL_MACHINE, props, kPropIcon,
                              render ? "%windir%\\system32\\mmres.dll,-3004"
                                     : "%windir%\\system32\\mmres.dll,-3018");
        }
    }
    return ok;
}

// Removes every endpoint entry whose hardware id names this driver.
void RemoveEndpoints() {
    for (const char* flow : {"Render", "Capture"}) {
        std::string flow_key = std::string(kMmDevicesKey) + flow;
        for (const std::string& name : SubkeyNames(HKEY_LOCAL_MACHINE, flow_key)) {
            std::string key = flow_key + "\\" + name;
            std::string id;
            if (!ReadString(HKEY_LOCAL_MACHINE, key + "\\Properties", kPropHardwareId, &id)) continue;
            std::size_t colon = id.find_last_of(':');
            if (EqualsIgnoreCase(colon == std::string::npos ? id : id.substr(colon + 1),
                                 kDriver.hardware_id))
                DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
        }
    }
}

// The device from the INF in this program's folder (the product folder),
// before anything else: a loaded driver file cannot be overwritten, so only
// the device install may put it in place. Then the endpoint entries.
int Install() {
    std::string inf = OwnFolder(nullptr) + "\\" + InfName();
    std::string driver = OwnFolder(nullptr) + "\\" + DriverBaseName() + ".sys";
    if (GetFileAttributesA(inf.c_str()) == INVALID_FILE_ATTRIBUTES ||
        GetFileAttributesA(driver.c_str()) == INVALID_FILE_ATTRIBUTES)
        return -2;  // broken package
    DazaDeviceResult installed = InstallDazaDevice(inf.c_str());
    if (installed.error != 0) {
        LogNote(OwnFileName(nullptr).c_str(), std::string("device install failed at ") + installed.failed_step +
                                                  ": error " + std::to_string(installed.error));
        return -3;
    }
    // The media class entry the device install made, found by its matching id.
    return WriteEndpoints(ClassEntryName()) ? 0 : -3;
}

// The device first (which stops the driver), then the endpoint entries. A
// device that cannot be removed is reported as a failure and the rest stays.
int Uninstall() {
    DazaDeviceResult removed = RemoveDazaDevice();
    if (removed.error != 0) {
        LogNote(OwnFileName(nullptr).c_str(), std::string("device removal failed at ") + removed.failed_step +
                                                  ": error " + std::to_string(removed.error));
        return -3;
    }
    RemoveEndpoints();
    return 0;
}

#else

std::string ServiceKey() { return std::string(kServicesKey) + kDriver.hardware_id + "MME"; }

std::string DriversFolder() {
    char system[MAX_PATH] = {};
    UINT n = GetSystemDirectoryA(system, sizeof system);
    if (n == 0 || n >= sizeof system) CopyText(system, sizeof system, "C:\\Windows\\System32");
    return std::string(system) + "\\drivers";
}

int Install() {
    std::string driver_file = DriverBaseName() + ".sys";
    std::string source = OwnFolder(nullptr) + "\\" + driver_file;
    if (GetFileAttributesA(source.c_str()) == INVALID_FILE_ATTRIBUTES) return -2;  // broken package
    std::string target = DriversFolder() + "\\" + driver_file;
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) return -3;  // no administrator rights

    std::string service = ServiceKey();
    int ok = 1;
    ok &= WriteDword(HKEY_LOCAL_MACHINE, service, "Type", 1);          // kernel driver
    ok &= WriteDword(HKEY_LOCAL_MACHINE, service, "Start", 3);         // on demand, by its device
    ok &= WriteDword(HKEY_LOCAL_MACHINE, service, "ErrorControl", 1);
    ok &= WriteString(HKEY_LOCAL_MACHINE, service, "ImagePath",
                      "\\SystemRoot\\System32\\drivers\\" + driver_file, REG_EXPAND_SZ);
    ok &= WriteString(HKEY_LOCAL_MACHINE, service, "DisplayName", kDriver.display_name);

    std::string entry = std::string(kMediaClassKey) + "\\" + ClassEntryName();
    ok &= WriteString(HKEY_LOCAL_MACHINE, entry, "MatchingDeviceId", kDriver.hardware_id);
    ok &= WriteString(HKEY_LOCAL_MACHINE, entry, "Driver", driver_file);
    ok &= WriteString(HKEY_LOCAL_MACHINE, entry, "DriverDesc", kDriver.display_name);
    ok &= WriteString(HKEY_LOCAL_MACHINE, entry, "ProviderName", "ZT-Audio Software");
    ok &= WriteString(HKEY_LOCAL_MACHINE, entry, "DriverVersion", "2.1.2.2");
    ok &= WriteString(HKEY_LOCAL_MACHINE, entry, "InfPath", InfName());
    return ok ? 0 : -3;
}

int Uninstall() {
    std::string service = ServiceKey();
    std::string image;
    if (ReadString(HKEY_LOCAL_MACHINE, service, "ImagePath", &image)) {
        std::size_t cut = image.find_last_of('\\');
        std::string file = cut == std::string::npos ? image : image.substr(cut + 1);
        if (!file.empty()) DeleteFileA((DriversFolder() + "\\" + file).c_str());
    }
    int ok = DeleteKeyTree(HKEY_LOCAL_MACHINE, service);
    for (const std::string& name : SubkeyNames(HKEY_LOCAL_MACHINE, kMediaClassKey)) {
        std::string entry = std::string(kMediaClassKey) + "\\" + name;
        std::string id;
        if (ReadString(HKEY_LOCAL_MACHINE, entry, "MatchingDeviceId", &id) &&
            EqualsIgnoreCase(id, kDriver.hardware_id))
            ok &= DeleteKeyTree(HKEY_LOCAL_MACHINE, entry);
    }
    return ok ? 0 : -3;
}

#endif

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The raw command line, exactly as the caller passed it.
    const char* command_line = GetCommandLineA();
    std::string exe = OwnFileName(nullptr);
    LogRun(exe.c_str(), command_line);
    LogTemp(exe.c_str());

    bool hidden = false;
    Mode mode = ParseMode(command_line, &hidden);

    int forced = 0;
    bool has_forced = ForcedExitCode(nullptr, &forced) != 0;
    // A forced failure (negative) or restart request (1) happens before any work.
    if (has_forced && (forced < 0 || forced == 1)) return forced;

    int result = 0;
    if (mode == Mode::kInstall) {
        result = Install();
    } else if (mode == Mode::kUninstall) {
        result = Uninstall();
    } else {
        if (!hidden)
            MessageBoxA(nullptr, "Use -i to install the driver or -u to remove it.", exe.c_str(),
                        MB_ICONINFORMATION);
        result = 2;
    }
    return has_forced ? forced : result;
}
