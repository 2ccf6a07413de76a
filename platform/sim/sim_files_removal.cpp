// Deleting, renaming and searching on the simulated file system, with the
// Windows facts the removal relies on: a file in use (a loaded DLL, a
// running program) or held open cannot be deleted but can be renamed; a
// rename fails when the target exists; a folder is removed only when empty;
// a folder search lists "." and ".." first in every folder but a root.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sim/sim.h"

namespace {

SimFileSystem& Fs() { return Sim().files; }

// Held open through a handle: every handle the sim gives out shares no
// deletion, so the file can be neither deleted nor renamed meanwhile.
bool HeldOpen(const std::string& key) {
    for (const auto& [handle, open] : Fs().open)
        if (open.key == key) return true;
    return false;
}

bool IsRoot(const std::string& key) { return Fs().roots.count(key) != 0; }

bool FolderExists(const std::string& key) {
    if (key.empty()) return false;
    if (IsRoot(key)) return true;
    auto it = Fs().entries.find(key);
    return it != Fs().entries.end() && it->second.is_folder;
}

bool HasChildren(const std::string& key) {
    std::string prefix = key + "\\";
    auto it = Fs().entries.lower_bound(prefix);
    return it != Fs().entries.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

// The root part of a key ("C:" or "\\SERVER\SHARE").
std::string RootOf(std::string key) {
    for (std::string parent = SimParentKey(key); !parent.empty(); parent = SimParentKey(key)) key = parent;
    return key;
}

// The last component of a path as written.
std::string LastComponent(const std::string& path) {
    std::string trimmed = SimTrimSeparators(path);
    std::size_t cut = SimLastSeparator(trimmed);
    return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

// Wildcard match, letter case ignored: '*' any run, '?' one character.
bool Glob(const char* pattern, const char* name) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name != '\0') {
        char p = static_cast<char>(std::toupper(static_cast<unsigned char>(*pattern)));
        char n = static_cast<char>(std::toupper(static_cast<unsigned char>(*name)));
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern != '\0' && (p == '?' || p == n)) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

// The name rules of a folder search: "*.*" is everything, and a final
// ".*" also takes a name without any dot ("readme.*" finds "readme").
bool MatchesSearch(const std::string& wanted, const std::string& name) {
    if (wanted == "*" || wanted == "*.*") return true;
    if (Glob(wanted.c_str(), name.c_str())) return true;
    if (wanted.size() >= 2 && wanted.compare(wanted.size() - 2, 2, ".*") == 0 && name.find('.') == std::string::npos)
        return Glob(wanted.substr(0, wanted.size() - 2).c_str(), name.c_str());
    return false;
}

void Fill(plat::FindEntry* entry, const SimFound& found) {
    SimCopyText(entry->name, sizeof entry->name, SimAnsiViewOf(found.name));
    entry->is_directory = found.is_folder ? 1 : 0;
    entry->is_reparse_point = found.is_link ? 1 : 0;
    entry->size = found.size;
}

void Fill(plat::FindEntryW16* entry, const SimFound& found) {
    std::u16string name = SimWideOf(found.name).substr(0, 259);
    name.copy(entry->name, name.size());
    entry->name[name.size()] = u'\0';
    entry->is_directory = found.is_folder ? 1 : 0;
    entry->is_reparse_point = found.is_link ? 1 : 0;
    entry->size = found.size;
}

}  // namespace

namespace plat {

int FileDelete(const char* path) {
    static const int op = SimOpId("FileDelete");
    if (SimFileCallFails(op, path)) return 0;
    std::string key = SimPathKey(path ? path : "");
    auto it = Fs().entries.find(key);
    if (key.empty() || it == Fs().entries.end()) return 0;
    const SimFile& file = it->second;
    if (file.is_folder || file.read_only || file.in_use || HeldOpen(key)) return 0;
    if (file.admin_only && !SimActsAsAdministrator()) return 0;
    Fs().entries.erase(it);
    return 1;
}

int FileRename(const char* from, const char* to) {
    static const int op = SimOpId("FileRename");
    if (SimFaultHere(op)) {
        SimNoteFailedSubject("F " + SimPathKey(from ? from : ""), SimPathKey(to ? to : ""));
        return 0;
    }
    std::string from_key = SimPathKey(from ? from : "");
    std::string to_key = SimPathKey(to ? to : "");
    if (from_key.empty() || to_key.empty()) return 0;
    auto source = Fs().entries.find(from_key);
    if (source == Fs().entries.end()) return 0;
    bool same = from_key == to_key;  // only the letter case changes
    if (!same && (IsRoot(to_key) || Fs().entries.count(to_key))) return 0;
    if (!FolderExists(SimParentKey(to_key))) return 0;
    bool is_folder = source->second.is_folder;
    // A held folder keeps its name too; an entry handle shares deletion, so
    // the name may move under it (and the handle goes along).
    for (const auto& [handle, open] : Fs().open)
        if (open.key == from_key && !open.deleting) return 0;
    if (source->second.admin_only && !SimActsAsAdministrator()) return 0;
    if (RootOf(from_key) != RootOf(to_key)) {
        // Another volume: a file is copied and the original deleted, which
        // a file in use does not allow; a folder cannot move at all.
        if (is_folder || source->second.in_use || source->second.read_only) return 0;
    }
    if (is_folder) {
        if (to_key.compare(0, from_key.size() + 1, from_key + "\\") == 0) return 0;  // into itself
        std::string prefix = from_key + "\\";
        // A file below that is open or in use pins the folder's name.
        for (const auto& [handle, open] : Fs().open)
            if (open.key.compare(0, prefix.size(), prefix) == 0) return 0;
        for (auto it = Fs().entries.lower_bound(prefix);
             it != Fs().entries.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
            if (it->second.in_use) return 0;
    }

    // Move the entry and, for a folder, everything below it.
    std::string prefix = from_key + "\\";
    std::vector<std::string> moving{from_key};
    if (is_folder)
        for (auto it = Fs().entries.lower_bound(prefix);
             it != Fs().entries.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
            moving.push_back(it->first);
    std::string to_path = SimTrimSeparators(to);
    std::size_t from_path_length = source->second.path.size();
    std::vector<SimFile> moved;
    for (const std::string& key : moving) {
        SimFile file = Fs().entries[key];
        file.path = to_path + file.path.substr(std::min(from_path_length, file.path.size()));
        moved.push_back(file);
        Fs().entries.erase(key);
    }
    for (std::size_t i = 0; i < moving.size(); ++i)
        Fs().entries[to_key + moving[i].substr(from_key.size())] = moved[i];
    for (auto& [handle, open] : Fs().open)
        if (open.key == from_key) open.key = to_key;
    SimNoteImageMoved(from_key, to_key);
    return 1;
}

int FolderRemove(const char* path) {
    static const int op = SimOpId("FolderRemove");
    if (SimFileCallFails(op, path)) return 0;
    std::string key = SimPathKey(path ? path : "");
    auto it = Fs().entries.find(key);
    if (key.empty() || it == Fs().entries.end()) return 0;  // a root is no entry
    if (!it->second.is_folder || it->second.read_only || HasChildren(key) || HeldOpen(key)) return 0;
    Fs().entries.erase(it);
    return 1;
}

namespace {

template <typename Entry>
Handle FindFirstKept(const char* pattern, Entry* entry) {
    static const int op = SimOpId("FindFirst");
    bool fails = SimFaultHere(op);
    std::string text = pattern ? pattern : "";
    std::size_t cut = SimLastSeparator(text);
    if (cut == std::string::npos) return kInvalidHandle;  // no relative searches on the sim
    std::string wanted = text.substr(cut + 1);
    // The searched folder is reached through links, also when it is one.
    std::string folder_text = text.substr(0, cut);
    while (folder_text.size() > 2 && SimLastSeparator(folder_text) == folder_text.size() - 1) folder_text.pop_back();
    std::string folder = SimParentKey(SimPathKey(folder_text + "\\|"));
    if (fails) SimNoteFailedSubject("F " + folder);
    if (fails || wanted.empty() || !FolderExists(folder) || SimPassesUnseenLink(text)) return kInvalidHandle;

    SimSearch search;
    search.folder = folder;
    if (!IsRoot(folder)) {
        for (const char* dots : {".", ".."})
            if (MatchesSearch(wanted, dots)) search.found.push_back(SimFound{dots, true, false});
    }
    std::string prefix = folder + "\\";
    for (auto it = Fs().entries.lower_bound(prefix);
         it != Fs().entries.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->first.find('\\', prefix.size()) != std::string::npos) continue;  // deeper down
        std::string name = LastComponent(it->second.path);
        if (MatchesSearch(wanted, name))
            search.found.push_back(SimFound{name, it->second.is_folder, !it->second.link_target.empty(),
                                            it->second.is_folder ? 0 : it->second.bytes.size()});
    }
    if (search.found.empty()) return kInvalidHandle;
    Fill(entry, search.found[0]);
    search.next = 1;
    Handle handle = SimNewHandle();
    Fs().searches[reinterpret_cast<std::uintptr_t>(handle)] = search;
    return handle;
}

template <typename Entry>
int FindNextOf(Handle search, Entry* entry) {
    static const int op = SimOpId("FindNext");
    if (SimFaultHere(op)) {
        auto open = Fs().searches.find(reinterpret_cast<std::uintptr_t>(search));
        if (open != Fs().searches.end()) SimNoteFailedSubject("F " + open->second.folder);
        return 0;
    }
    auto it = Fs().searches.find(reinterpret_cast<std::uintptr_t>(search));
    if (it == Fs().searches.end() || it->second.next >= it->second.found.size()) return 0;
    Fill(entry, it->second.found[it->second.next++]);
    return 1;
}

}  // namespace

Handle FindFirst(const char* pattern, FindEntry* entry) { return FindFirstKept(pattern, entry); }
Handle FindFirst(const char16_t* pattern, FindEntryW16* entry) {
    return FindFirstKept(SimKeptNameOf(pattern ? pattern : u"").c_str(), entry);
}
int FindNext(Handle search, FindEntry* entry) { return FindNextOf(search, entry); }
int FindNext(Handle search, FindEntryW16* entry) { return FindNextOf(search, entry); }

void FindClose(Handle search) {
    static const int op = SimOpId("FindClose");
    SimCountHere(op);
    Fs().searches.erase(reinterpret_cast<std::uintptr_t>(search));
}

int FileDeleteAtRestart(const char* path) {
    static const int op = SimOpId("FileDeleteAtRestart");
    if (SimFileCallFails(op, path)) return 0;
    // Windows checks nothing but the form of the path now.
    if (SimPathKey(path ? path : "").empty()) return 0;
    Fs().pending_deletions.push_back(path);
    return 1;
}

}  // namespace plat

void SimRunPendingDeletions() {
    std::vector<std::string> pending;
    pending.swap(Fs().pending_deletions);
    for (const std::string& path : pending) {
        std::string key = SimPathKey(path);
        auto it = Fs().entries.find(key);
        if (key.empty() || it == Fs().entries.end() || it->second.read_only) continue;
        if (it->second.is_folder && it->second.link_target.empty() && HasChildren(key)) continue;
        Fs().entries.erase(it);
    }
}
