// Windows-side operations for the stand-in scenarios, done the way the
// setup program does them:
//   win_ops.exe run APP "RAW COMMAND LINE" FOLDER
//       CreateProcessA(APP, raw line, ..., current folder FOLDER); waits and
//       prints "exit <signed exit code>"
//   win_ops.exe delete PATH           DeleteFileA; prints "deleted" or "error <code>"
//   win_ops.exe rename FROM TO        MoveFileA;   prints "renamed" or "error <code>"
// Exit code 0 when the operation could be made at all, 2 on bad arguments.
#include <windows.h>

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
    std::fputs("usage: win_ops run APP LINE FOLDER | delete PATH | rename FROM TO\n", stderr);
    return 2;
}
