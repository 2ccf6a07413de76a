// The fault and crash sweeps: the whole silent install and the whole
// silent uninstall on a 64-bit Windows 10 machine with the DAZA device,
// once per platform call of the run, that call failing (fault sweep) or the
// process dying there (crash sweep); then what the machine holds, and what
// the user's next runs of the setup program make of it.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>

#include "tests/setup/setup_sweep_support.h"

using namespace sweep;

namespace {

// The table's codes, -5 for a window that cannot be made (setup/setup_main.h),
// -20 for a thread that could not return to the program's own rights, and the
// install's refusals when its uninstaller copy could not be the program that runs.
const std::set<int> kExitCodes = {0, 1, -1, -2, -3, -4, -5, -10, -20, -100, -101, -102, -103, -104};

// Runs "-h -u" recording its calls into `log`; gives the call numbers at
// which each piece of per-user work begins (its look at our own token).
std::vector<std::uint64_t> RecordPerUserStretches(std::vector<int>* log) {
    Sim().faults.record = true;
    RunProgram("-h -u");
    *log = Sim().faults.log;
    std::vector<std::uint64_t> begins;
    for (std::size_t i = 0; i < log->size(); ++i)
        if (SimOpName((*log)[i]) == "OwnTokenFacts") begins.push_back(i + 1);
    return begins;
}

// What the user's next runs (see RecoverToInstalled) made of a machine.
struct Recovery {
    int exit_code = 0;
    bool complete = false;      // the product's places as after a clean install
    std::string differences;    // the first of them that differ, when not
    std::string outside;        // a place outside the product that changed
};

// What a second uninstall made of a machine, and the recovery after it.
struct SecondUninstall {
    int exit_code = 0;
    bool everything_removed = false;
    std::string differences;
    Recovery recovery;
};

// What "uninstall, then restart" made of a machine.
struct Removal {
    int exit_code = 0;
    bool complete = false;      // the product's places as after a clean uninstall and restart
    std::string differences;    // the first of them that differ, when not
    std::string outside;        // a place outside the product that changed
};

struct Machines {
    SimMachine base;
    SimMachine installed;
    SimMachine installed_here;  // the same, the uninstaller copy running
    Fingerprint base_print, installed_print, removed_print, restarted_print;
    Digest base_digest, installed_digest, removed_digest, restarted_digest;
    std::uint64_t install_calls = 0, uninstall_calls = 0, uninstall_here_calls = 0;
    std::string left_by_uninstall_here;  // what differs before the restart
    std::map<Digest, Removal> removals;
    // The runs after a sweep's run depend on nothing but the machine it
    // left: what they made of each machine seen, by its digest. Many call
    // indices leave the same machine (a crash before a write leaves what a
    // crash just after the write before it left).
    std::map<Digest, Recovery> recoveries;
    std::map<Digest, SecondUninstall> second_uninstalls;
    int recovery_runs = 0;  // machines actually recovered, for the report
};

std::string FirstDifferences(const Fingerprint& reference);

// The product's places and the per-user shortcuts are those of `reference`.
bool RemovedAlike(const Digest& now, const Digest& reference) {
    return now.product == reference.product && now.user == reference.user;
}

// The machine as it is now, place by place and as a whole.
void TakePrintAndDigest(Fingerprint* print, Digest* digest) {
    *print = TakeFingerprint();
    *digest = TakeDigest();
}

// Set up once for each sweep user: the base machine, a clean install of it
// (with the per-user shortcuts an earlier version left), a clean uninstall
// of that, the restart after it, and a clean uninstall run from the
// product folder; each sweep run starts from a copy.
Machines& Shared() {
    static Machines* machines[kSweepUserCount] = {};
    Machines*& mine = machines[sweep_user];
    if (mine == nullptr) mine = [] {
        auto* m = new Machines;
        BuildBaseMachine();
        m->base = SimSnapshot();
        TakePrintAndDigest(&m->base_print, &m->base_digest);
        RunResult install = RunProgram("-h -i");
        m->install_calls = Sim().faults.calls;
        if (install.exit_code != 1 || !PackageInPlace()) ADD_FAILURE() << "the clean install fails";
        SimRestart();
        PutUserShortcuts();
        m->installed = SimSnapshot();
        TakePrintAndDigest(&m->installed_print, &m->installed_digest);
        RunResult uninstall = RunProgram("-h -u");
        m->uninstall_calls = Sim().faults.calls;
        if (uninstall.exit_code != 1) ADD_FAILURE() << "the clean uninstall fails";
        TakePrintAndDigest(&m->removed_print, &m->removed_digest);
        RestartFromDownloads();
        TakePrintAndDigest(&m->restarted_print, &m->restarted_digest);
        // Programs and Features starts the copy in the product folder.
        SimRestore(m->installed);
        RunFromProductFolder();
        m->installed_here = SimSnapshot();
        if (RunProgram("-h -u").exit_code != 1) ADD_FAILURE() << "the uninstall from the product folder fails";
        m->uninstall_here_calls = Sim().faults.calls;
        for (const std::string& place : Differences(m->removed_print, TakeFingerprint(), true))
            m->left_by_uninstall_here += " " + place;
        RestartFromDownloads();
        if (!RemovedAlike(TakeDigest(), m->restarted_digest))
            ADD_FAILURE() << "after the uninstall from the product folder and the restart:"
                          << FirstDifferences(m->restarted_print);
        return m;
    }();
    return *mine;
}

// Runs the sweep for each sweep user's machines (tests/sweep_support.h).
template <typename Sweep>
void ForEachSweepUser(Sweep sweep) {
    for (int user = 0; user < kSweepUserCount; ++user) {
        SCOPED_TRACE(kSweepUsers[user].name);
        sweep_user = user;
        sweep();
    }
    sweep_user = 0;
}

struct Findings {
    std::map<std::string, int> counts;  // by kind
    std::vector<std::string> examples;
    void Add(const std::string& kind, const std::string& detail) {
        if (counts[kind]++ < 3) examples.push_back(kind + ": " + detail);
    }
    int Total(const std::set<std::string>& kinds) const {
        int total = 0;
        for (const auto& [kind, count] : counts) total += kinds.count(kind) ? count : 0;
        return total;
    }
    int recoveries_before = Shared().recovery_runs;
    void Print(const char* title) const {
        std::printf("[ sweep ] %s%s%s; %d machines left behind were recovered anew\n", title,
                    sweep_user == 0 ? "" : ", ", sweep_user == 0 ? "" : kSweepUsers[sweep_user].name,
                    Shared().recovery_runs - recoveries_before);
        for (const auto& [kind, count] : counts) std::printf("[ sweep ]   %-40s %d\n", kind.c_str(), count);
        for (const std::string& example : examples) std::printf("[ sweep ]   e.g. %s\n", example.c_str());
    }
};

std::string Describe(std::uint64_t n) { return "call " + std::to_string(n) + " (" + Sim().faults.failed_op + ")"; }

// The product places differ from the reference: the first few, for a report.
std::string FirstDifferences(const Fingerprint& reference) {
    std::string text;
    std::vector<std::string> places = Differences(reference, TakeFingerprint(), true);
    for (std::size_t i = 0; i < places.size() && i < 3; ++i) text += " " + places[i];
    return text;
}

// A place outside the product that differs from the base machine, or "".
std::string ChangedOutside(const Digest& now) {
    const Machines& m = Shared();
    if (now.other == m.base_digest.other) return "";
    std::vector<std::string> outside = Differences(m.base_print, TakeFingerprint(), false);
    return outside.empty() ? "(digest only)" : outside[0];
}

// After a restart, COMMAND; when that is refused (-4) and ALSO_WHEN agrees,
// OTHER and then COMMAND again, each after a restart: how a user gets past
// a refusal.
template <typename Condition>
RunResult RunAgainAfterRefusal(const char* command, const char* other, Condition also_when) {
    RestartFromDownloads();
    RunResult run = RunProgram(command);
    if (run.exit_code == -4 && also_when()) {
        RestartFromDownloads();
        RunProgram(other);
        RestartFromDownloads();
        run = RunProgram(command);
    }
    return run;
}

// What a user does after a run that went wrong: "-h -i"; when that is
// refused with -4, "-h -u" and "-h -i" again. Each start after a restart.
// Run once per machine the sweeps leave behind.
const Recovery& RecoverToInstalled() {
    Machines& m = Shared();
    auto [it, fresh] = m.recoveries.try_emplace(TakeDigest());
    Recovery& recovery = it->second;
    if (!fresh) return recovery;
    ++m.recovery_runs;
    RunResult run = RunAgainAfterRefusal("-h -i", "-h -u", [] { return true; });
    recovery.exit_code = run.exit_code;
    Digest after = TakeDigest();
    recovery.complete = run.exit_code == 1 && after.product == m.installed_digest.product;
    if (!recovery.complete) recovery.differences = FirstDifferences(m.installed_print);
    recovery.outside = ChangedOutside(after);
    return recovery;
}

// The run ended as a program must: no runaway, no endless wait, a code of
// the table; nothing outside the product's places changed.
void CheckEnding(const RunResult& run, const std::string& at, Findings* findings) {
    if (run.runaway) findings->Add("runaway", at);
    if (run.hung) findings->Add("hang", at);
    if (!run.killed && !kExitCodes.count(run.exit_code))
        findings->Add("exit code outside the table", at + " gave " + std::to_string(run.exit_code));
    std::string outside = ChangedOutside(TakeDigest());
    if (!outside.empty()) findings->Add("changed outside the product", at + " " + outside);
}

void CheckFullyInstalled(const Recovery& recovery, const std::string& at, Findings* findings) {
    if (!recovery.complete)
        findings->Add("not fully installed afterwards",
                      at + " ends " + std::to_string(recovery.exit_code) + recovery.differences);
    if (!recovery.outside.empty()) findings->Add("changed outside the product", at + " " + recovery.outside);
}

// After an uninstall that went wrong: a second "-h -u" (after a restart),
// then the recovery. Run once per machine the first uninstall left.
const SecondUninstall& UninstallAgain() {
    Machines& m = Shared();
    auto [it, fresh] = m.second_uninstalls.try_emplace(TakeDigest());
    SecondUninstall& second = it->second;
    if (!fresh) return second;
    RestartFromDownloads();
    second.exit_code = RunProgram("-h -u").exit_code;
    second.everything_removed = RemovedAlike(TakeDigest(), m.removed_digest);
    if (!second.everything_removed) second.differences = FirstDifferences(m.removed_print);
    second.recovery = RecoverToInstalled();
    return second;
}

// What a user does to be rid of the product after a run that went wrong:
// "-h -u"; when that finds nothing to remove (-4) but something is left,
// "-h -i" and "-h -u" again; then the restart the uninstall asks for. The
// product's places must then be those of a clean uninstall and restart,
// but for what the uninstall keeps on purpose.
// Run once per machine the sweeps leave behind.
const Removal& UninstallThenRestart() {
    Machines& m = Shared();
    auto [it, fresh] = m.removals.try_emplace(TakeDigest());
    Removal& removal = it->second;
    if (!fresh) return removal;
    RunResult run = RunAgainAfterRefusal("-h -u", "-h -i", [&m] { return !RemovedAlike(TakeDigest(), m.restarted_digest); });
    RestartFromDownloads();
    removal.exit_code = run.exit_code;
    Digest after = TakeDigest();
    // What the uninstall keeps may differ (an install that died early wrote
    // fewer settings); nothing else may.
    removal.complete = true;
    if (!RemovedAlike(after, m.restarted_digest))
        for (const std::string& place : Differences(m.restarted_print, TakeFingerprint(), true))
            if (!KeptOnPurpose(place)) {
                removal.complete = false;
                removal.differences += " " + place;
            }
    removal.outside = ChangedOutside(after);
    return removal;
}

void CheckFullyRemoved(const Removal& removal, const std::string& at, Findings* findings) {
    if (!removal.complete)
        findings->Add("not fully removed after uninstall and restart",
                      at + " ends " + std::to_string(removal.exit_code) + removal.differences);
    if (!removal.outside.empty()) findings->Add("changed outside the product", at + " " + removal.outside);
}

// What must hold after every run, whatever failed.
const std::set<std::string> kAlwaysWrong = {"runaway", "hang", "exit code outside the table",
                                            "changed outside the product", "install says 1 without the package",
                                            "uninstall says 1, left what no failed call named",
                                            "not fully removed after uninstall and restart"};
// The recovery findings the sequences as specified cannot avoid; the sweeps
// print them (see each test) and hold them to these known points:
// - install: a failed RtlGetVersion makes the probe read the version
//   GetVersionExA admits (6.2), so Windows 10 passes for 8 and the UART INF
//   is copied; later runs read 10 and never remove it;
// - uninstall: a failed driver uninstall (or a failed IsWow64Process, which
//   hides the 64-bit ASIO drivers) is followed by the deletion of the
//   package files, the driver setup programs among them. The device stays,
//   so "-h -i" is refused (-4), and "-h -u" finds no program to remove it.
const std::set<std::string> kRecovery = {"not fully installed afterwards", "not fully removed afterwards"};
// Failed calls after which an uninstall that says 1 leaves more than they
// name, as the Parts have it: a failed IsWow64Process makes the probe take
// 64-bit Windows for 32-bit, and the uninstall then skips every 64-bit
// item: the 64-bit driver's setup program, the 64-bit ASIO DLLs.
const std::set<std::string> kLeavesMore = {"Wow64Query"};

}  // namespace

