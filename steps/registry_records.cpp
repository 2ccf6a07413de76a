#include "steps/registry_records.h"

#include <cstring>

#include "base/names.h"
#include "base/text.h"
#include "base/user_rights.h"
#include "platform/registry.h"

namespace {

// Access of the 64-bit view writes: KEY_SET_VALUE to open, KEY_ALL_ACCESS
// to create, each with KEY_WOW64_64KEY.
constexpr std::uint32_t kOpen64Access = plat::kKeySetValue | plat::kKeyWow64_64Key;      // 0x102
constexpr std::uint32_t kCreate64Access = plat::kKeyAllAccess | plat::kKeyWow64_64Key;  // 0xF013F

// The key in the program's default view: opened, or else created.
plat::Handle OpenOrCreate(plat::Handle hive, const char* path) {
    plat::Handle key = nullptr;
    if (plat::RegistryOpenKey(hive, path, &key) == plat::kErrorSuccess) return key;
    if (plat::RegistryCreateKey(hive, path, &key) == plat::kErrorSuccess) return key;
    return plat::kInvalidHandle;
}

// The HKLM key in the 64-bit view: opened, or else created.
plat::Handle OpenOrCreate64(const char* path) {
    plat::Handle key = nullptr;
    if (plat::RegistryOpenKeyEx(plat::kHkeyLocalMachine, path, kOpen64Access, &key) == plat::kErrorSuccess)
        return key;
    if (plat::RegistryCreateKeyEx(plat::kHkeyLocalMachine, path, kCreate64Access, &key) == plat::kErrorSuccess)
        return key;
    return plat::kInvalidHandle;
}

// Writes one value into the open key and closes it; 1 when written.
int WriteAndClose(plat::Handle key, const char* value_name, std::uint32_t type, const void* data,
                  std::uint32_t size) {
    int written = plat::RegistrySetValue(key, value_name, type, data, size) == plat::kErrorSuccess;
    plat::RegistryCloseKey(key);
    return written;
}

int WriteDword(plat::Handle key, const char* value_name, std::uint32_t value) {
    if (key == plat::kInvalidHandle) return 0;
    const std::uint8_t data[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                  static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return WriteAndClose(key, value_name, plat::kRegDword, data, sizeof data);
}

}  // namespace

int SetUserDword(const char* key, const char* value_name, std::uint32_t value) {
    // The user's own hive, written with the user's own rights: a key the
    // user made a link elsewhere gets no administrator's write. Where those
    // rights should exist but cannot be had, only along keys that are no
    // links.
    plat::UserRights rights = BeginUserWork();
    int written = rights != plat::UserRights::kNarrowed
                      ? WriteDword(OpenOrCreate(plat::kHkeyCurrentUser, key), value_name, value)
                      : plat::UserDwordWriteNoLinks(key, value_name, value);
    EndUserWork(rights);
    return written;
}

int SetMachineString(const char* key, const char* text, const char* value_name) {
    plat::Handle opened = OpenOrCreate(plat::kHkeyLocalMachine, key);
    if (opened == plat::kInvalidHandle) return 0;
    return WriteAndClose(opened, value_name, plat::kRegSz, text, static_cast<std::uint32_t>(std::strlen(text)));
}

int WriteUninstallDescription(const UninstallDescription& description) {
    // The quiet command quotes the path: the product folder has blanks.
    char quiet[1100];
    int written = 0;
    if (FormatText(quiet, sizeof quiet, "\"%s\" -h -u", description.uninstaller))
        written += SetMachineString(kUninstallEntryKey, quiet, "QuietUninstallString");
    written += SetMachineString(kUninstallEntryKey, description.version, "DisplayVersion");
    written += SetMachineString(kUninstallEntryKey, description.folder, "InstallLocation");
    written += WriteDword(OpenOrCreate(plat::kHkeyLocalMachine, kUninstallEntryKey), "EstimatedSize",
                          description.size_kib);
    written += WriteDword(OpenOrCreate(plat::kHkeyLocalMachine, kUninstallEntryKey), "NoModify", 1);
    written += WriteDword(OpenOrCreate(plat::kHkeyLocalMachine, kUninstallEntryKey), "NoRepair", 1);
    return written;
}

void ResetTraySettings() {
    SetUserDword(kProductSettingsKey, "SysTray", 0);
    SetUserDword(kProductSettingsKey, "SysTrayShowOnRun", 0);
    SetUserDword(kProductSettingsKey, "EngineMode", 0);
}

int WriteLoopBackFlags(int is_64bit) {
    int any = 0;
    any |= WriteDword(OpenOrCreate(plat::kHkeyLocalMachine, kLoopBackSoftwareKey), kLoopBackValue, 1);
    any |= WriteDword(OpenOrCreate(plat::kHkeyLocalMachine, kLoopBackServiceKey), kLoopBackValue, 1);
    if (is_64bit == 1) {
        any |= WriteDword(OpenOrCreate64(kLoopBackSoftwareKey), kLoopBackValue, 1);
        any |= WriteDword(OpenOrCreate64(kLoopBackServiceKey), kLoopBackValue, 1);
    }
    return any;
}
