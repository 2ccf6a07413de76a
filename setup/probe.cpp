#include "setup/probe.h"

#include "base/context.h"
#include "base/names.h"
#include "base/path_chars.h"
#include "base/text.h"
#include "base/wide_text.h"
#include "devices/inventory.h"
#include "platform/devices.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace {

// Whether `field` (at most `units` units, terminated within them or cut
// there) contains `needle`; case-sensitive, code unit by code unit.
bool ContainsText(const char16_t* field, std::size_t units, const char16_t* needle) {
    std::size_t length = 0;
    while (length < units && field[length] != u'\0') ++length;
    std::size_t needle_length = 0;
    while (needle[needle_length] != u'\0') ++needle_length;
    if (needle_length == 0) return true;
    for (std::size_t start = 0; start + needle_length <= length; ++start) {
        std::size_t i = 0;
        while (i < needle_length && field[start + i] == needle[i]) ++i;
        if (i == needle_length) return true;
    }
    return false;
}

// The first hit in one list: base + 1..4 by the search order, or 0.
int SearchList(DeviceList* list, int base) {
    static constexpr char16_t kUpperName[] = u"MixoLyte";
    static constexpr char16_t kLowerName[] = u"Mixolyte";
    if (list == nullptr) return 0;
    std::uint32_t count = ListCount(list);
    for (std::uint32_t index = 1; index <= count; ++index) {
        const DeviceRecord* record = ListElement(list, index);
        if (record == nullptr) continue;
        constexpr std::size_t kInterfaceUnits = sizeof record->interface_name / sizeof(char16_t);
        constexpr std::size_t kDisplayUnits = sizeof record->display_name / sizeof(char16_t);
        if (ContainsText(record->interface_name, kInterfaceUnits, kUpperName)) return base + 1;
        if (ContainsText(record->display_name, kDisplayUnits, kUpperName)) return base + 2;
        if (ContainsText(record->interface_name, kInterfaceUnits, kLowerName)) return base + 3;
        if (ContainsText(record->display_name, kDisplayUnits, kLowerName)) return base + 4;
    }
    return 0;
}

int MapVersion(std::uint32_t major, std::uint32_t minor, int product_type) {
    if (major <= 5 && minor == 0) return kWindowsBeforeXp;
    if (major <= 5) return minor == 2 ? kWindowsServer2003 : kWindowsXp;
    if (major == 6) {
        switch (minor) {
            case 0: return kWindowsVista;
            case 1: return product_type == plat::kVerNtWorkstation ? kWindows7 : kWindowsVista;
            case 2: return kWindows8;
            case 3: return kWindows81;
            default: return kWindowsUnknown;
        }
    }
    if (major == 10) return kWindows10;
    if (major > 10) return kWindowsAbove10;
    return kWindowsUnknown;
}

}  // namespace

namespace {
int folders_looked_up = 0;
}  // namespace

void ForgetFolderLookUp() { folders_looked_up = 0; }

namespace {

// One pass of the look-up for one folder, in the folder's own character
// type: SHELL32's SHGetSpecialFolderPath (0 when it is missing), or
// SHFOLDER's SHGetFolderPath (`second`).
template <typename C>
int LookUp(bool second, int csidl, int create, C* buffer, std::size_t units, int* found) {
    C path[512] = {};
    if (!second) {
        int result = 0;
        if (!plat::ShellSpecialFolderPath(csidl, create, path, 512, &result)) return 0;
        *found = result;
    } else {
        std::int32_t hresult = 0;
        if (!plat::ShellFolderPath(csidl, path, 512, &hresult)) return 0;
        *found = hresult == plat::kHresultOk ? 1 : 0;
    }
    if (*found) CopyText(buffer, units, static_cast<const C*>(path));
    else buffer[0] = '\0';
    return 1;
}

}  // namespace

void LookUpFolders() {
    if (folders_looked_up) return;
    folders_looked_up = 1;
    common_programs_folder[0] = '\0';
    startup_folder[0] = u'\0';
    AppendAscii(startup_folder, 512, "Startup");

    // First pass: SHELL32's SHGetSpecialFolderPath. The all-users folder
    // (ANSI) with the create flag; the user's Startup folder (UTF-16: its
    // letters are the user's) without it, since its place is the user's to
    // set (HKCU's User Shell Folders) and the program only reads and deletes
    // there: an administrator's process must not make a folder wherever a
    // user points.
    int found = 0;
    int available = LookUp(false, plat::kCsidlCommonPrograms, 1, common_programs_folder, 512, &found);
    int failed = available && !found;
    if (available) {
        available = LookUp(false, plat::kCsidlStartup, 0, startup_folder, 512, &found);
        failed |= available && !found;
    }
    if (available && !failed) return;

    // Second pass: SHFOLDER's SHGetFolderPath for each folder still empty.
    if (common_programs_folder[0] == '\0' &&
        !LookUp(true, plat::kCsidlCommonPrograms, 0, common_programs_folder, 512, &found))
        return;
    if (startup_folder[0] == u'\0') LookUp(true, plat::kCsidlStartup, 0, startup_folder, 512, &found);
}