TEST(Sweeps, CleanRunsInstallAndRemoveEverything) {
    ForEachSweepUser([&] {
        const Machines& m = Shared();
        EXPECT_GT(m.install_calls, 500u);
        EXPECT_GT(m.uninstall_calls, 100u);
        // What the install puts in the product's places, and nothing else.
        EXPECT_TRUE(Differences(m.base_print, m.installed_print, false).empty());
        EXPECT_TRUE(m.installed_print.count("R HKLM\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\ZTMIXOLYTEDAZAMME"));
        EXPECT_TRUE(m.installed_print.count("R HKLM\\SOFTWARE\\ASIO\\ZTML_ASIODRIVER64.DLL"));
        EXPECT_TRUE(m.installed_print.count("F " + SimPathKey(std::string(kShortcutFolder) + "\\Mixolyte x64.LNK")));
        // The user's own shortcuts, whatever letters their folders hold.
        const std::string user_folder = "F " + SimPathKey(UserPrograms() + "\\ZT Audio");
        EXPECT_TRUE(m.installed_print.count(user_folder + "\\MIXOLYTE\\MIXOLYTE X64.LNK"));
        EXPECT_TRUE(m.installed_print.count("F " + SimPathKey(UserStartupLink())));
        EXPECT_FALSE(m.removed_print.count(user_folder)) << "the user's shortcuts and their folders go";
        EXPECT_FALSE(m.removed_print.count("F " + SimPathKey(UserStartupLink()))) << "the Startup shortcut goes";
        EXPECT_TRUE(m.removed_print.count("F " + SimPathKey(UserPrograms() + "\\Other Tool.LNK")));
        const std::string named = "M\0i\0x\0o\0l\0y\0t\0e\0";  // UTF-16LE, as the registry keeps it
        EXPECT_NE(m.installed_print.at("R HKLM\\" + SimPathKey("C:\\" + EndpointKey("Render", 1)).substr(3) +
                                       "\\PROPERTIES")
                      .find(named),
                  std::string::npos)
            << "the endpoints are named";
        // The uninstall takes it all away again, "ZT" and "ZT Audio" too, but
        // what it keeps on purpose; nothing waits for the restart.
        std::vector<std::string> left = Differences(m.base_print, m.removed_print, true);
        for (const std::string& place : left) EXPECT_TRUE(KeptOnPurpose(place)) << place << " stays after the uninstall";
        EXPECT_TRUE(left.size() >= 4) << "the settings, the loop-back flags and the ASIO keys stay";
        EXPECT_EQ(m.removed_digest, m.restarted_digest) << "the restart finds nothing to do";
        // Run from the product folder, the uninstaller moves itself aside; the
        // restart takes it and the folders, and then the machine is the same.
        EXPECT_EQ(m.left_by_uninstall_here,
                  " F " + SimPathKey(ProgramFiles(true) + "\\ZT") + " F " + SimPathKey(ProductFolder(true)) + " F " +
                      SimPathKey(ProductFolder(true) + "\\MixolyteSetup.del"));
    });
}

