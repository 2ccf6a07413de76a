// Entries opened as themselves on the simulated file system: a link opens
// as the link, the handle shares no deletion, and a marked entry goes when
// its handle is closed.
#include <string>

#include "platform/entries.h"
#include "platform/files.h"
#include "platform/sim/sim.h"

namespace {

SimFileSystem& Fs() { return Sim().files; }

SimOpenFile* OpenEntry(plat::Handle handle) {
    auto it = Fs().open.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == Fs().open.end() || !it->second.entry ? nullptr : &it->second;
}

// Another handle than `self` is open on the key.
bool OpenElsewhere(const std::string& key, plat::Handle self) {
    for (const auto& [handle, open] : Fs().open)
        if (open.key == key && handle != reinterpret_cast<std::uintptr_t>(self)) return true;
    return false;
}

bool HasChildren(const std::string& key) {
    std::string prefix = key + "\\";
    auto it = Fs().entries.lower_bound(prefix);
    return it != Fs().entries.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

namespace {

plat::Handle OpenItself(int op, const char* path, bool deleting, plat::EntryFacts* facts) {
    std::string key = SimPathKey(path ? path : "");
    if (SimFaultHere(op)) {
        SimNoteFailedSubject("F " + key);
        return plat::kInvalidHandle;
    }
    auto it = Fs().entries.find(key);
    facts->delete_pending = 0;
    if (key.empty() || it == Fs().entries.end()) return plat::kInvalidHandle;
    if (it->second.delete_pending && !Fs().pending_reopens) {
        facts->delete_pending = 1;
        return plat::kInvalidHandle;
    }
    if (deleting && it->second.admin_only && !SimActsAsAdministrator()) return plat::kInvalidHandle;
    // A hold shares no deletion and an entry handle asks for it, so the two
    // exclude each other; entry handles share deletion among themselves.
    for (const auto& [handle, open] : Fs().open)
        if (open.key == key && deleting != open.deleting) return plat::kInvalidHandle;
    facts->is_directory = it->second.is_folder ? 1 : 0;
    facts->is_reparse_point = it->second.link_target.empty() ? 0 : 1;
    plat::Handle handle = SimNewHandle();
    SimOpenFile open;
    open.key = key;
    open.entry = true;
    open.deleting = deleting;
    Fs().open[reinterpret_cast<std::uintptr_t>(handle)] = open;
    return handle;
}

}  // namespace

namespace plat {

Handle FolderHold(const char* path, EntryFacts* facts) {
    static const int op = SimOpId("FolderHold");
    return OpenItself(op, path, false, facts);
}

Handle EntryOpen(const char* path, EntryFacts* facts) {
    static const int op = SimOpId("EntryOpen");
    return OpenItself(op, path, true, facts);
}

Handle FolderHold(const char16_t* path, EntryFacts* facts) {
    static const int op = SimOpId("FolderHold");
    return OpenItself(op, SimKeptNameOf(path ? path : u"").c_str(), false, facts);
}

Handle EntryOpen(const char16_t* path, EntryFacts* facts) {
    static const int op = SimOpId("EntryOpen");
    return OpenItself(op, SimKeptNameOf(path ? path : u"").c_str(), true, facts);
}

int EntryFinalPath(Handle entry, char16_t* out, std::size_t units) {
    static const int op = SimOpId("EntryFinalPath");
    const SimOpenFile* open = OpenEntry(entry);
    if (SimFaultHere(op)) {
        if (open != nullptr) SimNoteFailedSubject("F " + open->key);
        return 0;
    }
    if (open == nullptr) return 0;
    for (std::string key = open->key; !key.empty(); key = SimParentKey(key)) {
        auto it = Fs().entries.find(key);
        if (it != Fs().entries.end() && it->second.final_path_unanswered) return 0;
    }
    std::u16string path = SimWideOf(SimKeyToPath(open->key));
    if (path.empty() || path.size() >= units) return 0;
    path.copy(out, path.size());
    out[path.size()] = u'\0';
    return 1;
}

int EntryDelete(Handle entry) {
    static const int op = SimOpId("EntryDelete");
    SimOpenFile* open = OpenEntry(entry);
    if (SimFaultHere(op)) {
        if (open != nullptr) SimNoteFailedSubject("F " + open->key);
        return 0;
    }
    if (open == nullptr || !open->deleting) return 0;
    auto it = Fs().entries.find(open->key);
    if (it == Fs().entries.end()) return 0;
    const SimFile& file = it->second;
    if (file.read_only || file.in_use || OpenElsewhere(open->key, entry)) return 0;
    if (file.is_folder && file.link_target.empty() && HasChildren(open->key)) return 0;
    open->delete_pending = true;
    return 1;
}

int EntryRename(Handle entry, const char* to) {
    static const int op = SimOpId("EntryRename");
    SimOpenFile* open = OpenEntry(entry);
    if (SimFaultHere(op)) {
        if (open != nullptr) SimNoteFailedSubject("F " + open->key, SimPathKey(to ? to : ""));
        return 0;
    }
    if (open == nullptr || !open->deleting || open->delete_pending) return 0;
    // The rename itself obeys what a rename by path obeys, but for this
    // handle, which is the one doing it.
    SimOpenFile mine = *open;
    std::uintptr_t id = reinterpret_cast<std::uintptr_t>(entry);
    Fs().open.erase(id);
    int renamed = 0;
    {
        SimInsideCall inside;
        renamed = FileRename(mine.key.c_str(), to);
    }
    if (renamed) mine.key = SimPathKey(to);
    Fs().open[id] = mine;
    return renamed;
}

void EntryClose(Handle entry) {
    static const int op = SimOpId("EntryClose");
    SimCountHere(op);
    auto it = Fs().open.find(reinterpret_cast<std::uintptr_t>(entry));
    if (it == Fs().open.end()) return;
    SimOpenFile open = it->second;
    Fs().open.erase(it);
    if (!open.delete_pending) return;
    auto file = Fs().entries.find(open.key);
    if (file == Fs().entries.end()) return;
    // The classic disposition leaves the name while another program holds
    // the file; POSIX semantics take it now.
    if (file->second.held_sharing_delete && !Fs().posix_delete) file->second.delete_pending = true;
    else Fs().entries.erase(file);
}

}  // namespace plat
