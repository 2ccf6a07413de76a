// The registry: keys and values by 8-bit ANSI names (the "A" forms the
// program uses for its own records) and by UTF-16 names (the wide forms the
// endpoint property store needs). Every operation gives the Win32 status,
// so that a caller can tell a missing key or value (kErrorFileNotFound), a
// value too long for its buffer (kErrorMoreData), refused rights
// (kErrorAccessDenied) and the end of an enumeration (kErrorNoMoreItems)
// apart; a value of an unexpected type is read successfully and its type
// reported.
//
// Registry views: the program is a 32-bit program. On 64-bit Windows a key
// path that runs through HKLM\SOFTWARE lands, in the default view and with
// kKeyWow64_32Key, in HKLM\SOFTWARE\WOW6432Node, and with kKeyWow64_64Key in
// HKLM\SOFTWARE itself; HKCU and HKLM\SYSTEM are the same in both views. The
// redirection happens while a path is walked: a key opened in one view
// stays in it, and a path given relative to an open HKLM\SOFTWARE handle
// starts below that very key. On 32-bit Windows the view flags change
// nothing.
//
// Texts: Windows keeps string values as UTF-16. The A forms convert names
// and string data (kRegSz, kRegExpandSz, kRegMultiSz) from and to the ANSI
// code page, so both forms see the same keys and values; a string written
// through one form reads through the other with the same number of
// characters.
#pragma once
#include "platform/types.h"

namespace plat {

// The two hives the program uses, with their Win32 values.
inline Handle const kHkeyCurrentUser =
    reinterpret_cast<Handle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000001u)));
inline Handle const kHkeyLocalMachine =
    reinterpret_cast<Handle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));

// Access rights of a key handle.
constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kKeyNotify = 0x0010;
constexpr std::uint32_t kKeyCreateLink = 0x0020;
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;  // the 64-bit view
constexpr std::uint32_t kKeyWow64_32Key = 0x0200;  // the 32-bit view
constexpr std::uint32_t kKeyDelete = 0x00010000;   // DELETE
constexpr std::uint32_t kKeyRead = 0x00020019;
constexpr std::uint32_t kKeyWrite = 0x00020006;
constexpr std::uint32_t kKeyAllAccess = 0x000F003F;

// Value types.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

// Status codes of the registry beyond those in types.h.
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorBadPathname = 161;  // a subkey path that starts with '\'
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorNoAccess = 998;      // data missing for a non-zero size
constexpr std::uint32_t kErrorKeyDeleted = 1018;  // the handle's key was deleted

// ---- 8-bit ANSI forms ------------------------------------------------------
// Every open or create stores the new handle in *key and gives
// kErrorSuccess; on failure *key is kInvalidHandle. A subkey path is relative to
// `parent` (an open key or a hive), parts separated by one backslash.

// RegOpenKeyA: opens with the most rights the key grants. An empty or null
// subkey gives `parent` itself back (not a new handle).
std::uint32_t RegistryOpenKey(Handle parent, const char* subkey, Handle* key);

// RegCreateKeyA: opens the key, creating it and any missing parent keys,
// with the most rights the key grants.
std::uint32_t RegistryCreateKey(Handle parent, const char* subkey, Handle* key);

// RegOpenKeyExA(parent, subkey, 0, access): `access` may carry
// kKeyWow64_32Key or kKeyWow64_64Key to choose the view. Refused rights give
// kErrorAccessDenied. An empty subkey opens a new handle to `parent`.
std::uint32_t RegistryOpenKeyEx(Handle parent, const char* subkey, std::uint32_t access, Handle* key);

// RegCreateKeyExA(parent, subkey, 0, no class, options 0, access, no
// security attributes, no disposition): like RegistryCreateKey with an
// access mask and view.
std::uint32_t RegistryCreateKeyEx(Handle parent, const char* subkey, std::uint32_t access, Handle* key);

// RegQueryValueExA. `name` null or empty is the key's default value. *size
// is the buffer size on entry and the value's size on return. `type` may
// be null. With `data` null only the size (and type) is asked for; with
// `data` and `size` both null only the value's presence. A value longer
// than the buffer gives kErrorMoreData with the needed size in *size and the
// buffer's contents unspecified. String values are converted to the ANSI
// code page; one stored without its terminating NUL is read without it (its
// size counts no NUL), though a NUL is placed after it when the buffer has
// room. `data` without `size` gives kErrorInvalidParameter. Needs
// kKeyQueryValue on the handle.
std::uint32_t RegistryQueryValue(Handle key, const char* name, std::uint32_t* type, void* data,
                                 std::uint32_t* size);

// RegSetValueExA(key, name, 0, type, data, size): stores `size` bytes of
// `data` as the value, whatever the type. One rule of Windows applies to
// string types: when the last byte given is not NUL but the byte just after
// it is, that NUL is stored too (so a C text written with its length as
// size reads back with its NUL; it is read, so it must be readable). Needs
// kKeySetValue on the handle.
std::uint32_t RegistrySetValue(Handle key, const char* name, std::uint32_t type, const void* data,
                               std::uint32_t size);

// RegEnumKeyExA(key, index, name, name_size, ...) without class and time:
// the index-th subkey, in the order Windows keeps them (alphabetical,
// ignoring letter case). *name_size is the buffer size in characters,
// NUL included, on entry and the name's length without the NUL on success.
// A name that does not fit (length + 1 > *name_size) gives kErrorMoreData;
// an index past the last subkey gives kErrorNoMoreItems. Needs
// kKeyEnumerateSubKeys on the handle.
std::uint32_t RegistryEnumKey(Handle key, std::uint32_t index, char* name, std::uint32_t* name_size);

// RegDeleteKeyA: deletes the subkey (default view; an empty subkey deletes
// the key of `parent` itself). A key that still has subkeys is not deleted:
// kErrorAccessDenied, as on Windows. Open handles of a deleted key give
// kErrorKeyDeleted afterwards.
std::uint32_t RegistryDeleteKey(Handle parent, const char* subkey);

// RegCloseKey. Closing a hive is harmless; an unknown handle gives
// kErrorInvalidHandle and changes nothing.
std::uint32_t RegistryCloseKey(Handle key);

// ---- UTF-16 forms -----------------------------------------------------------
// The same operations with char16_t texts; sizes of data are in bytes, the
// size of a name buffer in UTF-16 units.

std::uint32_t RegistryOpenKeyW16(Handle parent, const char16_t* subkey, Handle* key);      // RegOpenKeyW
std::uint32_t RegistryOpenKeyExW16(Handle parent, const char16_t* subkey, std::uint32_t access,
                                   Handle* key);                                           // RegOpenKeyExW
std::uint32_t RegistryCreateKeyExW16(Handle parent, const char16_t* subkey, std::uint32_t access,
                                     Handle* key);                                         // RegCreateKeyExW
// RegQueryValueExW: string data as stored, in UTF-16.
std::uint32_t RegistryQueryValueW16(Handle key, const char16_t* name, std::uint32_t* type, void* data,
                                    std::uint32_t* size);
// RegSetValueExW: for string types, a terminating NUL unit right after the
// data is stored too, as with RegistrySetValue.
std::uint32_t RegistrySetValueW16(Handle key, const char16_t* name, std::uint32_t type, const void* data,
                                  std::uint32_t size);
// RegEnumKeyW(key, index, name, name_units): the buffer holds name_units
// units, NUL included; kErrorMoreData when the name does not fit.
std::uint32_t RegistryEnumKeyW16(Handle key, std::uint32_t index, char16_t* name, std::uint32_t name_units);

}  // namespace plat
