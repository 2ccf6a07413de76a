// Stamping a package into a Windows program. A program laid out here from
// first principles, as a linker lays out one carrying a given package, must
// come out of the stamper byte for byte; a program the mingw toolchain links
// with another package must too; damaged programs are refused, never read
// past.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "tests/tools/tools_pe_layout.h"
#include "tools/pe_rcdata.h"
#include "tools/pe_stamp.h"

namespace fs = std::filesystem;

namespace {

using namespace pelayout;

std::vector<Resource> Resources(std::size_t package_size) {
    return {{3, 1, Pattern(0x468, 1)},   {3, 2, Pattern(0x10A8, 2)},          {10, 99, Pattern(13, 3)},
            {10, 100, Pattern(package_size, 4)}, {10, 101, Pattern(0x333, 5)}, {14, 100, Pattern(0x3E, 6)},
            {16, 1, Pattern(0x2DC, 7)},  {24, 1, Pattern(0x3BC, 8)}};
}

// Every resource of the list reads back from the program unchanged.
void ExpectResources(const Bytes& program, const std::vector<Resource>& resources, const std::string& what) {
    for (const Resource& r : resources) {
        Bytes found;
        EXPECT_EQ(FindProgramResource(program, r.type, r.id, &found), "") << what << " " << r.type << "/" << r.id;
        EXPECT_EQ(found, r.data) << what << " " << r.type << "/" << r.id;
    }
}

}  // namespace

TEST(PeStamp, GivesTheLinkersLayoutForAnyPackageSize) {
    const std::size_t original = 5000;
    Bytes program = LayOutProgram(Resources(original));
    ProgramLayout layout;
    ASSERT_EQ(ReadProgramLayout(program, &layout), "");
    EXPECT_EQ(layout.checksum, ProgramChecksum(program, kOptional + 64));
    // Sizes around the 8-byte padding, the file and section alignment, and
    // far beyond; smaller and larger than the package replaced.
    for (std::size_t size : {0ul, 1ul, 7ul, 8ul, 9ul, 4999ul, 5000ul, 5001ul, 5007ul, 0x1FFul, 0x200ul, 0x1000ul,
                             0x1001ul, 70001ul, 1300000ul}) {
        std::vector<Resource> resources = Resources(size);
        Bytes expected = LayOutProgram(resources);
        Bytes stamped;
        ASSERT_EQ(StampProgram(program, resources[3].data, &stamped), "") << size;
        EXPECT_EQ(stamped.size(), expected.size()) << size;
        EXPECT_TRUE(stamped == expected) << "package of " << size << " bytes";
        ExpectResources(stamped, resources, std::to_string(size));
        // The code, byte for byte, at the same place.
        EXPECT_TRUE(std::equal(program.begin() + 0x400, program.begin() + 0x600, stamped.begin() + 0x400));
        // And back: stamping the first package again gives the first program.
        Bytes back;
        ASSERT_EQ(StampProgram(stamped, Resources(original)[3].data, &back), "");
        EXPECT_TRUE(back == program) << size;
    }
    // Without a checksum in the input, none in the output.
    Bytes unsummed = LayOutProgram(Resources(original), true, false), stamped;
    ASSERT_EQ(StampProgram(unsummed, Pattern(77777, 4), &stamped), "");
    EXPECT_EQ(stamped, LayOutProgram(Resources(77777), true, false));
}

TEST(PeStamp, LimitsAreCheckedWithoutWrapping) {
    Bytes program = LayOutProgram(Resources(5000));
    StampPlan plan;
    ASSERT_EQ(PlanStamp(program, 0x70000000ull, &plan), "");
    EXPECT_EQ(plan.new_content, plan.old_content + 0x70000000ull - 5000);
    EXPECT_EQ(plan.layout.size_of_image + plan.va_delta, 0x2000ull + Up(plan.new_content, 0x1000) + 0x1000);
    // A 32-bit program at 0x400000 cannot map a package of nearly 4 GiB;
    // nothing passes 32 bits.
    for (std::uint64_t size : {0xFFC00000ull, 0xFFFFFFFFull, 0x100000000ull, 0xFFFFFFFFFFFFFFF0ull}) {
        std::string error = PlanStamp(program, size, &plan);
        EXPECT_NE(error.find("4 GiB"), std::string::npos) << size << ": " << error;
    }
}

