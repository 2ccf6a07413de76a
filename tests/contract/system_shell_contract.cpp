// What the version sources, WOW64, the named mutex, threads, the module
// path, the User32 lookup and the shell's "open" do.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/shell.h"
#include "platform/system.h"
#include "tests/contract/env.h"

namespace {

struct SystemContract : ::testing::Test {
    void SetUp() override { ContractSetUp(); }
};

struct ThreadProbe {
    int ran;
    int lowered;
};

std::uint32_t ThreadBody(void* parameter) {
    auto* probe = static_cast<ThreadProbe*>(parameter);
    probe->lowered = plat::ThreadLowerPriority();
    probe->ran = 1;
    return 5;
}

}  // namespace

TEST_F(SystemContract, VersionSourcesAgreeAndRefuseUnknownSizes) {
    plat::OsVersion long_form{};
    ASSERT_EQ(plat::VersionRead(plat::kVersionInfoExSize, &long_form), 1);
    EXPECT_GE(long_form.major, 5u);
    EXPECT_EQ(long_form.platform_id, 2u);  // VER_PLATFORM_WIN32_NT
    EXPECT_GE(long_form.product_type, 1);
    plat::OsVersion short_form{};
    ASSERT_EQ(plat::VersionRead(plat::kVersionInfoSize, &short_form), 1);
    EXPECT_EQ(short_form.major, long_form.major);
    EXPECT_EQ(short_form.minor, long_form.minor);
    EXPECT_EQ(short_form.product_type, 0);  // the short form has none
    plat::OsVersion refused{};
    EXPECT_EQ(plat::VersionRead(100, &refused), 0);

    plat::OsVersion true_version{};
    std::int32_t status = -1;
    ASSERT_EQ(plat::RtlVersionRead(&true_version, &status), 1);
    EXPECT_EQ(status, 0);
    // The true version is never older than what the compatibility answer admits.
    EXPECT_GE(true_version.major * 100 + true_version.minor, long_form.major * 100 + long_form.minor);
}

TEST_F(SystemContract, TheAnsiCodePagesLeadBytesAreTold) {
    plat::AnsiLeadBytes page;
    ASSERT_EQ(plat::AnsiCodePageLeadBytes(&page), 1);
    int leads = 0;
    for (int b = 0; b < 256; ++b) leads += page.lead[b];
    for (int b = 0; b < 0x80; ++b) EXPECT_EQ(page.lead[b], 0) << "ASCII byte " << b;
    const unsigned code_page = ContractAnsiCodePage();
    if (code_page == 932) {
        EXPECT_EQ(leads, 0x9F - 0x81 + 1 + 0xFC - 0xE0 + 1);
        EXPECT_EQ(page.lead[0x95], 1) << "the first byte of a character whose second is 0x5C";
        EXPECT_EQ(page.lead[0xA0], 0) << "a half-width katakana stands alone";
    }
    if (code_page == 1252) {
        EXPECT_EQ(leads, 0);
    }
    CONTRACT_SKIP_UNLESS(code_page == 1252 || code_page == 932, "the ANSI code page is " << code_page);
}

TEST_F(SystemContract, Wow64MatchesTheMachine) {
    int is_wow64 = -1;
    ASSERT_EQ(plat::Wow64Query(&is_wow64), 1);
    EXPECT_EQ(is_wow64, sizeof(void*) == 4 ? ContractIs64BitWindows() : 0);
}