// One run of COMMAND from START with call N failed, its ending checked;
// CALLS (the run's length unfailed) bounds a runaway.
struct FailedCallRun {
    RunResult run;
    std::string at;  // the call, for the findings
};
FailedCallRun RunWithFailedCall(const SimMachine& start, const char* command, std::uint64_t n, std::uint64_t calls,
                                Findings* findings) {
    SimRestore(start);
    SimFailCall("", n);
    Sim().faults.call_limit = calls * 20;
    FailedCallRun result{RunProgram(command), Describe(n)};
    CheckEnding(result.run, result.at, findings);
    return result;
}

TEST(Sweeps, EveryFailedCallOfTheInstall) {
    const Machines& m = Shared();
    Findings findings;
    for (std::uint64_t n = 1; n <= m.install_calls; ++n) {
        auto [run, at] = RunWithFailedCall(m.base, "-h -i", n, m.install_calls, &findings);
        if (run.exit_code == 1 && !PackageInPlace()) findings.Add("install says 1 without the package", at);
        CheckFullyInstalled(RecoverToInstalled(), at, &findings);
    }
    findings.Print(("install, one failed call each of " + std::to_string(m.install_calls)).c_str());
    EXPECT_EQ(findings.Total(kAlwaysWrong), 0);
    EXPECT_LE(findings.Total(kRecovery), 1) << "only the version read";
}