TEST(PeStamp, DamagedOrUnsuitableProgramsAreRefused) {
    const Bytes package = Pattern(9000, 9);
    Bytes program = LayOutProgram(Resources(5000));
    Bytes out{1, 2, 3};
    auto refused = [&](const Bytes& input, const char* words, const char* what) {
        std::string error = StampProgram(input, package, &out);
        EXPECT_NE(error, "") << what;
        EXPECT_NE(error.find(words), std::string::npos) << what << ": " << error;
        EXPECT_TRUE(out.empty()) << what;
    };
    refused(Bytes{'P', 'K', 3, 4}, "not a Windows program", "a zip file");
    refused(LayOutProgram(Resources(5000), false), "no RCDATA 100", "no package");
    // One field of the headers or of the resource tree changed at a time.
    // In the tree: a subdirectory that points at the root (a loop), one
    // outside, and a type listed twice (the program reads RCDATA 100 under
    // the first).
    const struct {
        std::size_t at;
        std::uint32_t value;
        const char* words;
        const char* what;
    } fields[] = {
        {0x3C, 0xFFFFFFF0u, "no PE header", "PE header offset outside"},
        {kSectionTable + 40 + 20, 0xFFFFFE00u, "past the end of the file", "resource data offset outside"},
        {kOptional + 56, 0x2000, "SizeOfImage", "SizeOfImage too small"},
        {kOptional + 36, 0x300, "FileAlignment", "alignment not a power of two"},
        {kSectionTable + 80 + 36, 0xC0000040u, "cannot be moved", "a section behind the resources the code may use"},
        {kDirectories + 8, kRsrcVa + 0x10, "points into the resources", "the import table in the resources"},
        {kRsrcRaw + 16 + 8 * 2 + 4, 0x80000000u, "three levels", "a loop back to the root"},
        {kRsrcRaw + 20, 0x80FFFFF0u, "outside the resource section", "a subdirectory outside"},
        {kRsrcRaw + 16 + 8 * 2, 10, "out of order or twice", "RCDATA listed twice"},
    };
    for (const auto& field : fields) {
        Bytes damaged = program;
        Put32(&damaged, field.at, field.value);
        refused(damaged, field.words, field.what);
    }
    Bytes damaged = program;
    Put32(&damaged, kDirectories + 32, 0x5000);
    Put32(&damaged, kDirectories + 36, 0x100);
    refused(damaged, "signed", "a signature");
    ASSERT_EQ(StampProgram(program, package, &out), "");
    // Data of RCDATA 101 moved onto the package's data.
    damaged = program;
    std::uint32_t package_rva = 0;
    for (std::size_t e = 0; e < 0x400; e += 4)
        if (Get32(damaged, kRsrcRaw + e + 4) == 5000 && Get32(damaged, kRsrcRaw + e) > kRsrcVa)
            package_rva = Get32(damaged, kRsrcRaw + e), Put32(&damaged, kRsrcRaw + e + 16, package_rva + 8);
    ASSERT_NE(package_rva, 0u);
    refused(damaged, "overlaps", "two resources sharing bytes");
    // Another resource's language entry leading to the package's data entry.
    damaged = program;
    std::size_t package_entry = 0, other_link = 0;
    for (std::size_t e = 0; e < 0x400 && package_entry == 0; e += 4)
        if (Get32(damaged, kRsrcRaw + e + 4) == 5000 && Get32(damaged, kRsrcRaw + e) > kRsrcVa) package_entry = e;
    for (std::size_t at = 0; at < package_entry && other_link == 0; at += 4)
        if (Get32(damaged, kRsrcRaw + at) == 0x409 && Get32(damaged, kRsrcRaw + at + 4) != package_entry) other_link = at + 4;
    ASSERT_NE(other_link, 0u);
    Put32(&damaged, kRsrcRaw + other_link, static_cast<std::uint32_t>(package_entry));
    refused(damaged, "shared by two resources", "two resources sharing a data entry");

    // Cut anywhere: refused, never read past the end.
    for (std::size_t cut = 0; cut < program.size(); cut += 97) {
        Bytes part(program.begin(), program.begin() + static_cast<long>(cut));
        EXPECT_NE(StampProgram(part, package, &out), "") << cut;
    }
    // Random damage to the headers and tables: refused, or stamped into a
    // program that still reads back with the package in it.
    std::mt19937 random(7);
    int stamped = 0;
    for (int round = 0; round < 3000; ++round) {
        damaged = program;
        for (int flips = 1 + round % 3; flips > 0; --flips) {
            std::size_t at = random() % 2 ? random() % 0x400 : kRsrcRaw + random() % 0x140;
            damaged[at] = static_cast<std::uint8_t>(random());
        }
        if (!StampProgram(damaged, package, &out).empty()) continue;
        ++stamped;
        Bytes found;
        ProgramLayout layout;
        EXPECT_EQ(ReadProgramLayout(out, &layout), "") << round;
        EXPECT_EQ(FindProgramResource(out, 10, 100, &found), "") << round;
        EXPECT_EQ(found, package) << round;
    }
    EXPECT_GT(stamped, 100);  // harmless bytes changed: still stamped
}