TEST_F(SystemContract, NamedMutexTellsASecondHandleApart) {
    const std::string name = "MixoContract Mutex {7C1E5A32-0B7D-4F7A-A1C2-5E8F9D3B2A10}";
    std::uint32_t error = 12345;
    plat::Handle first = plat::MutexCreate(name.c_str(), 1, &error);
    ASSERT_NE(first, plat::kInvalidHandle);
    EXPECT_NE(error, plat::kErrorAlreadyExists);
    std::uint32_t again_error = 0;
    plat::Handle second = plat::MutexCreate(name.c_str(), 1, &again_error);
    ASSERT_NE(second, plat::kInvalidHandle);
    EXPECT_EQ(again_error, plat::kErrorAlreadyExists);

    // Owned once by the creation, once more by the wait: two releases.
    EXPECT_EQ(plat::MutexWait(first, plat::kInfinite), plat::kWaitObject0);
    EXPECT_EQ(plat::MutexRelease(first), 1);
    EXPECT_EQ(plat::MutexRelease(first), 1);
    EXPECT_EQ(plat::MutexRelease(first), 0);
    plat::MutexClose(second);
    plat::MutexClose(first);

    // Once every handle is closed the name is free again.
    plat::Handle fresh = plat::MutexCreate(name.c_str(), 0, &error);
    ASSERT_NE(fresh, plat::kInvalidHandle);
    EXPECT_NE(error, plat::kErrorAlreadyExists);
    EXPECT_EQ(plat::MutexRelease(fresh), 0);  // not owned
    plat::MutexClose(fresh);

    // An unnamed mutex is nobody else's.
    plat::Handle unnamed_a = plat::MutexCreate(nullptr, 0, &error);
    plat::Handle unnamed_b = plat::MutexCreate(nullptr, 0, &error);
    ASSERT_NE(unnamed_b, plat::kInvalidHandle);
    EXPECT_NE(error, plat::kErrorAlreadyExists);
    plat::MutexClose(unnamed_a);
    plat::MutexClose(unnamed_b);
}

TEST_F(SystemContract, ThreadsRunTheirEntryAndCanBeWaitedFor) {
    ThreadProbe probe{0, 0};
    std::uint32_t id = 0;
    plat::Handle thread = plat::ThreadCreate(ThreadBody, &probe, &id);
    ASSERT_NE(thread, plat::kInvalidHandle);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(plat::ThreadWait(thread, plat::kInfinite), plat::kWaitObject0);
    EXPECT_EQ(probe.ran, 1);
    EXPECT_EQ(probe.lowered, 1);
    // An ended thread stays signalled.
    EXPECT_EQ(plat::ThreadWait(thread, 0), plat::kWaitObject0);
    plat::ThreadClose(thread);
}

TEST_F(SystemContract, ModuleFileNameIsCutAndTerminated) {
    char path[1024];
    std::uint32_t length = plat::ModuleFileName(nullptr, path, sizeof path);
    ASSERT_GT(length, 4u);
    EXPECT_EQ(std::strlen(path), length);
    std::string tail = path + length - 4;
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    EXPECT_EQ(tail, ".exe");
    EXPECT_NE(std::strchr(path, '\\'), nullptr);

    char small[10];
    std::memset(small, 'z', sizeof small);
    EXPECT_EQ(plat::ModuleFileName(nullptr, small, sizeof small), 9u);
    EXPECT_EQ(small[9], '\0');
    EXPECT_EQ(std::string(small), std::string(path, 9));
}

TEST_F(SystemContract, ComStartsWithItsSecuritySetOnce) {
    std::int32_t first = plat::ComInitialize();
    ASSERT_GE(first, 0);
    // A second start works too and sets nothing again; COM's in-process
    // objects work under the security the first start set.
    std::int32_t again = plat::ComInitialize();
    EXPECT_GE(again, 0);
    if (again >= 0) plat::ComUninitialize();
    std::string link = ContractTempFolder() + "\\after security.lnk";
    EXPECT_EQ(plat::ShellLinkCreate(link.c_str(), "C:\\Windows\\notepad.exe", "Notepad", nullptr, "C:\\Windows"),
              plat::kHresultOk);
    plat::ComUninitialize();
    const int set = ContractComSecurityIsSet();
    CONTRACT_SKIP_UNLESS(set >= 0, "Wine's CoInitializeSecurity is a stub that accepts every call");
    EXPECT_EQ(set, 1);
}

TEST_F(SystemContract, User32HasTheWindowTextReader) {
    plat::Handle user32 = plat::User32Open();
    ASSERT_NE(user32, plat::kInvalidHandle);
    EXPECT_NE(plat::User32WindowTextReader(user32), nullptr);
    plat::User32Close(user32);
    EXPECT_EQ(plat::User32WindowTextReader(nullptr), nullptr);
    EXPECT_EQ(plat::User32WindowTextReader(plat::kInvalidHandle), nullptr);
}

