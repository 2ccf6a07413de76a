// A DLL planted under the name of a system DLL, where a normal user can
// write (beside the setup program, its current folder). When a process
// loads it, it appends "program|dll" to C:\planted-marks.log. It exports
// nothing: what a caller looks up in it is missing.
#include <windows.h>

#include <cstring>

namespace {

void Append(char* line, std::size_t size, std::size_t* used, const char* text) {
    std::size_t length = std::strlen(text);
    if (*used + length >= size) length = size - 1 - *used;
    std::memcpy(line + *used, text, length);
    *used += length;
    line[*used] = '\0';
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID /*reserved*/) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char program[MAX_PATH] = {};
    char dll[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH - 1);
    GetModuleFileNameA(self, dll, MAX_PATH - 1);
    char line[2 * MAX_PATH + 8];
    std::size_t used = 0;
    line[0] = '\0';
    Append(line, sizeof line, &used, program);
    Append(line, sizeof line, &used, "|");
    Append(line, sizeof line, &used, dll);
    Append(line, sizeof line, &used, "\r\n");
    HANDLE log = CreateFileA("C:\\planted-marks.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(log, line, static_cast<DWORD>(used), &written, nullptr);
        CloseHandle(log);
    }
    return TRUE;
}
