// `mixpack stamp` and `mixpack same` as a user runs them: a payload folder or
// a package stamped into a linked program that then verifies, and bad input
// that gives a clear message, a non-zero exit and no output file.
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
#include "tests/tools/tools_test_bytes.h"
#include "tools/pe_rcdata.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

using testbytes::Mixpack;
using testbytes::ToolRun;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct MixpackStamp : ::testing::Test {
    fs::path dir, payload, program;
    void SetUp() override {
        program = fs::path(MIXO_STAMP_FIXTURE_DIR) / "fixture_medium.exe";
        if (!fs::exists(program)) GTEST_SKIP() << "no program linked by mingw at " << program;
        dir = fs::temp_directory_path() / ("mixpack_stamp_test_" + std::to_string(getpid()));
        fs::remove_all(dir);
        payload = dir / "payload";
        std::mt19937 random(5);
        for (int i = 0; i < kPackageEntryCount; ++i) {
            std::string name = kPackageEntryNames[i];
            for (char& c : name)
                if (c == '\\') c = '/';
            Bytes bytes(1 + random() % 3000);
            for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
            WriteFile(payload / name, bytes);
        }
    }
    void TearDown() override { fs::remove_all(dir); }
    // A failed stamp: non-zero, below the crash codes, a message, no file.
    void ExpectRefused(const std::string& arguments, const fs::path& out, const char* words) {
        ToolRun run = Mixpack("stamp " + arguments + " " + out.string());
        EXPECT_NE(run.status, 0) << arguments;
        EXPECT_LT(run.status, 128) << arguments << " crashed";
        EXPECT_NE(run.output.find(words), std::string::npos) << arguments << ": " << run.output;
        EXPECT_FALSE(fs::exists(out)) << arguments;
        EXPECT_FALSE(fs::exists(out.string() + ".part")) << arguments;
    }
};

}  // namespace

TEST_F(MixpackStamp, FolderOrPackageGivesTheSameVerifiedProgram) {
    fs::path package = dir / "package.bin";
    ASSERT_EQ(Mixpack("build " + payload.string() + " " + package.string()).status, 0);
    fs::path from_folder = dir / "from_folder.exe", from_package = dir / "from_package.exe";
    ToolRun run = Mixpack("stamp " + program.string() + " " + payload.string() + " " + from_folder.string());
    ASSERT_EQ(run.status, 0) << run.output;
    run = Mixpack("stamp " + program.string() + " " + package.string() + " " + from_package.string());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReadFile(from_folder), ReadFile(from_package));
    EXPECT_EQ(fs::status(from_folder).permissions(), fs::status(program).permissions());
    run = Mixpack("verify " + from_folder.string());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("result 0"), std::string::npos);
    Bytes carried;
    EXPECT_EQ(FindProgramResource(ReadFile(from_folder), 10, 100, &carried), "");
    EXPECT_EQ(carried, ReadFile(package));

    // same: a program against itself, against the one it was stamped from.
    EXPECT_EQ(Mixpack("same " + from_folder.string() + " " + from_package.string()).status, 0);
    run = Mixpack("same " + from_folder.string() + " " + program.string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("section .rsrc"), std::string::npos) << run.output;
    // A tag applies to a payload folder only.
    run = Mixpack("stamp " + program.string() + " " + package.string() + " " + (dir / "t.exe").string() +
                  " --tag 3");
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(fs::exists(dir / "t.exe"));
}

TEST_F(MixpackStamp, BadInputLeavesNoOutput) {
    fs::path package = dir / "package.bin";
    ASSERT_EQ(Mixpack("build " + payload.string() + " " + package.string()).status, 0);
    fs::path out = dir / "out.exe";
    Bytes linked = ReadFile(program);

    // Not a program; a program without a package; cut short; damaged.
    ExpectRefused(package.string() + " " + package.string(), out, "not a Windows program");
    ExpectRefused((fs::path(MIXO_STAMP_FIXTURE_DIR) / "common" / "before.bin").string() + " " + package.string(), out,
                  "not a Windows program");
    Bytes cut(linked.begin(), linked.begin() + static_cast<long>(linked.size() / 2));
    WriteFile(dir / "cut.exe", cut);
    ExpectRefused((dir / "cut.exe").string() + " " + package.string(), out, "truncated");
    Bytes damaged = linked;
    WriteLe32(damaged.data() + ReadLe32(damaged.data() + 0x3C) + 24 + 56, 0x1000);  // SizeOfImage
    WriteFile(dir / "damaged.exe", damaged);
    ExpectRefused((dir / "damaged.exe").string() + " " + package.string(), out, "SizeOfImage");
    ExpectRefused((dir / "absent.exe").string() + " " + package.string(), out, "absent.exe");

    // The package: a program, too short, missing entries in the folder.
    ExpectRefused(program.string() + " " + program.string(), out, "not a package");
    WriteFile(dir / "short.bin", Bytes(100, 1));
    ExpectRefused(program.string() + " " + (dir / "short.bin").string(), out, "cannot be a package");
    fs::remove(payload / "readme.txt");
    ExpectRefused(program.string() + " " + payload.string(), out, "readme.txt");

    // Unwritable output: a folder that does not exist, a folder in the way.
    ExpectRefused(program.string() + " " + package.string(), dir / "no" / "such" / "out.exe", "cannot write");
    fs::create_directories(dir / "taken.exe");
    ToolRun run = Mixpack("stamp " + program.string() + " " + package.string() + " " + (dir / "taken.exe").string());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("cannot write"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_directory(dir / "taken.exe"));
    EXPECT_FALSE(fs::exists(dir / "taken.exe.part"));
    EXPECT_EQ(Mixpack("stamp " + program.string()).status, 2);
}
