// Installing and removing the DAZA virtual device (see daza_device_install.h).
#include "daza_device_install.h"

#include <windows.h>
#include <newdev.h>
#include <setupapi.h>

#include <cstring>

#include "base/text.h"

namespace {

const char kHardwareId[] = "ZTMixolyteDAZA";
// The hardware id list as a REG_MULTI_SZ: the id, its terminator, the list's.
const char kHardwareIdList[] = "ZTMixolyteDAZA\0";
const char kServiceName[] = "ZTMixolyteDAZAMME";
// Windows keeps the matching id in lower case.
const char kMatchingDeviceId[] = "ztmixolytedaza";
const char kInfName[] = "ztmixolytevaio64_win10.inf";

constexpr int kMaxPublishedInfs = 8;

DazaDeviceResult Succeeded(int devices, bool reboot_needed) {
    return DazaDeviceResult{0, "", reboot_needed, devices};
}

DazaDeviceResult Failed(const char* step, DWORD error, int devices) {
    return DazaDeviceResult{error != 0 ? error : static_cast<unsigned long>(ERROR_GEN_FAILURE), step, false,
                            devices};
}

// All root-enumerated devices of every class, present or not.
HDEVINFO OpenRootDevices() { return SetupDiGetClassDevsA(nullptr, "ROOT", nullptr, DIGCF_ALLCLASSES); }

bool IsDazaDevice(HDEVINFO set, SP_DEVINFO_DATA* device) {
    // Room for the list and two terminators that the query never overwrites.
    char ids[1024] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, &type, reinterpret_cast<BYTE*>(ids),
                                           sizeof ids - 2, nullptr))
        return false;
    if (type != REG_MULTI_SZ && type != REG_SZ) return false;
    for (const char* id = ids; *id != '\0'; id += std::strlen(id) + 1) {
        if (lstrcmpiA(id, kHardwareId) == 0) return true;
    }
    return false;
}

int CountDazaDevices() {
    HDEVINFO set = OpenRootDevices();
    if (set == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        if (IsDazaDevice(set, &device)) ++count;
    }
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

// Whether a DAZA device is bound to the driver's service.
bool DazaDeviceHasService() {
    HDEVINFO set = OpenRootDevices();
    if (set == INVALID_HANDLE_VALUE) return false;
    bool bound = false;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; !bound && SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        char service[256] = {};
        bound = IsDazaDevice(set, &device) &&
                SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_SERVICE, nullptr, reinterpret_cast<BYTE*>(service),
                                                  sizeof service - 1, nullptr) &&
                lstrcmpiA(service, kServiceName) == 0;
    }
    SetupDiDestroyDeviceInfoList(set);
    return bound;
}

// A new device information element of the INF's class with the DAZA
// hardware id, registered as a root-enumerated device node.
DazaDeviceResult RegisterNewDevice(const char* inf_path, HDEVINFO* set_out, SP_DEVINFO_DATA* device) {
    GUID class_guid{};
    char class_name[64] = {};  // class names are at most 32 characters
    if (!SetupDiGetINFClassA(inf_path, &class_guid, class_name, sizeof class_name, nullptr))
        return Failed("SetupDiGetINFClass", GetLastError(), 0);
    HDEVINFO set = SetupDiCreateDeviceInfoList(&class_guid, nullptr);
    if (set == INVALID_HANDLE_VALUE) return Failed("SetupDiCreateDeviceInfoList", GetLastError(), 0);
    device->cbSize = sizeof *device;
    if (!SetupDiCreateDeviceInfoA(set, class_name, &class_guid, nullptr, nullptr, DICD_GENERATE_ID, device)) {
        DWORD error = GetLastError();
        SetupDiDestroyDeviceInfoList(set);
        return Failed("SetupDiCreateDeviceInfo", error, 0);
    }
    if (!SetupDiSetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(kHardwareIdList), sizeof kHardwareIdList)) {
        DWORD error = GetLastError();
        SetupDiDestroyDeviceInfoList(set);
        return Failed("SetupDiSetDeviceRegistryProperty(SPDRP_HARDWAREID)", error, 0);
    }
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, device)) {
        DWORD error = GetLastError();
        SetupDiDestroyDeviceInfoList(set);
        return Failed("SetupDiCallClassInstaller(DIF_REGISTERDEVICE)", error, 0);
    }
    *set_out = set;
    return Succeeded(1, false);
}