TEST(Sweeps, EveryFailedCallOfTheUninstall) {
    ForEachSweepUser([&] {
        const Machines& m = Shared();
        Findings findings;
        for (std::uint64_t n = 1; n <= m.uninstall_calls; ++n) {
            auto [run, at] = RunWithFailedCall(m.installed, "-h -u", n, m.uninstall_calls, &findings);
            // An uninstall that says 1 has removed what a clean one removes, or
            // what it left is what the failed call named.
            if (run.exit_code == 1 && !RemovedAlike(TakeDigest(), m.removed_digest)) {
                const SimFaults& faults = Sim().faults;
                std::string unnamed;
                for (const std::string& place : Differences(m.removed_print, TakeFingerprint(), true))
                    if (!NamedByFailedCall(place, faults.failed_op, faults.failed_subject)) unnamed += " " + place;
                if (unnamed.empty())
                    findings.Add("uninstall says 1, left what the failed call named", at + " " + faults.failed_subject);
                else if (kLeavesMore.count(faults.failed_op))
                    findings.Add("uninstall says 1, left more: " + faults.failed_op, at + unnamed);
                else
                    findings.Add("uninstall says 1, left what no failed call named", at + unnamed);
            }
            // A following uninstall removes the rest, when the machine still
            // shows the product; the install after it is complete.
            const SecondUninstall& again = UninstallAgain();
            if (again.exit_code == 1 && !again.everything_removed)
                findings.Add("not fully removed afterwards", at + again.differences);
            if (again.exit_code == -4 && !again.everything_removed)
                findings.Add("left over, and uninstall refused", at + again.differences);
            CheckFullyInstalled(again.recovery, at, &findings);
        }
        findings.Print(("uninstall, one failed call each of " + std::to_string(m.uninstall_calls)).c_str());
        EXPECT_EQ(findings.Total(kAlwaysWrong), 0);
        EXPECT_LE(findings.counts["not fully installed afterwards"], 3) << "only the driver uninstall and WOW64 points";
        EXPECT_LE(findings.counts["uninstall says 1, left more: Wow64Query"], 1);
        EXPECT_GT(findings.counts["uninstall says 1, left what the failed call named"], 10) << "the check sees leftovers";
    });
}

