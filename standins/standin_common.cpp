#include "standin_common.h"

#include <cstdlib>
#include <cstring>

namespace {

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    if (n == 0 || n >= sizeof path) return std::string();
    return std::string(path, n);
}

std::string EnvironmentFolder(const char* name) {
    char value[MAX_PATH * 2] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    if (n == 0 || n >= sizeof value) return std::string();
    return std::string(value, n);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string OwnFileName(HMODULE module) {
    std::string path = ModulePath(module);
    std::size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string OwnFolder(HMODULE module) {
    std::string path = ModulePath(module);
    std::size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string RunLogPath() {
    std::string base = EnvironmentFolder("ProgramData");
    if (base.empty()) base = EnvironmentFolder("ALLUSERSPROFILE");
    if (base.empty()) base = EnvironmentFolder("TEMP");
    if (base.empty()) base = "C:";
    if (base.back() == '\\') base.pop_back();
    return base + "\\ZT-Audio\\standin-runs.log";
}

namespace {

// Appends one line to a log file, creating its folder when missing.
void AppendLine(const std::string& log, const std::string& line) {
    CreateDirectoryA(log.substr(0, log.find_last_of('\\')).c_str(), nullptr);
    // Several stand-ins may append in turn; FILE_APPEND_DATA keeps each line whole.
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

void LogNote(const char* exe_name, const std::string& text) {
    std::string log = RunLogPath();
    AppendLine(log.substr(0, log.find_last_of('\\')) + "\\standin-notes.log",
               std::string(exe_name) + "|" + text + "\r\n");
}

void LogTemp(const char* exe_name) {
    std::string log = RunLogPath();
    AppendLine(log.substr(0, log.find_last_of('\\')) + "\\standin-temp.log",
               std::string(exe_name) + "|" + EnvironmentFolder("TEMP") + "|" + EnvironmentFolder("TMP") + "\r\n");
}

void LogRun(const char* exe_name, const char* command_line) {
    std::string log = RunLogPath();

    char folder[MAX_PATH * 2] = {};
    DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
    if (n >= sizeof folder) folder[0] = '\0';

    AppendLine(log, std::string(exe_name) + "|" + (command_line ? command_line : "") + "|" + folder + "\r\n");
}

int ForcedExitCode(HMODULE module, int* code) {
    std::string path = ModulePath(module) + ".exitcode";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char text[32] = {};
    DWORD got = 0;
    BOOL ok = ReadFile(file, text, sizeof text - 1, &got, nullptr);
    CloseHandle(file);
    if (!ok) return 0;
    text[got] = '\0';
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text) return 0;
    *code = static_cast<int>(value);
    return 1;
}

const char* WindowsGeneration() {
    // OSVERSIONINFOW and RtlGetVersion's RTL_OSVERSIONINFOW share one layout.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto get = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                           reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                     : nullptr;
    if (get == nullptr || get(&info) != 0) return "xp";
    if (info.dwMajorVersion >= 10) return "win10";
    if (info.dwMajorVersion == 6 && info.dwMinorVersion >= 1) return "win7";
    if (info.dwMajorVersion == 6) return "vista";
    if (info.dwMajorVersion == 5 && info.dwMinorVersion >= 2) return "2003";
    return "xp";
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        char name[256] = {};
        DWORD length = sizeof name;
        LONG status = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

int DeleteKeyTree(HKEY root, const std::string& path) {
    // Depth first: RegDeleteKeyA removes only keys without subkeys (and
    // RegDeleteTree does not exist before Vista).
    for (const std::string& child : SubkeyNames(root, path)) DeleteKeyTree(root, path + "\\" + child);
    LONG status = RegDeleteKeyA(root, path.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

int ReadString(HKEY root, const std::string& path, const char* value, std::string* text) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    char data[2048] = {};
    DWORD type = 0;
    DWORD size = sizeof data - 1;
    LONG status = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return 0;
    data[size < sizeof data ? size : sizeof data - 1] = '\0';
    *text = data;  // up to the first NUL, whether or not the data carried one
    return 1;
}

namespace {

int WriteValue(HKEY root, const std::string& path, const char* value, DWORD type, const void* data,
               DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return 0;
    LONG status = RegSetValueExA(key, value, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace

int WriteString(HKEY root, const std::string& path, const char* value, const std::string& text,
                DWORD type) {
    return WriteValue(root, path, value, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

int WriteDword(HKEY root, const std::string& path, const char* value, DWORD data) {
    return WriteValue(root, path, value, REG_DWORD, &data, sizeof data);
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool EndsWithIgnoreCase(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && EqualsIgnoreCase(text.substr(text.size() - tail.size()), tail);
}
