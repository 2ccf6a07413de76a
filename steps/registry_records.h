// The product's registry records: the uninstall entry, the per-user
// settings and the loop-back flags of the DAZA driver, with the four small
// write operations the install and uninstall sequences use.
#pragma once
#include <cstdint>

// Writes a REG_DWORD below HKCU, opening the key or else creating it (with
// its missing parents). 1 when the value was written, else 0.
int SetUserDword(const char* key, const char* value_name, std::uint32_t value);

// Writes a REG_SZ below HKLM in the default view, opening or else creating
// the key. The data size passed is the text length, without its NUL.
// 1 when written, else 0.
int SetMachineString(const char* key, const char* text, const char* value_name);

// What Programs and Features and deployment tools read besides the four
// values the install writes first: the version, the size, the folder, the
// quiet uninstall command and that there is nothing to modify or repair.
struct UninstallDescription {
    const char* version;        // "DisplayVersion"
    std::uint32_t size_kib;     // "EstimatedSize"
    const char* folder;         // "InstallLocation"
    const char* uninstaller;    // its path; "QuietUninstallString" quotes it
};

// Adds the description to the uninstall entry key (default view), each
// value written as SetMachineString writes, "EstimatedSize", "NoModify"
// and "NoRepair" as REG_DWORD. Gives the number of values written (6 when
// all were).
int WriteUninstallDescription(const UninstallDescription& description);

// "SysTray", "SysTrayShowOnRun" and "EngineMode" of the product settings
// key become 0, the key opened (or created) and closed for each value.
void ResetTraySettings();

// "ZTMixolyteDAZA_LoopBack" = 1 in both loop-back keys in the default view,
// then, when `is_64bit` is exactly 1, in both again in the 64-bit view.
// 1 when at least one write succeeded, else 0.
int WriteLoopBackFlags(int is_64bit);
