// The mixpack tool as a user runs it: build, list, verify, extract, and
// malformed packages that must give a clear message, never a crash.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "tests/tools/tools_test_bytes.h"

namespace fs = std::filesystem;

namespace {

using testbytes::Mixpack;
using testbytes::ToolRun;

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string HostName(int index) {
    std::string name = kPackageEntryNames[index];
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

struct MixpackTool : ::testing::Test {
    fs::path dir;
    fs::path payload;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("mixpack_test_" + std::to_string(getpid()));
        fs::remove_all(dir);
        payload = dir / "payload";
        std::mt19937 random(42);
        for (int i = 0; i < kPackageEntryCount; ++i) {
            std::vector<std::uint8_t> bytes(1 + random() % 5000);
            for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
            WriteFile(payload / HostName(i), bytes);
        }
    }
    void TearDown() override { fs::remove_all(dir); }
};

}  // namespace

TEST_F(MixpackTool, BuildListVerifyExtractRoundTrip) {
    fs::path package = dir / "package.bin";
    ToolRun build = Mixpack("build " + payload.string() + " " + package.string() + " --tag 77");
    ASSERT_EQ(build.status, 0) << build.output;

    ToolRun list = Mixpack("list " + package.string());
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.output.find("mp3lame\\lame_License.txt"), std::string::npos);
    EXPECT_NE(list.output.find(" 77 inside"), std::string::npos);
    EXPECT_EQ(list.output.find("OUTSIDE"), std::string::npos);

    ToolRun verify = Mixpack("verify " + package.string());
    EXPECT_EQ(verify.status, 0) << verify.output;
    EXPECT_NE(verify.output.find("result 0"), std::string::npos);

    fs::path out = dir / "out";
    ToolRun extract = Mixpack("extract " + package.string() + " " + out.string());
    ASSERT_EQ(extract.status, 0) << extract.output;
    for (int i = 0; i < kPackageEntryCount; ++i)
        EXPECT_EQ(ReadFile(out / HostName(i)), ReadFile(payload / HostName(i))) << HostName(i);

    // One damaged stored byte: verify names the failing entries, extract
    // gives the same code and leaves the others in place.
    std::vector<std::uint8_t> bytes = ReadFile(package);
    DirectoryRecord record;
    ReadDirectoryRecord(bytes.data() + 50 * kDirectoryRecordSize, &record);
    bytes[record.offset] ^= 0xFF;
    WriteFile(package, bytes);
    verify = Mixpack("verify " + package.string());
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.output.find("entry 50 failed"), std::string::npos) << verify.output;
    EXPECT_NE(verify.output.find("entry 51 failed"), std::string::npos);
    EXPECT_EQ(verify.output.find("entry 49 failed"), std::string::npos);
    fs::path out2 = dir / "out2";
    extract = Mixpack("extract " + package.string() + " " + out2.string());
    EXPECT_EQ(extract.status, 1);
    std::string code = verify.output.substr(verify.output.find("result "));
    EXPECT_NE(extract.output.find(code), std::string::npos);
    EXPECT_FALSE(fs::exists(out2 / HostName(50)));
    EXPECT_TRUE(fs::exists(out2 / HostName(20)));
}

TEST_F(MixpackTool, MissingPayloadFileIsNamedAndLeavesNoOutput) {
    fs::remove(payload / "mp3lame" / "lame_enc64.dll");
    fs::path package = dir / "package.bin";
    ToolRun build = Mixpack("build " + payload.string() + " " + package.string());
    EXPECT_NE(build.status, 0);
    EXPECT_NE(build.output.find("lame_enc64.dll"), std::string::npos) << build.output;
    EXPECT_FALSE(fs::exists(package));
    EXPECT_FALSE(fs::exists(package.string() + ".part"));

    ToolRun usage = Mixpack("build " + payload.string());
    EXPECT_EQ(usage.status, 2);
    ToolRun bad_tag = Mixpack("build " + payload.string() + " " + package.string() + " --tag x1");
    EXPECT_NE(bad_tag.status, 0);
    EXPECT_FALSE(fs::exists(package));
}

TEST_F(MixpackTool, MalformedPackagesGiveClearErrors) {
    fs::path package = dir / "package.bin";
    ASSERT_EQ(Mixpack("build " + payload.string() + " " + package.string()).status, 0);
    std::vector<std::uint8_t> good = ReadFile(package);

    auto check_refused = [&](const std::vector<std::uint8_t>& bytes, const char* what) {
        fs::path bad = dir / "bad.bin";
        WriteFile(bad, bytes);
        for (const char* command : {"list ", "verify "}) {
            ToolRun run = Mixpack(command + bad.string());
            EXPECT_NE(run.status, 0) << what << command;
            EXPECT_LT(run.status, 128) << what << command << " crashed";
            EXPECT_NE(run.output.find("too short"), std::string::npos) << what << run.output;
        }
    };
    check_refused({}, "empty");
    check_refused(std::vector<std::uint8_t>(good.begin(), good.begin() + 1000), "truncated directory");
    check_refused(std::vector<std::uint8_t>(good.begin(), good.begin() + kPackageDirectorySize), "directory only");

    // Offsets past the end, and offset plus size past 32 bits.
    std::vector<std::uint8_t> bytes = good;
    WriteLe32(bytes.data() + 3 * kDirectoryRecordSize + kRecordOffsetAt, 0xFFFFFFF0u);
    WriteLe32(bytes.data() + 3 * kDirectoryRecordSize + kRecordSizeAt, 0x100u);
    WriteLe32(bytes.data() + 9 * kDirectoryRecordSize + kRecordOffsetAt, static_cast<std::uint32_t>(good.size()));
    fs::path bad = dir / "bad.bin";
    WriteFile(bad, bytes);
    ToolRun list = Mixpack("list " + bad.string());
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.output.find("2 entries lie outside the file"), std::string::npos) << list.output;
    ToolRun verify = Mixpack("verify " + bad.string());
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.output.find("entry 3 failed"), std::string::npos);

    // Truncated in the middle of the entry data: the tail lies outside.
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    WriteFile(bad, cut);
    verify = Mixpack("verify " + bad.string());
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.output.find("entry 97 failed"), std::string::npos);
    EXPECT_EQ(Mixpack("verify " + (dir / "absent.bin").string()).status, 1);
}
