// The sim's fault switch: "fail the Nth call of operation X" (or of any
// operation), and "the process dies at the Nth call". Every platform
// operation of the sim counts its calls here under its own name (the seam
// name, e.g. "FileDelete") and, when the switch says so, fails the way its
// Win32 call fails: the failure result, out-values as Windows leaves them,
// and the Win32 error where the operation gives one. Operations that cannot
// fail on Windows in a way the caller sees (CloseHandle of a good handle,
// Sleep, PostQuitMessage, ...) only count.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Thrown at the kill point: the process stops dead there. Tests catch it
// around the program's entry and then restart the machine (SimRestart).
struct SimKilled {
    std::uint64_t call = 0;  // the index of the call that never happened (or was cut short)
    bool runaway = false;    // stopped at `call_limit`: the program would not end
    bool cut = false;        // died halfway through a write, which left the part written so far
    bool ended = false;      // the program ended itself (EndProcessNow) with `exit_code`
    std::uint32_t exit_code = 0;
};

struct SimFaults {
    // Fail one call: the `fail_at`-th (1-based) call of operation `fail_op`,
    // or of any operation when `fail_op` is empty. 0: none.
    std::string fail_op;
    std::uint64_t fail_at = 0;
    std::uint64_t fail_count = 1;  // this many calls in a row from `fail_at`
    // The process dies at this call (1-based over all operations). 0: never.
    std::uint64_t kill_at = 0;
    // A run that makes this many calls is stopped as a runaway (a loop that
    // would never end). 0: no limit.
    std::uint64_t call_limit = 0;

    // An attacker's move (see SimAttackBeforeCall), made just before call
    // `move_at` (1-based over all operations) does anything. 0: none.
    std::uint64_t move_at = 0;
    std::function<bool()> move;
    int moves_made = 0;     // moves that went through
    int moves_refused = 0;  // moves that sharing or ownership refused

    std::uint64_t calls = 0;                // every call so far
    std::vector<std::uint64_t> calls_of;    // by operation id
    std::uint64_t failed = 0;               // calls failed by the switch
    std::string failed_op;                  // the operation of the last one
    // What the last failed call named, as the sweeps name places: "F " and
    // the file's key, or "R HKLM\\" (or HKCU) and the key's physical path in
    // upper case; then "|" and the call's other arguments that name things
    // (a program's command line, a DLL entry's name). Empty when the call
    // names nothing.
    std::string failed_subject;
    int inside = 0;                         // > 0 while the sim calls its own operations
    bool record = false;                    // keep the operation of every call
    std::vector<int> log;                   // operation ids in call order, when recording
};

// While one lives, the sim's own use of its operations (a shell link
// written as a file, a test script posting a message) neither counts nor
// fails: only the program's calls do.
struct SimInsideCall {
    SimInsideCall();
    ~SimInsideCall();
    SimInsideCall(const SimInsideCall&) = delete;
    SimInsideCall& operator=(const SimInsideCall&) = delete;
};

// The id of an operation by its name: the same name gives the same id for
// the whole test run.
int SimOpId(const char* name);
const std::string& SimOpName(int id);
// Counts a call of the operation. True when this call must fail; throws
// SimKilled at the kill point (before the call does anything).
bool SimFaultHere(int op);
// The same for an operation that writes: at the kill point it does not
// throw but sets *dies; the operation then writes half of what it was
// given, as a power loss in the middle of the write would leave the file,
// and calls SimDie.
bool SimFaultHere(int op, bool* dies);
[[noreturn]] void SimDie();
// Notes what the call that SimFaultHere just failed named (see
// SimFaults::failed_subject).
void SimNoteFailedSubject(const std::string& place, const std::string& arguments = "");
// Counts a call of an operation that cannot fail (only a kill stops it).
void SimCountHere(int op);
// Arms the switch on the current machine (counters restart from 0).
// Calls nth to nth + count - 1 of `op` fail; op "" = any operation.
void SimFailCall(const std::string& op, std::uint64_t nth, std::uint64_t count = 1);
void SimKillAtCall(std::uint64_t nth);

// The attacker: a program of the user who started the setup program,
// racing it. Its moves obey what Windows makes them obey: sharing (a folder
// held open, or with anything open below it, refuses to be renamed) and the
// entries' owners (the user renames nothing that only the administrator may
// change, nor in such a folder). Each gives true when it went through.
//
// Swaps the folder for a link to `target`: renames it away (to its name
// with ".old") and makes a link of its name. With `lookup_fails`, a search
// cannot look the link up (or anything below it) while paths through it
// still reach the target, as an object-manager link behind a junction.
bool SimAttackSwapFolder(const std::string& folder, const std::string& target, bool lookup_fails);
// Points the user's own folder link at another folder (a junction's
// reparse data rewritten in place): no rename, so no handle open through
// the link refuses it; what was opened through it stays what it was.
bool SimAttackRetargetLink(const std::string& link, const std::string& target);
// Arms a move for call `nth` of the run (counters restart from 0).
void SimAttackBeforeCall(std::uint64_t nth, std::function<bool()> move);
