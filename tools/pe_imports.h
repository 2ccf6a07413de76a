// The DLLs a Windows program imports: the names in its import directory
// (loaded before its first line runs) and in its delay-load directory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ProgramImports {
    std::vector<std::string> dlls;        // import directory, in table order
    std::vector<std::string> delay_dlls;  // delay-load directory, in table order
};

// Reads the import and delay-load directories of a PE32 or PE32+ file.
// Gives an empty text on success, else what is wrong; every offset is
// checked against the file, so a damaged program cannot make it read
// outside.
std::string ReadProgramImports(const std::vector<std::uint8_t>& program, ProgramImports* imports);