// The name of the published INF of a device ("oem3.inf"), from its driver key.
bool ReadPublishedInf(HDEVINFO set, SP_DEVINFO_DATA* device, char (&name)[MAX_PATH]) {
    HKEY key = SetupDiOpenDevRegKey(set, device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return false;
    DWORD type = 0;
    DWORD size = sizeof name - 1;
    LONG status = RegQueryValueExA(key, "InfPath", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return false;
    name[size < sizeof name ? size : sizeof name - 1] = '\0';
    return name[0] != '\0';
}

// The driver file named by a service's image path: a full path, one under
// "\SystemRoot\", one relative to the Windows folder, or one behind "\??\".
bool ImagePathToFile(const char* image, char (&file)[MAX_PATH]) {
    char windows[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows) return false;
    const char* rest = image;
    const char* folder = nullptr;
    if (std::strncmp(rest, "\\??\\", 4) == 0) {
        rest += 4;
    } else if (_strnicmp(rest, "\\SystemRoot\\", 12) == 0) {
        rest += 12;
        folder = windows;
    } else if (rest[0] != '\0' && rest[1] != ':' && rest[0] != '\\') {
        folder = windows;
    }
    return folder != nullptr ? JoinPath(file, sizeof file, folder, rest) == 1 : CopyText(file, sizeof file, rest) == 1;
}

// Stops the driver's service, waits up to five seconds for it to stop and
// deletes it. Returns the driver file it named, if any, in `file`.
DWORD RemoveService(char (&file)[MAX_PATH]) {
    file[0] = '\0';
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return GetLastError();
    SC_HANDLE service =
        OpenServiceA(manager, kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG | DELETE);
    if (service == nullptr) {
        DWORD error = GetLastError();
        CloseServiceHandle(manager);
        return error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : error;
    }
    alignas(QUERY_SERVICE_CONFIGA) BYTE config_bytes[8192];
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(config_bytes);
    DWORD needed = 0;
    if (QueryServiceConfigA(service, config, sizeof config_bytes, &needed) && config->lpBinaryPathName != nullptr &&
        !ImagePathToFile(config->lpBinaryPathName, file))
        file[0] = '\0';
    SERVICE_STATUS status{};
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        for (int i = 0; i < 50 && status.dwCurrentState != SERVICE_STOPPED; ++i) {
            Sleep(100);
            if (!QueryServiceStatus(service, &status)) break;
        }
    }
    DWORD error = DeleteService(service) ? 0 : GetLastError();
    if (error == ERROR_SERVICE_MARKED_FOR_DELETE) error = 0;
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return error;
}

// The precompiled form ("<name>.pnf") that setupapi keeps beside a published
// INF in the Windows "inf" folder; Wine's SetupUninstallOEMInf leaves it.
void DeletePrecompiledInf(const char* inf_name) {
    char path[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path || AppendBackslash(path, sizeof path) != 1 ||
        AppendText(path, sizeof path, "inf\\") != 1 || AppendText(path, sizeof path, inf_name) != 1)
        return;
    std::size_t size = std::strlen(path);
    if (size < 4 || lstrcmpiA(path + size - 4, ".inf") != 0) return;
    path[size - 3] = 'p';  // ".inf" -> ".pnf"
    DeleteFileA(path);
}

// Writes a value into an open key unless it is there already.
void WriteStringIfMissing(HKEY key, const char* name, const char* text) {
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) return;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

// What Windows keeps about an installed driver and Wine's setupapi leaves
// out: the matching hardware id and the description in the device's driver
// key (the media class entry), each only when missing; and the service's
// image path in the "\SystemRoot\..." form where it is a full path into the
// Windows folder.
void CompleteDriverRecords() {
    HDEVINFO set = OpenRootDevices();
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
            if (!IsDazaDevice(set, &device)) continue;
            HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ | KEY_SET_VALUE);
            if (key == INVALID_HANDLE_VALUE) continue;
            WriteStringIfMissing(key, "MatchingDeviceId", kMatchingDeviceId);
            char description[256] = {};
            if (SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_DEVICEDESC, nullptr,
                                                  reinterpret_cast<BYTE*>(description), sizeof description - 1,
                                                  nullptr))
                WriteStringIfMissing(key, "DriverDesc", description);
            RegCloseKey(key);
        }
        SetupDiDestroyDeviceInfoList(set);
    }

    // The drivers folder as a full path, which is what Wine writes.
    char drivers[MAX_PATH] = {};
    UINT length = GetSystemDirectoryA(drivers, sizeof drivers);
    if (length == 0 || length >= sizeof drivers || AppendText(drivers, sizeof drivers, "\\drivers\\") != 1) return;
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return;
    SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG);
    char image[MAX_PATH] = {};
    if (service != nullptr) {
        alignas(QUERY_SERVICE_CONFIGA) BYTE config_bytes[8192];
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(config_bytes);
        DWORD needed = 0;
        std::size_t prefix = std::strlen(drivers);
        const char* path = QueryServiceConfigA(service, config, sizeof config_bytes, &needed) ? config->lpBinaryPathName
                                                                                             : nullptr;
        if (path != nullptr && _strnicmp(path, drivers, prefix) == 0 && std::strchr(path + prefix, '\\') == nullptr &&
            JoinPath(image, sizeof image, "\\SystemRoot\\System32\\drivers", path + prefix) == 1 &&
            !ChangeServiceConfigA(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, image, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr))
            image[0] = '\0';
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    // Windows keeps it as an expandable text.
    if (image[0] == '\0') return;
    char service_key[MAX_PATH] = {};
    HKEY key = nullptr;
    if (JoinPath(service_key, sizeof service_key, "SYSTEM\\CurrentControlSet\\Services", kServiceName) == 1 &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, service_key, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegSetValueExA(key, "ImagePath", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(image),
                       static_cast<DWORD>(std::strlen(image) + 1));
        RegCloseKey(key);
    }
}

}  // namespace

