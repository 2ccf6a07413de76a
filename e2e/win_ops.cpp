// Windows-side operations for the stand-in scenarios, done the way the
// setup program does them:
//   win_ops.exe run APP "RAW COMMAND LINE" FOLDER
//       CreateProcessA(APP, raw line, ..., current folder FOLDER); waits and
//       prints "exit <signed exit code>"
//   win_ops.exe delete PATH           DeleteFileA; prints "deleted" or "error <code>"
//   win_ops.exe rename FROM TO        MoveFileA;   prints "renamed" or "error <code>"
//   win_ops.exe userfolders           the ANSI code page ("acp 1252"), then the
//       user's "Programs" Shell Folders value and Startup folder, each as the
//       "W" call gives it and as the "A" call does ("programs-ansi", read back
//       through the code page, so a letter it cannot write shows as '?'), in UTF-8
// Exit code 0 when the operation could be made at all, 2 on bad arguments.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

namespace {

int Run(const char* application, const char* raw_line, const char* folder) {
    char line[4096] = {};
    std::size_t length = std::strlen(raw_line);
    if (length >= sizeof line) return 2;
    std::memcpy(line, raw_line, length);  // CreateProcessA may write into it
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(application, line, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, folder,
                        &startup, &process)) {
        std::printf("error %lu\n", GetLastError());
        return 0;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::printf("exit %ld\n", static_cast<long>(static_cast<LONG>(code)));
    return 0;
}

void PrintUtf8(const char* label, const wchar_t* text) {
    char utf8[4096] = {};
    if (!WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr)) utf8[0] = '\0';
    std::printf("%s %s\n", label, utf8);
}

// An "A" result shown as the code page reads it back.
void PrintAnsi(const char* label, const char* text) {
    wchar_t wide[1024] = {};
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 1024)) wide[0] = L'\0';
    PrintUtf8(label, wide);
}

#define MIXO_SHELL_FOLDERS "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
constexpr const char* kShellFolders = MIXO_SHELL_FOLDERS;
constexpr const wchar_t* kShellFoldersW = L"" MIXO_SHELL_FOLDERS;

int UserFolders() {
    std::printf("acp %u\n", GetACP());
    wchar_t wide[1024] = {};
    DWORD size = sizeof wide - sizeof(wchar_t);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFoldersW, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExW(key, L"Programs", nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size) != ERROR_SUCCESS)
            wide[0] = L'\0';
        RegCloseKey(key);
    }
    PrintUtf8("programs", wide);
    char ansi[1024] = {};
    size = sizeof ansi - 1;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExA(key, "Programs", nullptr, nullptr, reinterpret_cast<BYTE*>(ansi), &size) != ERROR_SUCCESS)
            ansi[0] = '\0';
        RegCloseKey(key);
    }
    PrintAnsi("programs-ansi", ansi);
    wchar_t startup[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, startup, CSIDL_STARTUP, FALSE)) startup[0] = L'\0';
    PrintUtf8("startup", startup);
    char startup_ansi[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, startup_ansi, CSIDL_STARTUP, FALSE)) startup_ansi[0] = '\0';
    PrintAnsi("startup-ansi", startup_ansi);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "run") == 0) return Run(argv[2], argv[3], argv[4]);
    if (argc == 3 && std::strcmp(argv[1], "delete") == 0) {
        if (DeleteFileA(argv[2])) std::printf("deleted\n");
        else std::printf("error %lu\n", GetLastError());
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "rename") == 0) {
        if (MoveFileA(argv[2], argv[3])) std::printf("renamed\n");
        else std::printf("error %lu\n", GetLastError());
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "userfolders") == 0) return UserFolders();
    std::fputs("usage: win_ops run APP LINE FOLDER | delete PATH | rename FROM TO | userfolders\n", stderr);
    return 2;
}
