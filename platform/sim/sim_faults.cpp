#include "platform/sim/sim_faults.h"

#include <map>
#include <utility>

#include "platform/files.h"

#include "platform/sim/sim.h"

namespace {

struct OpNames {
    std::map<std::string, int> ids;
    std::vector<std::string> names;
};

OpNames& Names() {
    static OpNames names;
    return names;
}

// Counts the call; true when the switch picks it. At the kill point it
// throws, or sets *dies for an operation that dies halfway.
bool Count(int op, bool* dies = nullptr) {
    SimFaults& faults = Sim().faults;
    if (faults.inside > 0) return false;
    ++faults.calls;
    if (faults.calls_of.size() <= static_cast<std::size_t>(op)) faults.calls_of.resize(op + 1, 0);
    std::uint64_t nth = ++faults.calls_of[op];
    if (faults.record) faults.log.push_back(op);
    if (faults.move_at != 0 && faults.calls == faults.move_at && faults.move) {
        SimInsideCall inside;  // the attacker's calls are not the program's
        (faults.move() ? faults.moves_made : faults.moves_refused)++;
    }
    if (faults.kill_at != 0 && faults.calls == faults.kill_at) {
        if (dies == nullptr) throw SimKilled{faults.calls, false};
        *dies = true;
        return false;
    }
    if (faults.call_limit != 0 && faults.calls >= faults.call_limit) throw SimKilled{faults.calls, true};
    if (faults.fail_at == 0) return false;
    std::uint64_t index = faults.fail_op.empty() ? faults.calls : nth;
    if (index < faults.fail_at || index - faults.fail_at >= faults.fail_count) return false;
    return faults.fail_op.empty() || faults.fail_op == SimOpName(op);
}

}  // namespace

SimInsideCall::SimInsideCall() { ++Sim().faults.inside; }
SimInsideCall::~SimInsideCall() { --Sim().faults.inside; }

int SimOpId(const char* name) {
    OpNames& names = Names();
    auto it = names.ids.find(name);
    if (it != names.ids.end()) return it->second;
    int id = static_cast<int>(names.names.size());
    names.ids.emplace(name, id);
    names.names.push_back(name);
    return id;
}

const std::string& SimOpName(int id) { return Names().names.at(static_cast<std::size_t>(id)); }

bool SimFaultHere(int op) {
    if (!Count(op)) return false;
    SimFaults& faults = Sim().faults;
    ++faults.failed;
    faults.failed_op = SimOpName(op);
    faults.failed_subject.clear();
    return true;
}

void SimNoteFailedSubject(const std::string& place, const std::string& arguments) {
    Sim().faults.failed_subject = arguments.empty() ? place : place + "|" + arguments;
}

bool SimFaultHere(int op, bool* dies) {
    *dies = false;
    if (!Count(op, dies)) return false;
    SimFaults& faults = Sim().faults;
    ++faults.failed;
    faults.failed_op = SimOpName(op);
    faults.failed_subject.clear();
    return true;
}

void SimDie() { throw SimKilled{Sim().faults.calls, false, true}; }

void SimCountHere(int op) { Count(op); }

void SimFailCall(const std::string& op, std::uint64_t nth, std::uint64_t count) {
    SimFaults& faults = Sim().faults;
    if (!op.empty()) SimOpId(op.c_str());
    faults.fail_op = op;
    faults.fail_at = nth;
    faults.fail_count = count;
    faults.calls = 0;
    faults.calls_of.clear();
}

void SimKillAtCall(std::uint64_t nth) {
    SimFaults& faults = Sim().faults;
    faults.kill_at = nth;
    faults.calls = 0;
    faults.calls_of.clear();
}

bool SimAttackSwapFolder(const std::string& folder, const std::string& target, bool lookup_fails) {
    SimFile* entry = SimFindFile(folder);
    if (entry == nullptr || !entry->is_folder || entry->admin_only) return false;
    auto parent = Sim().files.entries.find(SimParentKey(SimPathKey(folder)));
    if (parent != Sim().files.entries.end() && parent->second.admin_only) return false;
    SimInsideCall inside;
    if (!plat::FileRename(folder.c_str(), (folder + ".old").c_str())) return false;
    SimPutFolderLink(folder, target);
    SimFindFile(folder)->lookup_fails = lookup_fails;
    return true;
}

bool SimAttackRetargetLink(const std::string& link, const std::string& target) {
    SimFile* entry = SimFindFile(link);
    std::string target_key = SimPathKey(target);
    if (entry == nullptr || entry->link_target.empty() || entry->admin_only || target_key.empty()) return false;
    entry->link_target = target_key;
    return true;
}

void SimAttackBeforeCall(std::uint64_t nth, std::function<bool()> move) {
    SimFaults& faults = Sim().faults;
    faults.move_at = nth;
    faults.move = std::move(move);
    faults.calls = 0;
    faults.calls_of.clear();
}
