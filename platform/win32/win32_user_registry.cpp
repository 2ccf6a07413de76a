// Writes into the user's hive with more rights than its owner has, along
// keys that are not registry links.
#include <windows.h>

#include <cstring>

#include "platform/security.h"

namespace plat {

namespace {

// The key `name` of `parent` as itself, opened or made; nullptr when it is
// a registry link or cannot be had. A link made between the open and the
// create is opened as the link and refused the same way.
HKEY OpenAsItself(HKEY parent, const char* name) {
    constexpr REGSAM kAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, kAccess, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        status = RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK, kAccess,
                                 nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return nullptr;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, &size) != ERROR_FILE_NOT_FOUND) {
        RegCloseKey(key);  // a link, or a key that cannot say
        return nullptr;
    }
    return key;
}

}  // namespace

int UserDwordWriteNoLinks(const char* path, const char* value_name, std::uint32_t value) {
    HKEY key = HKEY_CURRENT_USER;
    for (const char* p = path; *p != '\0';) {
        char part[256];
        std::size_t length = std::strcspn(p, "\\");
        HKEY child = nullptr;
        if (length > 0 && length < sizeof part) {
            std::memcpy(part, p, length);
            part[length] = '\0';
            child = OpenAsItself(key, part);
        }
        if (key != HKEY_CURRENT_USER) RegCloseKey(key);
        if (child == nullptr) return 0;
        key = child;
        p += length;
        if (*p == '\\') ++p;
    }
    if (key == HKEY_CURRENT_USER) return 0;  // no key named
    DWORD data = value;
    LONG status = RegSetValueExA(key, value_name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace plat