int IsWow64() {
    int is_wow64 = 0;
    if (!plat::Wow64Query(&is_wow64)) return 0;
    return is_wow64 ? 1 : 0;
}

int GetOsVersionCode() {
    plat::OsVersion version{};
    if (!plat::VersionRead(plat::kVersionInfoExSize, &version) &&
        !plat::VersionRead(plat::kVersionInfoExSize, &version) &&
        !plat::VersionRead(plat::kVersionInfoSize, &version))
        return kWindowsUnknown;

    // Windows 8.1 and later admit only 6.2 to this program: the true numbers
    // come from Ntdll. The product type stays the one read above.
    plat::OsVersion true_version{};
    std::int32_t status = -1;
    if (plat::RtlVersionRead(&true_version, &status) && status == 0 && true_version.major >= 6) {
        version.major = true_version.major;
        version.minor = true_version.minor;
        version.build = true_version.build;
        version.platform_id = true_version.platform_id;
    }
    return MapVersion(version.major, version.minor, version.product_type);
}

const char* OsVersionLabel(int code) {
    switch (code) {
        case kWindowsBeforeXp: return "O/S: < XP";
        case kWindowsXp: return "O/S: WIN XP";
        case kWindowsServer2003: return "O/S: Server 2003";
        case kWindowsVista: return "O/S: VISTA";
        case kWindows7: return "O/S: WIN7";
        case kWindows8: return "O/S: WIN8";
        case kWindows81: return "O/S: WIN8.1";
        case kWindows10: return "O/S: WIN10";
        case kWindowsAbove10: return "O/S: > WIN10";
        default: return "O/S: unknown";
    }
}

int ReadUninstallString(char* value, std::uint32_t capacity) {
    plat::Handle key = nullptr;
    if (plat::RegistryOpenKeyEx(plat::kHkeyLocalMachine, kUninstallEntryKey, plat::kKeyRead, &key) !=
            plat::kErrorSuccess &&
        plat::RegistryOpenKeyEx(plat::kHkeyLocalMachine, kUninstallEntryKey,
                                plat::kKeyRead | plat::kKeyWow64_32Key, &key) != plat::kErrorSuccess)
        return -1;
    std::uint32_t size = capacity;
    std::uint32_t type = 0;
    std::uint32_t status = plat::RegistryQueryValue(key, "UninstallString", &type, value, &size);
    plat::RegistryCloseKey(key);
    if (status != plat::kErrorSuccess || type != plat::kRegSz) return 0;
    // A text stored without its terminator fills the buffer unterminated.
    value[size < capacity ? size : capacity - 1] = '\0';
    return 1;
}

int FindUninstallEntry() {
    char value[1024];
    return ReadUninstallString(value, sizeof value) == 1 ? 1 : 0;
}

int FindProductDeviceNames() {
    int hit = SearchList(CaptureDeviceList(), 0);
    if (hit != 0) return hit;
    return SearchList(RenderDeviceList(), 10);
}

plat::Handle FindDeviceInterface(const char* interface_class) { return plat::DeviceInterfaceOpen(interface_class); }

void ProbeEnvironment() {
    SetupContext& context = setup_context;
    context.uninstall_entry_found = context.remove_mode = FindUninstallEntry();
    context.product_devices_found = FindProductDeviceNames();
    context.os_version_code = GetOsVersionCode();

    plat::ModuleFileName(context.instance, context.program_path, sizeof context.program_path);
    context.program_path[sizeof context.program_path - 1] = '\0';
    CopyText(context.program_folder, sizeof context.program_folder, context.program_path);
    CutAtLastBackslash(context.program_folder);

    struct Probe {
        const char* interface_class;
        int* flag;
    };
    const Probe probes[] = {{kDazaInterfaceClass, &context.daza_driver_found},
                            {kCableInterfaceClass, &context.cable_driver_found},
                            {kAuxInterfaceClass, &context.aux_driver_found}};
    int any_present = 0;
    for (const Probe& probe : probes) {
        plat::Handle device = FindDeviceInterface(probe.interface_class);
        if (device == nullptr) continue;
        plat::DeviceClose(device);
        *probe.flag = 1;
        any_present = 1;
    }
    if (any_present) {
        context.remove_mode = 1;
        context.product_devices_found = 1;
    }
}
