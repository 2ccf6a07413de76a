// What every stand-in program shares: its own name and folder, the run log
// the tests read, the forced exit code, and small registry and version
// helpers. The stand-ins are separate Windows programs of the product's
// maker; they include windows.h directly.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The file name of the running module (exe or DLL), e.g. "ZTCABLE_Setup.exe".
std::string OwnFileName(HMODULE module);

// The folder of the running module, without a final backslash.
std::string OwnFolder(HMODULE module);

// Appends "<exe name>|<raw command line>|<current folder>" to the run log,
// %ProgramData%\ZT-Audio\standin-runs.log (%ALLUSERSPROFILE% or %TEMP% on
// systems without ProgramData). Tests read it to see who ran, how and where.
void LogRun(const char* exe_name, const char* command_line);

// Appends "<exe name>|<TEMP>|<TMP>" to standin-temp.log beside the run
// log: the temporary folder the caller gave the program.
void LogTemp(const char* exe_name);

// The path of the run log.
std::string RunLogPath();

// Appends "<exe name>|<text>" to the notes log beside the run log
// (standin-notes.log): why a stand-in failed, for people reading a test run.
void LogNote(const char* exe_name, const std::string& text);

// A test can make a stand-in end with another code: a file named after the
// program plus ".exitcode" beside it, holding a decimal number (negative
// numbers included). Gives 1 and the code when such a file is there.
int ForcedExitCode(HMODULE module, int* code);

// The Windows generation used to pick the driver files: "win10", "win7"
// (7, 8, 8.1), "vista", "2003" or "xp", from RtlGetVersion, which reports
// the true version whatever the program's manifest says.
const char* WindowsGeneration();

// Recursively deletes a key below `root` (depth first). Gives 1 when the key
// is gone afterwards (also when it was never there).
int DeleteKeyTree(HKEY root, const std::string& path);

// The names of the direct subkeys of root\path (empty when it cannot be opened).
std::vector<std::string> SubkeyNames(HKEY root, const std::string& path);

// Reads a REG_SZ or REG_EXPAND_SZ value; gives 1 when read.
int ReadString(HKEY root, const std::string& path, const char* value, std::string* text);

// Creates root\path and writes one value into it; gives 1 when written.
int WriteString(HKEY root, const std::string& path, const char* value, const std::string& text,
                DWORD type = REG_SZ);
int WriteDword(HKEY root, const std::string& path, const char* value, DWORD data);

// ASCII case-insensitive comparisons.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
bool EndsWithIgnoreCase(const std::string& text, const std::string& tail);