// Kills the program at each call of one run started from START, then lets
// the user recover: every run must end fully installed; and, from the same
// machine, "uninstall, then restart" must leave nothing of the product but
// what it keeps on purpose.
Findings CrashSweep(const SimMachine& start, const char* command, std::uint64_t calls, const std::string& what) {
    Findings findings;
    for (std::uint64_t n = 1; n <= calls; ++n) {
        SimRestore(start);
        SimKillAtCall(n);
        RunResult run = RunProgram(command);
        if (!run.killed) findings.Add("not killed", std::to_string(n));
        if (run.cut) findings.Add("killed halfway through a write", std::to_string(n));
        std::string at = "crash at " + what + " call " + std::to_string(n);
        SimMachine crashed = SimSnapshot();
        CheckFullyInstalled(RecoverToInstalled(), at, &findings);
        SimRestore(crashed);
        CheckFullyRemoved(UninstallThenRestart(), at, &findings);
    }
    findings.Print((what + ", crash at each of " + std::to_string(calls) + " calls").c_str());
    EXPECT_EQ(findings.Total(kAlwaysWrong), 0);
    EXPECT_EQ(findings.counts["not killed"], 0);
    return findings;
}

TEST(Sweeps, ACrashAtEveryCallOfTheInstallRecovers) {
    const Machines& m = Shared();
    Findings findings = CrashSweep(m.base, "-h -i", m.install_calls, "install");
    // Every package file is written: a crash in each write leaves half a file.
    EXPECT_GE(findings.counts["killed halfway through a write"], kPackageEntryCount);
}

TEST(Sweeps, ACrashAtEveryCallOfTheUninstallRecovers) {
    ForEachSweepUser([&] {
        const Machines& m = Shared();
        CrashSweep(m.installed, "-h -u", m.uninstall_calls, "uninstall");
    });
}

