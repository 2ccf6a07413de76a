// The tokens the program can see and the impersonation of the desktop
// shell's; and opens of paths a user steers, which a pipe's server may
// identify but not impersonate.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/entries.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "tests/contract/env.h"

namespace {

struct SecurityContract : ::testing::Test {
    void SetUp() override { ContractSetUp(); }
};

bool IsSidText(const char* text) { return std::strncmp(text, "S-1-", 4) == 0 && std::strlen(text) > 5; }

}  // namespace

TEST_F(SecurityContract, TheTokensTellTheirUserAndElevationAndTheShellsCanBeImpersonated) {
    plat::TokenFacts own{};
    ASSERT_EQ(plat::OwnTokenFacts(&own), 1);
    EXPECT_TRUE(IsSidText(own.user)) << own.user;
    EXPECT_TRUE(own.elevation_type >= plat::kElevationDefault && own.elevation_type <= plat::kElevationLimited);
    if (own.elevation_type == plat::kElevationFull) {
        EXPECT_EQ(own.elevated, 1) << "a full token is elevated";
    }
    EXPECT_EQ(plat::StopImpersonating(), 1) << "nothing to end is no failure";

    plat::TokenFacts shell{};
    plat::Handle token = plat::ShellTokenOpen(&shell);
    std::printf("contract: own token %s type %d elevated %d; shell token %s", own.user, own.elevation_type,
                own.elevated, token == plat::kInvalidHandle ? "not had\n" : "");
    CONTRACT_SKIP_UNLESS(token != plat::kInvalidHandle, "no desktop shell window on this machine");
    std::printf("%s type %d elevated %d\n", shell.user, shell.elevation_type, shell.elevated);
    EXPECT_TRUE(IsSidText(shell.user)) << shell.user;
    EXPECT_STREQ(shell.user, own.user) << "the test runs on its own user's desktop";
    EXPECT_EQ(plat::ImpersonateToken(token), 1);
    // Acting as the user, the thread still reaches its own files.
    std::string folder = ContractTempFolder();
    ContractPutFile(folder + "\\as_user.txt", "x");
    EXPECT_EQ(plat::FileDelete((folder + "\\as_user.txt").c_str()), 1);
    EXPECT_EQ(plat::StopImpersonating(), 1);
    plat::TokenClose(token);
    EXPECT_EQ(plat::StopImpersonating(), 1);
}

TEST_F(SecurityContract, APipeOpenedThroughAUserSteeredPathCannotImpersonateUs) {
    auto close_entry = [](plat::Handle handle) { plat::EntryClose(handle); };
    auto close_file = [](plat::Handle handle) { plat::FileClose(handle); };
    int read = ContractPipeClientLevel([](const std::string& path) { return plat::FileOpenForRead(path.c_str()); },
                                       close_file);
    CONTRACT_SKIP_UNLESS(read != -1 && ContractPipeHonoursIdentification() == 1,
                         "no pipes whose server honours a client's identification-only request (the sim has no "
                         "pipes; Wine 8 gives every pipe's server impersonation level)");
    EXPECT_EQ(read, 1) << "a file read: identification only";
    EXPECT_EQ(ContractPipeClientLevel([](const std::string& path) { return plat::FileCreateForWrite(path.c_str()); },
                                      close_file),
              1)
        << "a file written";
    // The holds and entry opens ask the handle what it is, which a pipe may
    // not answer (then nothing is opened at all); opened, it identifies only.
    plat::EntryFacts facts{};
    EXPECT_LE(ContractPipeClientLevel([&](const std::string& path) { return plat::FolderHold(path.c_str(), &facts); },
                                      close_entry),
              1)
        << "a hold";
    EXPECT_LE(ContractPipeClientLevel([&](const std::string& path) { return plat::EntryOpen(path.c_str(), &facts); },
                                      close_entry),
              1)
        << "an entry opened to go";
}

TEST_F(SecurityContract, AnAdministratorsWriteIntoTheUsersHiveFollowsNoRegistryLink) {
    ContractRemoveRegistryTestKeys();
    const std::string base = "Software\\MixoContract";
    std::uint32_t type = 0;
    std::string bytes;
    ASSERT_EQ(plat::UserDwordWriteNoLinks((base + "\\Real\\Sub").c_str(), "value", 7), 1) << "keys made on the way";
    ASSERT_EQ(ContractGetRegistryValue(plat::kHkeyCurrentUser, base + "\\Real\\Sub", "value", &type, &bytes), 1);
    EXPECT_EQ(type, plat::kRegDword);
    EXPECT_EQ(bytes, std::string("\x07\0\0\0", 4));
    EXPECT_EQ(plat::UserDwordWriteNoLinks((base + "\\Real\\Sub").c_str(), "value", 9), 1) << "and found again";
    int linked = ContractMakeRegistryLink(base + "\\Link", base + "\\Target");
    CONTRACT_SKIP_UNLESS(linked == 1, "no registry links can be made here");
    EXPECT_EQ(plat::UserDwordWriteNoLinks((base + "\\Link").c_str(), "value", 7), 0);
    EXPECT_EQ(plat::UserDwordWriteNoLinks((base + "\\Link\\Sub").c_str(), "value", 7), 0);
    EXPECT_EQ(ContractGetRegistryValue(plat::kHkeyCurrentUser, base + "\\Target", "value", &type, &bytes), 0);
    EXPECT_TRUE(ContractRegistrySubkeys(plat::kHkeyCurrentUser, base + "\\Target").empty()) << "nothing made there";
    // The link does lead there: an ordinary write through it lands in the target.
    plat::Handle key = nullptr;
    ASSERT_EQ(plat::RegistryCreateKey(plat::kHkeyCurrentUser, (base + "\\Link\\Proof").c_str(), &key),
              plat::kErrorSuccess);
    plat::RegistryCloseKey(key);
    EXPECT_EQ(ContractRegistrySubkeys(plat::kHkeyCurrentUser, base + "\\Target").size(), 1u);
    ContractRemoveRegistryLink(base + "\\Link");
    ContractRemoveRegistryTestKeys();
}
