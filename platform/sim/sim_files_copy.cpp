// Copying files, their attributes, and opening a file for reading, on the
// simulated file system.
#include "platform/files.h"
#include "platform/sim/sim.h"

namespace {

constexpr std::uint32_t kFileAttributeReadOnly = 0x01;

SimFileSystem& Fs() { return Sim().files; }

SimFile* EntryOf(const std::string& key) {
    auto it = Fs().entries.find(key);
    return it == Fs().entries.end() ? nullptr : &it->second;
}

bool FolderExists(const std::string& key) {
    if (key.empty()) return false;
    if (Fs().roots.count(key)) return true;
    SimFile* entry = EntryOf(key);
    return entry != nullptr && entry->is_folder;
}

bool OpenForWriting(const std::string& key) {
    for (const auto& [handle, open] : Fs().open)
        if (open.key == key && open.writable) return true;
    return false;
}

bool OpenAtAll(const std::string& key) {
    for (const auto& [handle, open] : Fs().open)
        if (open.key == key) return true;
    return false;
}

// CopyFileA's work; `half`: the process dies halfway, and the target keeps
// the first half of the bytes.
int CopyBytes(const char* from, const char* to, int fail_if_exists, bool half) {
    std::string from_key = SimPathKey(from ? from : "");
    std::string to_key = SimPathKey(to ? to : "");
    SimFile* source = from_key.empty() ? nullptr : EntryOf(from_key);
    if (source == nullptr || source->is_folder || OpenForWriting(from_key)) return 0;
    if (to_key.empty() || to_key == from_key || !FolderExists(SimParentKey(to_key))) return 0;
    if (Fs().roots.count(to_key)) return 0;
    SimFile* target = EntryOf(to_key);
    if (target != nullptr) {
        // An existing target is replaced only when allowed, and not when it is
        // a folder, read-only, or in use by a program or an open handle.
        if (fail_if_exists || target->is_folder || target->read_only || target->in_use || OpenAtAll(to_key))
            return 0;
    }
    if (source->bytes.size() > Fs().free_bytes) return 0;
    std::vector<std::uint8_t> bytes = source->bytes;
    bool read_only = source->read_only;  // CopyFileA carries the attributes over
    Fs().free_bytes -= bytes.size();
    SimFile& copy = Fs().entries[to_key];
    if (copy.path.empty()) copy.path = to;
    copy.is_folder = false;
    copy.bytes = std::move(bytes);
    copy.read_only = read_only && !half;  // the attributes come last
    copy.in_use = false;
    if (half) copy.bytes.resize(copy.bytes.size() / 2);
    return 1;
}

}  // namespace