namespace {

// The attacker's target T: precious files, some that only the
// administrator may change, named so that each folder the removal passes
// finds its names there when swapped for a link to T.
const std::string kPrecious = "C:\\Precious";

void PutPrecious() {
    for (const char* name : {"Mixolyte.LNK", "Readme.LNK", "Mixolyte (ZT-Audio).LNK", "keep.txt", "old.del",
                             "MixoLyte\\Mixolyte.LNK", "MixoLyte\\deep.txt", "ZT Audio\\MixoLyte\\Mixolyte.LNK",
                             "ZT Audio\\MixoLyte\\deep.txt"})
        SimPutFile(kPrecious + "\\" + name, Bytes("precious"));
    for (const char* name : {"keep.txt", "MixoLyte\\deep.txt", "ZT Audio\\MixoLyte\\Mixolyte.LNK"})
        SimFindFile(kPrecious + "\\" + name)->admin_only = true;
}

// Another user's Start menu X, which the user may read but not change,
// holding a shortcut folder of the product's name: what the Shell Folders
// value may name in plain form.
const std::string kOthers = "C:\\Users\\other\\Programs";

void PutOthers() {
    for (const char* name : {"ZT Audio\\MixoLyte\\ledger.dat", "ZT Audio\\MixoLyte\\Sub\\deep.txt"})
        SimPutFile(kOthers + "\\" + name, Bytes("another user's"));
    for (const SimFile* file : SimListTree(kOthers)) SimFindFile(file->path)->admin_only = true;
}

struct Move {
    std::string name;
    std::string folder;  // the folder it changes ("" for the registry value)
    std::function<bool()> make;
};

// Each move on each per-user folder the uninstall passes, and the Shell
// Folders value made a namespace path to T (which reaches T on Windows).
std::vector<Move> AttackerMoves() {
    const std::string programs = UserPrograms();
    std::vector<Move> moves;
    for (const std::string& folder : {programs, programs + "\\ZT Audio", programs + "\\ZT Audio\\MixoLyte",
                                      programs + "\\Startup"}) {
        moves.push_back({"swap " + folder, folder, [folder] { return SimAttackSwapFolder(folder, kPrecious, false); }});
        moves.push_back({"redirect " + folder, folder, [folder] { return SimAttackSwapFolder(folder, kPrecious, true); }});
    }
    moves.push_back({"Shell Folders value", "", [] {
                         SimRegPutText(plat::kHkeyCurrentUser, kShellFoldersKey, kProgramsValue, "\\\\?\\" + kPrecious);
                         return true;
                     }});
    moves.push_back({"Shell Folders value X", "", [] {
                         SimRegPutText(plat::kHkeyCurrentUser, kShellFoldersKey, kProgramsValue, kOthers);
                         return true;
                     }});
    return moves;
}

// A place outside the product's that the attacker changed itself.
bool AttackersOwn(const std::string& place, const std::string& folder) {
    if (place.rfind("R HKCU\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS", 0) == 0) return true;
    if (folder.empty()) return false;
    for (const std::string& key : {SimPathKey(folder), SimPathKey(folder + ".old")}) {
        std::string own = "F " + key;
        if (place == own || place.rfind(own + "\\", 0) == 0) return true;
    }
    return false;
}

}  // namespace

// The files outside the product's places and the attacker's own, in one
// number (a fingerprint per run would make the sweep minutes under ASan);
// NamesOutside lists them when the number differs.
std::uint64_t OutsideDigest(const std::string& folder) {
    std::uint64_t sum = 0;
    std::string place;
    for (const auto& [key, file] : Sim().files.entries) {
        place.assign("F ").append(key);
        if (IsProductPlace(place) || AttackersOwn(place, folder)) continue;
        Hasher hasher;
        hasher.Add(place);
        hasher.Add(std::uint64_t{file.is_folder} | std::uint64_t{file.read_only} << 1);
        hasher.Add(file.bytes.data(), file.bytes.size());
        hasher.Add(file.link_target);
        sum += hasher.Done();
    }
    return sum;
}

// The registry keys outside the product's places (the Shell Folders key,
// which the attacker writes, left out) in one number.
std::uint64_t RegistryOutsideDigest() {
    std::uint64_t sum = 0;
    VisitPlaces([](const std::string&, const SimFile&) {},
                [&](const std::string& place, const SimRegKey& key) {
                    if (IsProductPlace(place) || AttackersOwn(place, "")) return;
                    Hasher hasher;
                    hasher.Add(place);
                    for (const SimRegValue& value : key.values) {
                        hasher.Add(UpperName(value.name));
                        hasher.Add(value.bytes.data(), value.bytes.size());
                    }
                    sum += hasher.Done();
                });
    return sum;
}

