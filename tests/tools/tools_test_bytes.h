// Small helpers the host tests share: little-endian fields in a byte buffer,
// and running the built mixpack tool with its output.
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "package/package_format.h"

namespace testbytes {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes* b, std::size_t at, std::uint32_t v) {
    (*b)[at] = static_cast<std::uint8_t>(v);
    (*b)[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes* b, std::size_t at, std::uint32_t v) { WriteLe32(b->data() + at, v); }

struct ToolRun {
    int status;
    std::string output;
};

// mixpack with the arguments (a shell command line), its exit status and
// everything it printed.
inline ToolRun Mixpack(const std::string& arguments) {
    std::string command = std::string(MIXPACK_PATH) + " " + arguments + " 2>&1";
    ToolRun run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char chunk[4096];
    std::size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) run.output.append(chunk, got);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

}  // namespace testbytes
