// The setup program reader and the stamp on untrusted programs: mixpack
// reads setup programs from anywhere. Every refusal is a message; a
// program the stamp accepts comes out as one that reads back with the new
// package in it.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/pe_rcdata.h"
#include "tools/pe_stamp.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The package to stamp: its size from the input's last byte, so that both
// smaller and larger packages than the one carried are tried.
Bytes PackageFor(const Bytes& program) {
    std::size_t size = program.empty() ? 0 : program.back() * 37u;
    Bytes package(size);
    for (std::size_t i = 0; i < size; ++i) package[i] = static_cast<std::uint8_t>(i * 13 + 5);
    return package;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes program(data, data + size);
    Bytes resource;
    std::string error = FindProgramResource(program, 10, 100, &resource);
    if (error.empty() && resource.size() > program.size()) __builtin_trap();
    ProgramLayout layout;
    error = ReadProgramLayout(program, &layout);

    const Bytes package = PackageFor(program);
    Bytes stamped{1};
    error = StampProgram(program, package, &stamped);
    if (!error.empty()) {
        if (!stamped.empty()) __builtin_trap();  // a refusal leaves nothing behind
        return 0;
    }
    if (stamped.empty()) __builtin_trap();  // neither a program nor a message
    Bytes found;
    if (!ReadProgramLayout(stamped, &layout).empty()) __builtin_trap();
    if (!FindProgramResource(stamped, 10, 100, &found).empty() || found != package) __builtin_trap();
    ProgramComparison comparison = ComparePrograms(program, stamped);
    if (comparison.lines.empty()) __builtin_trap();
    return 0;
}
