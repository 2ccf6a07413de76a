// The simulated registry: the two hives the program uses, keys that are
// case-insensitive and case-preserving, typed values kept with the size
// they were written with, the WOW64 registry views of a 32-bit program
// (see platform/registry.h), open key handles with their rights, and
// failures a test can force.
//
// Values are kept as Windows keeps them: string types (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ) as UTF-16LE bytes, whatever form wrote them.
// The A forms convert between Windows-1252 (the ANSI code page the sim
// stands for) and UTF-16, one character for one unit; a unit with no
// Windows-1252 character reads as '?'.
//
// Subkeys enumerate in name order ignoring letter case, as Windows keeps
// them. Names are compared folded to lower case, as Wine does, so the six
// characters between 'Z' and 'a' ("[\]^_`") sort before the letters; real
// Windows folds to upper case and puts them after. Letter case is folded
// for ASCII and Latin-1 letters (and the Latin Extended-A pairs).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/types.h"

struct SimRegValue {
    std::u16string name;  // as first written
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;  // as stored: string types in UTF-16LE
};

struct SimRegKey {
    std::u16string name;      // as created; empty for a hive
    std::uint64_t parent = 0;  // 0 for a hive
    std::map<std::u16string, std::uint64_t> subkeys;  // by folded name: enumeration order
    std::vector<SimRegValue> values;                  // in the order first written
    // Forced failures: opening with any write right (set value, create
    // subkey, delete) and creating a subkey below it give ACCESS_DENIED;
    // opening with the most rights allowed gives a read-only handle.
    bool deny_write = false;
    // The key opens as usual, but deleting it gives ACCESS_DENIED.
    bool deny_delete = false;
};

struct SimRegOpenKey {
    std::uint64_t key = 0;
    std::uint32_t access = 0;  // the rights granted
};

// Key ids of the two hives.
constexpr std::uint64_t kSimHklmId = 1;
constexpr std::uint64_t kSimHkcuId = 2;

// The keys of a fresh machine: the hives with HKLM\SOFTWARE, HKLM\SYSTEM
// and HKCU\Software. HKLM\SOFTWARE\WOW6432Node appears once a 64-bit
// machine's 32-bit view is first used.
std::map<std::uint64_t, SimRegKey> SimRegBaseKeys();

// One RegSetValueEx call on a key opened with the right to set values:
// the size is the argument as the program gave it, before the sim adds the
// NUL that Windows stores after a text written without it.
struct SimRegWrite {
    std::u16string name;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
};

struct SimRegistry {
    std::map<std::uint64_t, SimRegKey> keys = SimRegBaseKeys();  // by id; a deleted key is gone
    std::uint64_t next_key = 100;
    std::map<std::uintptr_t, SimRegOpenKey> open;  // open key handles
    std::vector<SimRegWrite> writes;               // every value write, in order, refused ones too
    // Forced failure: a write of a value of one of these names (any letter
    // case, in any key) gives ACCESS_DENIED and stores nothing.
    std::vector<std::string> refused_values;
};

// Windows-1252 <-> UTF-16, one character for one unit.
std::u16string SimAnsiToUtf16(const std::string& text);
std::string SimUtf16ToAnsi(const std::u16string& text);

// Test helpers. A hive is plat::kHkeyLocalMachine or plat::kHkeyCurrentUser;
// paths are physical (no view redirection: the 32-bit view of a 64-bit
// machine is "SOFTWARE\WOW6432Node\..."), 8-bit, case-insensitive; a value
// name "" is the default value.
bool SimRegKeyExists(plat::Handle hive, const std::string& path);
// Creates the key with all missing parents.
void SimRegPutKey(plat::Handle hive, const std::string& path);
// Stores the value exactly: `bytes` as kept (string types in UTF-16LE).
void SimRegPutValue(plat::Handle hive, const std::string& path, const std::string& name, std::uint32_t type,
                    const std::vector<std::uint8_t>& bytes);
void SimRegPutDword(plat::Handle hive, const std::string& path, const std::string& name, std::uint32_t value);
// A text with its terminating NUL, as RegSetValueExA(type, text, length + 1)
// or RegSetValueExW(type, text, 2 x (length + 1)) would store it.
void SimRegPutText(plat::Handle hive, const std::string& path, const std::string& name, const std::string& text,
                   std::uint32_t type = 1);
void SimRegPutText16(plat::Handle hive, const std::string& path, const std::string& name,
                     const std::u16string& text, std::uint32_t type = 1);
// The value as kept; null when the key or value is absent.
const SimRegValue* SimRegGetValue(plat::Handle hive, const std::string& path, const std::string& name);
// The value's type and bytes as RegQueryValueExA reads them (string types
// converted to Windows-1252). False when absent.
bool SimRegReadValueA(plat::Handle hive, const std::string& path, const std::string& name, std::uint32_t* type,
                      std::vector<std::uint8_t>* bytes);
// A string-typed value's text up to its first NUL; empty when absent or
// not a string type.
std::string SimRegGetText(plat::Handle hive, const std::string& path, const std::string& name);
std::u16string SimRegGetText16(plat::Handle hive, const std::string& path, const std::string& name);
// True when the value is a REG_DWORD of 4 bytes; its value in *value.
bool SimRegGetDword(plat::Handle hive, const std::string& path, const std::string& name, std::uint32_t* value);
// Names (as created) of the key's subkeys in enumeration order, and of its
// values in the order first written. Empty when the key is absent.
std::vector<std::string> SimRegListSubkeys(plat::Handle hive, const std::string& path);
std::vector<std::string> SimRegListValues(plat::Handle hive, const std::string& path);
// Forced failures (see SimRegKey); the key is created when absent.
void SimRegDenyWrite(plat::Handle hive, const std::string& path);
void SimRegDenyDelete(plat::Handle hive, const std::string& path);
// Key handles opened and not yet closed.
std::size_t SimRegOpenKeyCount();
