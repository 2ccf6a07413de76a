// Counts the contract checks that the backend could not make and prints
// them at the end of the run, one line per backend run:
//   contract: N skipped on BACKEND: Suite.Test (reason); ...
// so that a run in Wine says what it did not check instead of passing
// silently.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/contract/env.h"

namespace {

class SkipReport : public testing::EmptyTestEventListener {
public:
    void OnTestEnd(const testing::TestInfo& test) override {
        const testing::TestResult* result = test.result();
        if (result == nullptr || !result->Skipped()) return;
        std::string reason;
        for (int i = 0; i < result->total_part_count(); ++i) {
            const testing::TestPartResult& part = result->GetTestPartResult(i);
            if (part.skipped() && part.message() != nullptr) reason = part.message();
        }
        skipped_.push_back(std::string(test.test_suite_name()) + "." + test.name() +
                           (reason.empty() ? "" : " (" + reason + ")"));
    }

    void OnTestProgramEnd(const testing::UnitTest& /*unit_test*/) override {
        std::string line = "contract: " + std::to_string(skipped_.size()) + " skipped on " + ContractBackendName();
        for (std::size_t i = 0; i < skipped_.size(); ++i) line += (i == 0 ? ": " : "; ") + skipped_[i];
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

private:
    std::vector<std::string> skipped_;
};

// Appended before main runs: the suite keeps GoogleTest's own main.
[[maybe_unused]] const bool kSkipReportRegistered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new SkipReport);
    return true;
}();

}  // namespace