// Before each call of the silent uninstall, one attacker move on one
// per-user folder: whatever it does, nothing in T, in another user's Start
// menu X and nothing else outside the product's places changes, and the
// run ends with a code of the table. Run with the user's own rights had
// (the shell's token) and not had (no shell: the narrowed removal).
TEST(Sweeps, AnAttackerBeforeEveryCallOfTheUninstallReachesNothingElse) {
    ForEachSweepUser([&] {
        const Machines& m = Shared();
        for (bool shell : {true, false}) {
            SCOPED_TRACE(shell ? "as the user" : "narrowed");
            SimRestore(m.installed);
            PutPrecious();
            PutOthers();
            Sim().system.shell_running = shell;
            const SimMachine start = SimSnapshot();
            const Fingerprint before = TakeFingerprint();
            const std::uint64_t registry_before = RegistryOutsideDigest();
            // The calls that matter: the run touches per-user places only from
            // the reading of the Shell Folders value (a few calls before the
            // first OwnTokenFacts, which begins each piece of per-user work) to
            // the Startup shortcut's removal (which ends before the third, that
            // of the settings), and again at the end, where an empty per-user
            // "ZT Audio" is removed (from a few calls before the last
            // OwnTokenFacts on). A move before any other call acts as one just
            // before such a stretch, or after it, so the first two calls and
            // the last stand for the rest.
            SimRestore(start);
            std::vector<int> log;
            const std::vector<std::uint64_t> begins = RecordPerUserStretches(&log);
            ASSERT_GE(begins.size(), 4u) << "the per-user shortcuts, the Startup shortcut, the settings, \"ZT Audio\"";
            std::set<std::uint64_t> indices = {1, 2, log.size()};
            for (std::uint64_t n = begins[0] > 8 ? begins[0] - 8 : 1; n <= begins[2]; ++n) indices.insert(n);
            for (std::uint64_t n = begins.back() > 16 ? begins.back() - 16 : 1; n <= log.size(); ++n) indices.insert(n);
            Findings findings;
            int made = 0, refused = 0, runs = 0, reached = 0;
            for (const Move& move : AttackerMoves()) {
                SimRestore(start);
                const std::uint64_t files_before = OutsideDigest(move.folder);
                for (std::uint64_t n : indices) {
                    SimRestore(start);
                    SimAttackBeforeCall(n, move.make);
                    Sim().faults.call_limit = m.uninstall_calls * 20;
                    RunResult run = RunProgram("-h -u");
                    ++runs;
                    made += Sim().faults.moves_made;
                    refused += Sim().faults.moves_refused;
                    std::string at = move.name + " before call " + std::to_string(n);
                    if (run.runaway || run.hung || run.killed || !kExitCodes.count(run.exit_code))
                        findings.Add("ended outside the table", at + " gave " + std::to_string(run.exit_code));
                    if (OutsideDigest(move.folder) == files_before && RegistryOutsideDigest() == registry_before)
                        continue;
                    ++reached;
                    Fingerprint after = TakeFingerprint();
                    for (const auto& [place, facts] : before) {
                        if (IsProductPlace(place) || AttackersOwn(place, move.folder)) continue;
                        auto it = after.find(place);
                        if (it == after.end() || it->second != facts)
                            findings.Add(place.rfind("F " + SimPathKey(kPrecious), 0) == 0 ? "T changed"
                                         : place.rfind("F " + SimPathKey(kOthers), 0) == 0 ? "X changed"
                                                                                            : "changed outside",
                                         at + ": " + place);
                    }
                    for (const auto& [place, facts] : after)
                        if (!before.count(place) && !IsProductPlace(place) && !AttackersOwn(place, move.folder))
                            findings.Add("made outside", at + ": " + place);
                }
            }
            findings.Print(("uninstall " + std::string(shell ? "as the user" : "narrowed") + ", " +
                            std::to_string(runs) + " runs with an attacker move; " + std::to_string(made) +
                            " moves went through, " + std::to_string(refused) + " were refused; " +
                            std::to_string(reached) + " runs changed places outside the product's")
                               .c_str());
            EXPECT_EQ(reached, 0);
            EXPECT_EQ(findings.Total({"ended outside the table", "T changed", "X changed", "changed outside",
                                      "made outside"}),
                      0);
            EXPECT_GT(made, 0) << "the attacker moved";
            EXPECT_GT(refused, 0) << "some moves are refused: a held folder, or one already gone";
        }
    });
}

