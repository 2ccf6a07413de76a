// A small program the platform contract suite starts: it shows what it was
// given (command line and current folder), runs as long and ends with the
// exit code its switches ask for. It reads its raw command line, as the
// setup program's children do: no program name is expected in front.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Replaces the file NAME in the current folder with TEXT; the suite reads it
// back, so a file that cannot be written shows there as a missing report.
void WriteWholeFile(const char* name, const std::string& text) {
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void WriteReport(const std::string& command_line) {
    char folder[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
    WriteWholeFile("child_report.txt", command_line + "\r\n" + std::string(folder, length) + "\r\n");
}

// TEMP, TMP and whether the rest of the environment came along (the
// system's SystemRoot, the caller's own MIXO_OWN and PATH folder), into
// child_env.txt in the current folder.
void WriteEnvironment() {
    std::string report;
    for (const char* name : {"TEMP", "TMP"}) {
        char value[MAX_PATH];
        DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
        report += std::string(name) + "=" + std::string(value, length < MAX_PATH ? length : 0) + "\r\n";
    }
    char root[MAX_PATH];
    report += GetEnvironmentVariableA("SystemRoot", root, MAX_PATH) > 0 ? "SystemRoot kept\r\n" : "SystemRoot lost\r\n";
    // A variable and a PATH folder of the caller's own, which a child started
    // with the system's environment does not get.
    report += GetEnvironmentVariableA("MIXO_OWN", root, MAX_PATH) > 0 ? "MIXO_OWN kept\r\n" : "MIXO_OWN lost\r\n";
    static char path[32768];
    DWORD length = GetEnvironmentVariableA("PATH", path, sizeof path);
    bool planted = length > 0 && length < sizeof path && std::strstr(path, "mixo-planted") != nullptr;
    report += planted ? "PATH planted\r\n" : "PATH clean\r\n";
    WriteWholeFile("child_env.txt", report);
}

}  // namespace

int main() {
    std::string line = GetCommandLineA();
    long code = 0;
    std::size_t at = 0;
    while (at < line.size()) {
        std::size_t end = line.find(' ', at);
        if (end == std::string::npos) end = line.size();
        std::string word = line.substr(at, end - at);
        at = end + 1;
        if (word == "--report") {
            WriteReport(line);
        } else if (word == "--env") {
            WriteEnvironment();
        } else if (word.rfind("--sleep=", 0) == 0) {
            Sleep(static_cast<DWORD>(std::strtoul(word.c_str() + 8, nullptr, 10)));
        } else if (word.rfind("--exit=", 0) == 0) {
            code = std::strtol(word.c_str() + 7, nullptr, 10);
        }
    }
    ExitProcess(static_cast<UINT>(code));
}
