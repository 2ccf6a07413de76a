// The built setup program imports only KnownDLLs: Windows maps those from
// its own list and never searches for them, so nothing saved beside the
// program can stand in for them before its first line runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tools/pe_imports.h"

namespace {

// KnownDLLs on every Windows the program supports.
const std::set<std::string> kKnownDlls = {"ADVAPI32.DLL", "GDI32.DLL",    "KERNEL32.DLL", "MSVCRT.DLL", "OLE32.DLL",
                                          "OLEAUT32.DLL", "SETUPAPI.DLL", "SHELL32.DLL",  "USER32.DLL"};

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

TEST(SetupImports, OnlyKnownDllsAreImported) {
    const std::vector<std::uint8_t> program = ReadAll(MIXO_SETUP_PROGRAM);
    if (program.empty()) GTEST_SKIP() << "no cross build at " << MIXO_SETUP_PROGRAM << " (make build)";
    ProgramImports imports;
    ASSERT_EQ(ReadProgramImports(program, &imports), "");
    ASSERT_FALSE(imports.dlls.empty());
    EXPECT_NE(std::find(imports.dlls.begin(), imports.dlls.end(), "KERNEL32.dll"), imports.dlls.end());
    for (const std::string& dll : imports.dlls) EXPECT_TRUE(kKnownDlls.count(Upper(dll))) << dll << " is no KnownDLL";
    for (const std::string& dll : imports.delay_dlls)
        EXPECT_TRUE(kKnownDlls.count(Upper(dll))) << dll << " (delay-loaded) is no KnownDLL";

    // A damaged copy is refused, never read outside the file.
    for (std::size_t cut : {std::size_t{0}, std::size_t{2}, std::size_t{0x40}, std::size_t{0x100},
                            std::size_t{0x200}}) {
        std::vector<std::uint8_t> damaged(program.begin(), program.begin() + static_cast<long>(cut));
        EXPECT_NE(ReadProgramImports(damaged, &imports), "") << cut;
    }
}