namespace plat {

int FileNamesSame(const char16_t* a, std::size_t a_length, const char16_t* b, std::size_t b_length) {
    if (a_length > kNameCompareUnits || b_length > kNameCompareUnits) return -1;
    if (a_length != b_length) return 0;
    for (std::size_t i = 0; i < a_length; ++i)
        if (SimUpperOf(a[i]) != SimUpperOf(b[i])) return 0;
    return 1;
}

int FileNamesSame(const char* a, std::size_t a_length, const char* b, std::size_t b_length) {
    std::u16string wide_a;
    std::u16string wide_b;
    if (a_length > 260 || b_length > 260 || !SimAnsiToWide(a, a_length, &wide_a) || !SimAnsiToWide(b, b_length, &wide_b))
        return -1;
    return FileNamesSame(wide_a.data(), wide_a.size(), wide_b.data(), wide_b.size());
}

int FileCopy(const char* from, const char* to, int fail_if_exists) {
    static const int op = SimOpId("FileCopy");
    bool dies = false;
    if (SimFaultHere(op, &dies)) {
        SimNoteFailedSubject("F " + SimPathKey(to ? to : ""), SimPathKey(from ? from : ""));
        return 0;
    }
    int result = CopyBytes(from, to, fail_if_exists, dies);
    if (dies) SimDie();
    return result;
}

int FileSetAttributes(const char* path, std::uint32_t attributes) {
    static const int op = SimOpId("FileSetAttributes");
    if (SimFileCallFails(op, path)) return 0;
    std::string key = SimPathKey(path ? path : "");
    if (key.empty()) return 0;
    if (Fs().roots.count(key)) return 1;
    SimFile* entry = EntryOf(key);
    if (entry == nullptr) return 0;
    entry->read_only = (attributes & kFileAttributeReadOnly) != 0;
    return 1;
}

Handle FileOpenForRead(const char* path) {
    static const int op = SimOpId("FileOpenForRead");
    if (SimFileCallFails(op, path)) return kInvalidHandle;
    std::string key = SimPathKey(path ? path : "");
    SimFile* entry = key.empty() ? nullptr : EntryOf(key);
    // A folder needs backup semantics to be opened; a file open for writing
    // (without sharing) refuses another reader.
    if (entry == nullptr || entry->is_folder || OpenForWriting(key)) return kInvalidHandle;
    Handle handle = SimNewHandle();
    Fs().open[reinterpret_cast<std::uintptr_t>(handle)] = SimOpenFile{key, false};
    return handle;
}

Handle FileHoldOwnImage(Handle /*instance*/) {
    static const int op = SimOpId("FileHoldOwnImage");
    SimNoteCall("HoldOwnImage");
    if (SimFaultHere(op) || Sim().system.own_image_hold_fails) return kInvalidHandle;
    std::string key = SimPathKey(Sim().system.module_path);
    SimFile* entry = key.empty() ? nullptr : EntryOf(key);
    if (entry == nullptr || entry->is_folder || OpenForWriting(key)) return kInvalidHandle;
    // The file under the program's name is another than the one that runs.
    if (SimImageKey() != key) return kInvalidHandle;
    Handle handle = SimNewHandle();
    Fs().open[reinterpret_cast<std::uintptr_t>(handle)] = SimOpenFile{key, false};
    return handle;
}

int FileCopyFromHandle(Handle from, const char* to) {
    static const int op = SimOpId("FileCopyFromHandle");
    bool dies = false;
    if (SimFaultHere(op, &dies)) {
        SimNoteFailedSubject("F " + SimPathKey(to ? to : ""));
        return 0;
    }
    auto open = Fs().open.find(reinterpret_cast<std::uintptr_t>(from));
    if (open == Fs().open.end() || open->second.writable) return 0;
    std::string from_key = open->second.key;
    std::string to_key = SimPathKey(to ? to : "");
    SimFile* source = EntryOf(from_key);
    if (source == nullptr || to_key.empty() || to_key == from_key || !FolderExists(SimParentKey(to_key))) return 0;
    if (Fs().roots.count(to_key)) return 0;
    SimFile* target = EntryOf(to_key);
    if (target != nullptr && (target->is_folder || target->read_only || target->in_use || OpenAtAll(to_key)))
        return 0;
    if (source->bytes.size() > Fs().free_bytes) return 0;
    std::vector<std::uint8_t> bytes = source->bytes;
    Fs().free_bytes -= bytes.size();
    SimFile& copy = Fs().entries[to_key];
    if (copy.path.empty()) copy.path = to;
    copy.is_folder = false;
    copy.bytes = std::move(bytes);
    copy.read_only = false;
    copy.in_use = false;
    // A process that dies while writing leaves the part written so far.
    if (dies) {
        copy.bytes.resize(copy.bytes.size() / 2);
        SimDie();
    }
    return 1;
}

}  // namespace plat

void SimNoteImageMoved(const std::string& from_key, const std::string& to_key) {
    SimSystem& system = Sim().system;
    std::string image = SimImageKey();
    bool below = image.size() > from_key.size() && image.compare(0, from_key.size() + 1, from_key + "\\") == 0;
    if (image != from_key && !below) return;
    system.image_moved_from = SimPathKey(system.module_path);
    system.image_moved_to = to_key + image.substr(from_key.size());
}

std::string SimImageKey() {
    const SimSystem& system = Sim().system;
    std::string key = SimPathKey(system.module_path);
    return !system.image_moved_from.empty() && system.image_moved_from == key ? system.image_moved_to : key;
}
