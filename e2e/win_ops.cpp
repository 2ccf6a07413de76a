// Windows-side operations for the stand-in scenarios, done the way the
// setup program does them:
//   win_ops.exe run APP "RAW COMMAND LINE" FOLDER
//       CreateProcessA(APP, raw line, ..., current folder FOLDER); waits and
//       prints "exit <signed exit code>"
//   win_ops.exe exec "COMMAND LINE" FOLDER
//       CreateProcessW(nullptr, line, ..., FOLDER): the line read as Windows
//       reads one without a program named apart (as Programs and Features
//       runs an UninstallString); waits and ends with the program's exit code
//   win_ops.exe delete PATH           DeleteFileA; prints "deleted" or "error <code>"
//   win_ops.exe rename FROM TO        MoveFileA;   prints "renamed" or "error <code>"
//   win_ops.exe userfolders           the ANSI code page ("acp 1252"), then the
//       user's "Programs" Shell Folders value and Startup folder, each as the
//       "W" call gives it and as the "A" call does ("programs-ansi", read back
//       through the code page, so a letter it cannot write shows as '?'), in UTF-8
//   win_ops.exe shortcut PATH...      each shortcut as IShellLinkW reads it:
//       "shortcut PATH", then "target", "arguments", "folder" (the working
//       folder), "description", "icon" (PATH,INDEX) and "show" (the show
//       command), one field a line in UTF-8; "error 0xHRESULT" for a file
//       that does not load. (A reader of the file format would depend on
//       how its version prints a path; this reads what Windows reads.)
// Exit code 0 when the operation could be made at all (exec: the program's),
// 2 on bad arguments.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

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

// The command line and folder as Windows passed them (UTF-16); the line is
// copied, as CreateProcessW may write into it.
int Exec() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args || count != 4) return 2;
    wchar_t line[4096] = {};
    std::size_t length = std::wcslen(args[2]);
    if (length >= sizeof line / sizeof line[0]) return 2;
    std::wmemcpy(line, args[2], length);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, args[3], &startup,
                        &process)) {
        std::printf("error %lu\n", GetLastError());
        LocalFree(args);
        return 2;
    }
    LocalFree(args);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
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

// One shortcut's fields, read through the shell's own link object.
void PrintShortcut(const wchar_t* path) {
    PrintUtf8("shortcut", path);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link));
    if (SUCCEEDED(result)) result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) result = file->Load(path, STGM_READ);
    if (FAILED(result)) {
        std::printf("error 0x%08lx\n", static_cast<unsigned long>(result));
    } else {
        wchar_t text[1024] = {};
        if (link->GetPath(text, 1024, nullptr, SLGP_RAWPATH) != S_OK) text[0] = L'\0';
        PrintUtf8("target", text);
        if (FAILED(link->GetArguments(text, 1024))) text[0] = L'\0';
        PrintUtf8("arguments", text);
        if (FAILED(link->GetWorkingDirectory(text, 1024))) text[0] = L'\0';
        PrintUtf8("folder", text);
        if (FAILED(link->GetDescription(text, 1024))) text[0] = L'\0';
        PrintUtf8("description", text);
        int index = 0;
        if (FAILED(link->GetIconLocation(text, 1024, &index))) text[0] = L'\0';
        char icon[4096] = {};
        if (!WideCharToMultiByte(CP_UTF8, 0, text, -1, icon, sizeof icon, nullptr, nullptr)) icon[0] = '\0';
        std::printf("icon %s,%d\n", icon, index);
        int show = 0;
        if (FAILED(link->GetShowCmd(&show))) show = -1;
        std::printf("show %d\n", show);
    }
    if (file) file->Release();
    if (link) link->Release();
}

// The paths as Windows passed them (UTF-16), past the verb.
int Shortcuts() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args || count < 3) return 2;
    CoInitialize(nullptr);
    for (int i = 2; i < count; ++i) PrintShortcut(args[i]);
    CoUninitialize();
    LocalFree(args);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "run") == 0) return Run(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::strcmp(argv[1], "exec") == 0) return Exec();
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
    if (argc >= 3 && std::strcmp(argv[1], "shortcut") == 0) return Shortcuts();
    std::fputs("usage: win_ops run APP LINE FOLDER | exec LINE FOLDER | delete PATH | rename FROM TO | userfolders | shortcut PATH...\n",
               stderr);
    return 2;
}