// About 1 MiB of tables names 65535 x 65535 paths when every entry of one
// directory points at the same second directory: the walk must stop at its
// cap of entries with a message, not list four billion of them.
TEST(PeStamp, SharedDirectoriesCannotMultiplyTheEntries) {
    const std::size_t fanout = 0xFFFF, directory = 16 + 8 * fanout;
    Bytes program = LayOutProgram(Resources(2 * directory + 64));
    std::size_t package_entry = 0;
    for (std::size_t e = 0; e < 0x400 && package_entry == 0; e += 4)
        if (Get32(program, kRsrcRaw + e + 4) == 2 * directory + 64) package_entry = e;
    ASSERT_NE(package_entry, 0u);
    // Both directories go where the package's data was; the first type
    // points at the first of them.
    const std::size_t first = Get32(program, kRsrcRaw + package_entry) - kRsrcVa, second = first + directory;
    for (std::size_t d : {first, second}) {
        std::fill_n(program.begin() + static_cast<long>(kRsrcRaw + d), 16, 0);
        Put16(&program, kRsrcRaw + d + 14, fanout);
        for (std::size_t i = 0; i < fanout; ++i) {
            Put32(&program, kRsrcRaw + d + 16 + 8 * i, static_cast<std::uint32_t>(i + 1));
            Put32(&program, kRsrcRaw + d + 20 + 8 * i,
                  d == first ? 0x80000000u | static_cast<std::uint32_t>(second) : static_cast<std::uint32_t>(package_entry));
        }
    }
    Put32(&program, kRsrcRaw + 20, 0x80000000u | static_cast<std::uint32_t>(first));
    EXPECT_GT(program.size(), 1000000u);
    Bytes out;
    std::string error = StampProgram(program, Pattern(100, 1), &out);
    EXPECT_NE(error.find("more than 65536 entries"), std::string::npos) << error;
    EXPECT_TRUE(out.empty());
    // The package reader takes one path through the tree and still finds it.
    Bytes found;
    EXPECT_EQ(FindProgramResource(program, 10, 100, &found), "");
}

TEST(PeStamp, SameIgnoresOnlyTheLinkTime) {
    Bytes program = LayOutProgram(Resources(5000));
    ProgramComparison result = ComparePrograms(program, program);
    EXPECT_TRUE(result.same);
    Bytes relinked = program;
    Put32(&relinked, kPe + 8, 0x6B179CB8u);
    Put32(&relinked, kOptional + 64, ReferenceChecksum(relinked, kOptional + 64));
    result = ComparePrograms(program, relinked);
    EXPECT_TRUE(result.same);
    ASSERT_GE(result.lines.size(), 3u);
    EXPECT_NE(result.lines[0].find("COFF time stamp"), std::string::npos) << result.lines[0];
    EXPECT_NE(result.lines[1].find("checksum"), std::string::npos) << result.lines[1];
    Bytes patched = relinked;
    patched[0x400 + 5] ^= 1;
    result = ComparePrograms(program, patched);
    EXPECT_FALSE(result.same);
    bool named = false;
    for (const std::string& line : result.lines) named |= line.find("section .text +0x5") != std::string::npos;
    EXPECT_TRUE(named);
    Bytes other;
    ASSERT_EQ(StampProgram(program, Pattern(5000, 5), &other), "");
    result = ComparePrograms(program, other);
    EXPECT_FALSE(result.same);
    named = false;
    for (const std::string& line : result.lines) named |= line.find("section .rsrc +0x") != std::string::npos;
    EXPECT_TRUE(named);
}

namespace {

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// The program the mingw toolchain linked with packages of 13, 3000 and
// 70000 bytes (cmake/stamp_fixture.cmake): each one's package stamped into
// each other gives the linker's bytes exactly.
TEST(PeStamp, MatchesTheMingwLinkerForEveryPairOfPackages) {
    const fs::path dir = MIXO_STAMP_FIXTURE_DIR;
    const char* variants[] = {"small", "medium", "large"};
    for (const char* v : variants)
        if (!fs::exists(dir / ("fixture_" + std::string(v) + ".exe")))
            GTEST_SKIP() << "no program linked by mingw at " << dir << " (no i686-w64-mingw32 toolchain on this host)";
    for (const char* from : variants) {
        Bytes program = ReadFile(dir / ("fixture_" + std::string(from) + ".exe"));
        ProgramLayout layout;
        ASSERT_EQ(ReadProgramLayout(program, &layout), "") << from;
        EXPECT_GT(layout.sections.size(), 5u);  // code, data, .rsrc, .reloc, debug sections
        EXPECT_NE(layout.symbol_table, 0u);
        for (const char* to : variants) {
            Bytes linked = ReadFile(dir / ("fixture_" + std::string(to) + ".exe"));
            Bytes package = ReadFile(dir / to / "package.bin");
            Bytes stamped;
            ASSERT_EQ(StampProgram(program, package, &stamped), "") << from << " -> " << to;
            EXPECT_TRUE(stamped == linked) << from << " -> " << to;
            Bytes found;
            EXPECT_EQ(FindProgramResource(stamped, 10, 100, &found), "");
            EXPECT_EQ(found, package);
            for (std::uint32_t id : {99u, 101u}) {
                Bytes before, after;
                EXPECT_EQ(FindProgramResource(program, 10, id, &before), "");
                EXPECT_EQ(FindProgramResource(stamped, 10, id, &after), "");
                EXPECT_EQ(before, after) << id;
            }
        }
    }
}
