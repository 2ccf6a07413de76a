// Stand-in for "ztregsvr64.exe", the maker's 64-bit registration program.
// The 32-bit setup program cannot load a 64-bit DLL, so it starts this
// program with the raw command line " -f<path>" (register) or
// " -u  -f<path>" (unregister): no program name in front, the path unquoted
// and running to the end of the line, blanks included. It loads the DLL and
// calls its DllRegisterServer or DllUnregisterServer, and returns at once.
// Exit codes (the setup program does not read them): 0 done, 2 no "-f",
// 3 DLL not loadable, 4 entry point missing, 5 the entry point failed.
#include <string>

#include "standin_common.h"

#include <objbase.h>  // after windows.h

namespace {

struct Request {
    bool unregister = false;
    std::string dll_path;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// "-f" starts a word; everything after it, to the end of the line, is the
// path. "-u" counts only before the "-f", so a path such as "C:\x -u\y.dll"
// stays a register request.
bool ParseRequest(const std::string& line, Request* request) {
    std::size_t f = std::string::npos;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        bool word_start = i == 0 || IsBlank(line[i - 1]);
        if (word_start && line[i] == '-' && (line[i + 1] == 'f' || line[i + 1] == 'F')) {
            f = i;
            break;
        }
    }
    if (f == std::string::npos) return false;
    for (std::size_t i = 0; i + 1 < f; ++i) {
        bool word_start = i == 0 || IsBlank(line[i - 1]);
        bool word_end = i + 2 >= line.size() || IsBlank(line[i + 2]);
        if (word_start && word_end && line[i] == '-' && (line[i + 1] == 'u' || line[i + 1] == 'U'))
            request->unregister = true;
    }
    std::string path = line.substr(f + 2);
    // Tolerate what a person typing the line might add: blanks before the
    // path, quotes around it, blanks after it.
    std::size_t start = 0;
    while (start < path.size() && IsBlank(path[start])) ++start;
    std::size_t end = path.size();
    while (end > start && IsBlank(path[end - 1])) --end;
    path = path.substr(start, end - start);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    request->dll_path = path;
    return !path.empty();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* command_line = GetCommandLineA();
    LogRun(OwnFileName(nullptr).c_str(), command_line);
    LogTemp(OwnFileName(nullptr).c_str());

    Request request;
    if (!ParseRequest(command_line ? command_line : "", &request)) return 2;

    // No error boxes if the DLL or one it needs is missing.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE dll = LoadLibraryA(request.dll_path.c_str());
    if (dll == nullptr) return 3;

    using EntryPoint = HRESULT(WINAPI*)();
    const char* name = request.unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    int result = 4;
    if (entry != nullptr) {
        // The DLL's own COM calls (if any) need COM on this thread.
        HRESULT com = CoInitialize(nullptr);
        result = SUCCEEDED(entry()) ? 0 : 5;
        if (SUCCEEDED(com)) CoUninitialize();
    }
    FreeLibrary(dll);
    return result;
}