DazaDeviceResult InstallDazaDevice(const char* inf_path) {
    char full_path[MAX_PATH] = {};
    DWORD length = GetFullPathNameA(inf_path, sizeof full_path, full_path, nullptr);
    if (length == 0 || length >= sizeof full_path) return Failed("GetFullPathName", GetLastError(), 0);
    if (GetFileAttributesA(full_path) == INVALID_FILE_ATTRIBUTES) return Failed("INF file", GetLastError(), 0);

    HDEVINFO set = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    bool created = false;
    if (CountDazaDevices() == 0) {
        DazaDeviceResult registered = RegisterNewDevice(full_path, &set, &device);
        if (registered.error != 0) return registered;
        created = true;
    }

    BOOL reboot = FALSE;
    const char* failed_step = nullptr;
    DWORD error = 0;
    if (!UpdateDriverForPlugAndPlayDevicesA(nullptr, kHardwareId, full_path, INSTALLFLAG_FORCE, &reboot)) {
        failed_step = "UpdateDriverForPlugAndPlayDevices";
        error = GetLastError();
    } else if (!DazaDeviceHasService()) {
        // Wine reports success also when no model of the INF matched.
        failed_step = "UpdateDriverForPlugAndPlayDevices (no driver for ZTMixolyteDAZA in the INF)";
        error = ERROR_NO_DRIVER_SELECTED;
    }
    if (failed_step != nullptr) {
        if (created) SetupDiCallClassInstaller(DIF_REMOVE, set, &device);
        if (created) SetupDiDestroyDeviceInfoList(set);
        return Failed(failed_step, error, 0);
    }
    if (created) SetupDiDestroyDeviceInfoList(set);
    CompleteDriverRecords();
    return Succeeded(1, reboot != FALSE);
}

DazaDeviceResult RemoveDazaDevice() {
    HDEVINFO set = OpenRootDevices();
    if (set == INVALID_HANDLE_VALUE) return Failed("SetupDiGetClassDevs", GetLastError(), 0);

    char published[kMaxPublishedInfs][MAX_PATH] = {};
    int published_count = 0;
    int removed = 0;
    DWORD remove_error = 0;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        if (!IsDazaDevice(set, &device)) continue;
        if (published_count < kMaxPublishedInfs && ReadPublishedInf(set, &device, published[published_count]))
            ++published_count;
        if (SetupDiCallClassInstaller(DIF_REMOVE, set, &device))
            ++removed;
        else
            remove_error = GetLastError();
    }
    SetupDiDestroyDeviceInfoList(set);
    if (remove_error != 0) return Failed("SetupDiCallClassInstaller(DIF_REMOVE)", remove_error, removed);

    char driver_file[MAX_PATH] = {};
    DWORD service_error = RemoveService(driver_file);
    if (service_error != 0) return Failed("DeleteService", service_error, removed);
    if (driver_file[0] != '\0' && !DeleteFileA(driver_file) && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND)
        MoveFileExA(driver_file, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);

    // Only the INF's own published copy: under Windows' "oem<n>.inf" name,
    // or under its own name where Wine publishes it so.
    for (int i = 0; i < published_count; ++i) {
        const char* name = published[i];
        if (_strnicmp(name, "oem", 3) != 0 && lstrcmpiA(name, kInfName) != 0) continue;
        SetupUninstallOEMInfA(name, SUOI_FORCEDELETE, nullptr);
        DeletePrecompiledInf(name);
    }
    return Succeeded(removed, false);
}
