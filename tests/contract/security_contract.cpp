// The tokens the program can see and the impersonation of the desktop
// shell's; and opens of paths a user steers, which a pipe's server may
// identify but not impersonate.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/entries.h"
#include "platform/files.h"
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
    plat::EntryFacts facts{};
    int hold = ContractPipeClientLevel(
        [&](const std::string& path) { return plat::FolderHold(path.c_str(), &facts); }, close_entry);
    CONTRACT_SKIP_UNLESS(hold != -1, "no named pipes whose server can impersonate its client");
    EXPECT_EQ(hold, 1) << "a hold: identification only";
    EXPECT_EQ(ContractPipeClientLevel([&](const std::string& path) { return plat::EntryOpen(path.c_str(), &facts); },
                                      close_entry),
              1)
        << "an entry opened to go";
    EXPECT_EQ(ContractPipeClientLevel([](const std::string& path) { return plat::FileOpenForRead(path.c_str()); },
                                      close_file),
              1)
        << "a file read";
    EXPECT_EQ(ContractPipeClientLevel([](const std::string& path) { return plat::FileCreateForWrite(path.c_str()); },
                                      close_file),
              1)
        << "a file written";
}
