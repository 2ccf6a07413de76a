// A handler for a web address's scheme, registered by a test: when started,
// it appends "self|parent|its program|address" to the file named first on
// its command line: its own process id, its parent's, and the parent's
// program file name ("-" when the parent has ended). The test tells from
// it which process started the handler.
#include <windows.h>
#include <tlhelp32.h>

#include <string>

namespace {

// The parent's id and program name from a process snapshot.
void FindParent(DWORD self, DWORD* parent, std::string* program) {
    *parent = 0;
    *program = "-";
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == self) *parent = entry.th32ParentProcessID;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (*parent != 0 && entry.th32ProcessID == *parent) *program = entry.szExeFile;
    CloseHandle(snapshot);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    DWORD parent = 0;
    std::string program;
    FindParent(GetCurrentProcessId(), &parent, &program);
    std::string line = std::to_string(GetCurrentProcessId()) + "|" + std::to_string(parent) + "|" + program + "|" +
                       (argc > 2 ? argv[2] : "") + "\r\n";
    HANDLE log = CreateFileA(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(log);
    return 0;
}
