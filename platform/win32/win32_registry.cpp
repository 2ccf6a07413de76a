#include <windows.h>

#include <string>

#include "platform/registry.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 texts cross as wchar_t on Windows");

namespace {

HKEY Key(plat::Handle handle) { return static_cast<HKEY>(handle); }

// A UTF-16 text as the wide calls take it; null stays null.
struct WideText {
    std::wstring text;
    bool present;
    const wchar_t* get() const { return present ? text.c_str() : nullptr; }
};

WideText Wide(const char16_t* text) {
    WideText wide{std::wstring(), text != nullptr};
    if (text)
        for (const char16_t* p = text; *p; ++p) wide.text.push_back(static_cast<wchar_t>(*p));
    return wide;
}

// Every open and create leaves a null handle behind when it fails.
// `opened` is read only after the call that fills it has run.
std::uint32_t Opened(LONG status, const HKEY* opened, plat::Handle* key) {
    *key = status == ERROR_SUCCESS ? static_cast<plat::Handle>(*opened) : plat::kInvalidHandle;
    return static_cast<std::uint32_t>(status);
}

// RegQueryValueEx in either form, called by QUERY with the type and size it
// may fill (null where the caller passed none). What Windows does not write
// stays as the caller left it, as in the sim.
template <typename Query>
std::uint32_t QueryKeepingUnwritten(std::uint32_t* type, std::uint32_t* size, Query query) {
    DWORD value_type = type ? *type : 0;
    DWORD value_size = size ? *size : 0;
    LONG status = query(type ? &value_type : nullptr, size ? &value_size : nullptr);
    if (type) *type = value_type;
    if (size) *size = value_size;
    return static_cast<std::uint32_t>(status);
}

}  // namespace

namespace plat {

std::uint32_t RegistryOpenKey(Handle parent, const char* subkey, Handle* key) {
    HKEY opened = nullptr;
    return Opened(RegOpenKeyA(Key(parent), subkey, &opened), &opened, key);
}

std::uint32_t RegistryCreateKey(Handle parent, const char* subkey, Handle* key) {
    HKEY opened = nullptr;
    return Opened(RegCreateKeyA(Key(parent), subkey, &opened), &opened, key);
}

std::uint32_t RegistryOpenKeyEx(Handle parent, const char* subkey, std::uint32_t access, Handle* key) {
    HKEY opened = nullptr;
    return Opened(RegOpenKeyExA(Key(parent), subkey, 0, access, &opened), &opened, key);
}

std::uint32_t RegistryCreateKeyEx(Handle parent, const char* subkey, std::uint32_t access, Handle* key) {
    HKEY opened = nullptr;
    LONG status = RegCreateKeyExA(Key(parent), subkey, 0, nullptr, 0, access, nullptr, &opened, nullptr);
    return Opened(status, &opened, key);
}

std::uint32_t RegistryQueryValue(Handle key, const char* name, std::uint32_t* type, void* data,
                                 std::uint32_t* size) {
    return QueryKeepingUnwritten(type, size, [&](DWORD* value_type, DWORD* value_size) {
        return RegQueryValueExA(Key(key), name, nullptr, value_type, static_cast<BYTE*>(data), value_size);
    });
}

std::uint32_t RegistrySetValue(Handle key, const char* name, std::uint32_t type, const void* data,
                               std::uint32_t size) {
    return static_cast<std::uint32_t>(
        RegSetValueExA(Key(key), name, 0, type, static_cast<const BYTE*>(data), size));
}

std::uint32_t RegistryEnumKey(Handle key, std::uint32_t index, char* name, std::uint32_t* name_size) {
    DWORD length = *name_size;
    LONG status = RegEnumKeyExA(Key(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) *name_size = length;
    return static_cast<std::uint32_t>(status);
}

std::uint32_t RegistryDeleteKey(Handle parent, const char* subkey) {
    return static_cast<std::uint32_t>(RegDeleteKeyA(Key(parent), subkey));
}

std::uint32_t RegistryCloseKey(Handle key) { return static_cast<std::uint32_t>(RegCloseKey(Key(key))); }

std::uint32_t RegistryOpenKeyW16(Handle parent, const char16_t* subkey, Handle* key) {
    HKEY opened = nullptr;
    return Opened(RegOpenKeyW(Key(parent), Wide(subkey).get(), &opened), &opened, key);
}

std::uint32_t RegistryOpenKeyExW16(Handle parent, const char16_t* subkey, std::uint32_t access, Handle* key) {
    HKEY opened = nullptr;
    return Opened(RegOpenKeyExW(Key(parent), Wide(subkey).get(), 0, access, &opened), &opened, key);
}

std::uint32_t RegistryCreateKeyExW16(Handle parent, const char16_t* subkey, std::uint32_t access, Handle* key) {
    HKEY opened = nullptr;
    LONG status =
        RegCreateKeyExW(Key(parent), Wide(subkey).get(), 0, nullptr, 0, access, nullptr, &opened, nullptr);
    return Opened(status, &opened, key);
}

std::uint32_t RegistryQueryValueW16(Handle key, const char16_t* name, std::uint32_t* type, void* data,
                                    std::uint32_t* size) {
    const WideText wide = Wide(name);
    return QueryKeepingUnwritten(type, size, [&](DWORD* value_type, DWORD* value_size) {
        return RegQueryValueExW(Key(key), wide.get(), nullptr, value_type, static_cast<BYTE*>(data), value_size);
    });
}

std::uint32_t RegistrySetValueW16(Handle key, const char16_t* name, std::uint32_t type, const void* data,
                                  std::uint32_t size) {
    return static_cast<std::uint32_t>(
        RegSetValueExW(Key(key), Wide(name).get(), 0, type, static_cast<const BYTE*>(data), size));
}

std::uint32_t RegistryEnumKeyW16(Handle key, std::uint32_t index, char16_t* name, std::uint32_t name_units) {
    std::wstring buffer(name_units > 0 ? name_units : 1, L'\0');
    LONG status = RegEnumKeyW(Key(key), index, buffer.data(), name_units);
    if (status == ERROR_SUCCESS)
        for (std::uint32_t i = 0; i < name_units; ++i) {
            name[i] = static_cast<char16_t>(buffer[i]);
            if (buffer[i] == 0) break;
        }
    return static_cast<std::uint32_t>(status);
}

}  // namespace plat