// The user's Programs folder is named through a link of the user's own,
// above every folder the removal holds. Before each call of the per-user
// stretches the user points that link at a staging folder whose "ZT Audio"
// leads into T: at a full folder, or at an empty "MixoLyte"; or whose
// "Programs" leads to a folder inside the real Programs folder, so that
// the "ZT Audio" there lies below the held Programs folder but not directly
// in it. What was held stays what it was, so nothing reached by a name
// through the moved link may be touched: T and that folder stay as they were.
TEST(Sweeps, AnAttackerRetargetingALinkAboveTheHeldFoldersReachesNothingElse) {
    const Machines& m = Shared();
    const std::string link = "C:\\Users\\user\\Links\\Start";
    SimRestore(m.installed);
    PutPrecious();
    // Longer than the Start menu's path: only the letters tell them apart.
    const std::string deep = kPrecious + "\\Music kept in a folder whose name outgrows the Start menu's path\\";
    SimPutFile(deep + "Full\\MixoLyte\\Readme.LNK", Bytes("precious"));
    SimPutFile(deep + "Full\\MixoLyte\\notes.txt", Bytes("precious"));
    SimPutFolder(deep + "Hollow\\MixoLyte");
    const std::string nested = std::string(kUserPrograms) + "\\Nest";
    for (const char* name : {"Readme.LNK", "notes.txt"})
        SimPutFile(nested + "\\ZT Audio\\MixoLyte\\" + name, Bytes("precious"));
    SimPutFolder("C:\\Users\\user\\Stage Nested");
    SimPutFolderLink("C:\\Users\\user\\Stage Nested\\Programs", nested);
    for (const char* stage : {"Full", "Hollow"}) {
        SimPutFolder(std::string("C:\\Users\\user\\Stage ") + stage + "\\Programs");
        SimPutFolderLink(std::string("C:\\Users\\user\\Stage ") + stage + "\\Programs\\ZT Audio", deep + stage);
    }
    for (const char* title : {"Readme.LNK", "Mixolyte.LNK"})
        SimPutFile(std::string(kUserPrograms) + "\\ZT Audio\\MixoLyte\\" + title, Bytes("link"));
    SimPutFolder("C:\\Users\\user\\Links");
    SimPutFolderLink(link, "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu");
    SimRegPutText(plat::kHkeyCurrentUser, kShellFoldersKey, kProgramsValue, link + "\\Programs");
    static const SimMachine start = SimSnapshot();
    std::vector<int> log;
    const std::vector<std::uint64_t> begins = RecordPerUserStretches(&log);
    ASSERT_GE(begins.size(), 4u);
    EXPECT_FALSE(SimFindFile(std::string(kUserPrograms) + "\\ZT Audio")) << "unmoved, the link serves the removal";
    std::set<std::uint64_t> indices;
    for (std::uint64_t n = begins[0] > 8 ? begins[0] - 8 : 1; n <= begins[1]; ++n) indices.insert(n);
    for (std::uint64_t n = begins.back() > 16 ? begins.back() - 16 : 1; n <= log.size(); ++n) indices.insert(n);
    SimRestore(start);
    const std::uint64_t files_before = OutsideDigest(link);
    const Fingerprint before = TakeFingerprint();
    Findings findings;
    int made = 0;
    for (const char* stage : {"Full", "Hollow", "Nested"})
        for (std::uint64_t n : indices) {
            SimRestore(start);
            std::string to = std::string("C:\\Users\\user\\Stage ") + stage;
            SimAttackBeforeCall(n, [link, to] { return SimAttackRetargetLink(link, to); });
            Sim().faults.call_limit = m.uninstall_calls * 20;
            RunResult run = RunProgram("-h -u");
            made += Sim().faults.moves_made;
            std::string at = std::string("to ") + stage + " before call " + std::to_string(n);
            if (run.runaway || run.hung || run.killed || !kExitCodes.count(run.exit_code))
                findings.Add("ended outside the table", at + " gave " + std::to_string(run.exit_code));
            if (OutsideDigest(link) == files_before) continue;
            for (const std::string& place : Differences(before, TakeFingerprint(), false))
                if (!AttackersOwn(place, link)) findings.Add("changed outside", at + ": " + place);
        }
    findings.Print(("uninstall, a link above the held folders moved before each of " +
                    std::to_string(indices.size()) + " calls; " + std::to_string(made) + " moves went through")
                       .c_str());
    EXPECT_EQ(findings.Total({"ended outside the table", "changed outside"}), 0);
    EXPECT_EQ(made, 3 * static_cast<int>(indices.size())) << "nothing holds a link above";
}

TEST(Sweeps, ACrashAtEveryCallOfAnUninstallRunFromTheProductFolderRecovers) {
    ForEachSweepUser([&] {
        const Machines& m = Shared();
        EXPECT_GT(m.uninstall_here_calls, m.uninstall_calls) << "moving itself aside and scheduling cost calls";
        CrashSweep(m.installed_here, "-h -u", m.uninstall_here_calls, "uninstall from the product folder");
    });
}
