// Reading RCDATA 100 out of a Windows program, on programs built here byte
// by byte: a well-formed one, and damaged ones that must be refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "package/package_format.h"
#include "tests/tools/tools_test_bytes.h"
#include "tools/pe_rcdata.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

using testbytes::Put16;
using testbytes::Put32;

// A PE32 file with one ".rsrc" section at RVA 0x1000, file offset 0x200,
// holding the tree type -> id -> language -> data.
Bytes MakeProgram(const Bytes& payload, std::uint32_t type, std::uint32_t id) {
    const std::size_t rsrc = 0x200;
    const std::uint32_t rva = 0x1000;
    Bytes b(rsrc + 0x58 + payload.size(), 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(&b, 0x3C, 0x40);
    Put32(&b, 0x40, 0x00004550);  // "PE\0\0"
    Put16(&b, 0x40 + 4, 0x14C);   // i386
    Put16(&b, 0x40 + 6, 1);       // one section
    Put16(&b, 0x40 + 20, 224);    // optional header size
    const std::size_t optional = 0x40 + 24;
    Put16(&b, optional, 0x10B);
    Put32(&b, optional + 92, 16);                // data directories
    Put32(&b, optional + 96 + 16, rva);          // resource directory
    Put32(&b, optional + 96 + 20, static_cast<std::uint32_t>(0x58 + payload.size()));
    const std::size_t section = optional + 224;
    b[section] = '.';
    b[section + 1] = 'r';
    Put32(&b, section + 8, static_cast<std::uint32_t>(0x58 + payload.size()));
    Put32(&b, section + 12, rva);
    Put32(&b, section + 16, static_cast<std::uint32_t>(0x58 + payload.size()));
    Put32(&b, section + 20, rsrc);
    // Three directories of one numbered entry each, then the data entry.
    Put16(&b, rsrc + 14, 1);
    Put32(&b, rsrc + 16, type);
    Put32(&b, rsrc + 20, 0x80000018u);
    Put16(&b, rsrc + 0x18 + 14, 1);
    Put32(&b, rsrc + 0x18 + 16, id);
    Put32(&b, rsrc + 0x18 + 20, 0x80000030u);
    Put16(&b, rsrc + 0x30 + 14, 1);
    Put32(&b, rsrc + 0x30 + 16, 0x409);
    Put32(&b, rsrc + 0x30 + 20, 0x48);
    Put32(&b, rsrc + 0x48, rva + 0x58);
    Put32(&b, rsrc + 0x48 + 4, static_cast<std::uint32_t>(payload.size()));
    for (std::size_t i = 0; i < payload.size(); ++i) b[rsrc + 0x58 + i] = payload[i];
    return b;
}

}  // namespace

TEST(ProgramResource, FindsRcdataAndRefusesDamagedPrograms) {
    Bytes payload(20000);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7 + 3);
    Bytes program = MakeProgram(payload, 10, 100);
    EXPECT_TRUE(LooksLikeProgram(program));
    Bytes found;
    EXPECT_EQ(FindProgramResource(program, 10, 100, &found), "");
    EXPECT_EQ(found, payload);

    // Another id or type is not taken for it.
    EXPECT_NE(FindProgramResource(MakeProgram(payload, 10, 101), 10, 100, &found), "");
    EXPECT_NE(FindProgramResource(MakeProgram(payload, 3, 100), 10, 100, &found), "");

    // Data running past the end of the file, and a size that wraps.
    Bytes damaged = program;
    Put32(&damaged, 0x200 + 0x48 + 4, 20001);
    EXPECT_NE(FindProgramResource(damaged, 10, 100, &found), "");
    Put32(&damaged, 0x200 + 0x48 + 4, 0xFFFFFFF0u);
    EXPECT_NE(FindProgramResource(damaged, 10, 100, &found), "");
    // Data inside the file but running past its section's raw data.
    damaged = program;
    Put32(&damaged, 0x40 + 24 + 224 + 16, static_cast<std::uint32_t>(0x58 + payload.size() - 100));
    EXPECT_NE(FindProgramResource(damaged, 10, 100, &found), "");
    // A subdirectory offset far outside, a PE header offset outside.
    damaged = program;
    Put32(&damaged, 0x200 + 20, 0x8FFFFFF0u);
    EXPECT_NE(FindProgramResource(damaged, 10, 100, &found), "");
    damaged = program;
    Put32(&damaged, 0x3C, 0xFFFFFFF0u);
    EXPECT_NE(FindProgramResource(damaged, 10, 100, &found), "");
    // Cut anywhere, the file is refused or read correctly, never read past.
    for (std::size_t cut = 0; cut < 0x260; cut += 7) {
        Bytes part(program.begin(), program.begin() + static_cast<long>(cut));
        EXPECT_NE(FindProgramResource(part, 10, 100, &found), "") << cut;
    }
    EXPECT_FALSE(LooksLikeProgram(Bytes{'P', 'K'}));
}
