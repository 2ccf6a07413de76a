#include <algorithm>
#include <cstring>

#include "platform/files.h"
#include "platform/sim/sim.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Length of the root part of an upper-cased path: "C:" or "\\SERVER\SHARE".
std::size_t RootLength(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':' && path[0] >= 'A' && path[0] <= 'Z') return 2;
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        std::size_t server_end = path.find('\\', 2);
        if (server_end == std::string::npos || server_end == 2) return 0;
        std::size_t share_end = path.find('\\', server_end + 1);
        if (share_end == server_end + 1) return 0;
        return share_end == std::string::npos ? path.size() : share_end;
    }
    return 0;
}

SimFileSystem& Fs() { return Sim().files; }

// Each double-byte character as "\x01" and its two bytes in hex (see
// SimKeyToPath); single-byte code pages leave the path as it is.
std::string EscapeDoubleBytes(const std::string& path) {
    if (Sim().system.ansi_code_page == 1252) return path;
    static const char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (std::size_t i = 0; i < path.size(); ++i) {
        auto byte = static_cast<unsigned char>(path[i]);
        if (!SimIsLeadByte(byte) || i + 1 >= path.size()) {
            escaped += path[i];
            continue;
        }
        auto second = static_cast<unsigned char>(path[++i]);
        escaped += {'\x01', kHex[byte >> 4], kHex[byte & 15], kHex[second >> 4], kHex[second & 15]};
    }
    return escaped;
}

bool ParentExists(const std::string& key) {
    std::string parent = SimParentKey(key);
    if (parent.empty()) return false;
    if (Fs().roots.count(parent)) return true;
    auto it = Fs().entries.find(parent);
    return it != Fs().entries.end() && it->second.is_folder;
}

// Follows the links among the key's folders (not its last component).
// Links that lead round in circles stop after a Windows-like 31 hops.
std::string ResolveLinks(std::string key) {
    for (int hops = 0; hops < 31; ++hops) {
        std::size_t root = RootLength(key);
        bool followed = false;
        for (std::size_t end = key.find('\\', root + 1); end != std::string::npos; end = key.find('\\', end + 1)) {
            auto it = Fs().entries.find(key.substr(0, end));
            if (it == Fs().entries.end() || it->second.link_target.empty()) continue;
            key = it->second.link_target + key.substr(end);
            followed = true;
            break;
        }
        if (!followed) break;
    }
    return key;
}

bool HasOpenHandle(const std::string& key) {
    for (const auto& [h, open] : Fs().open)
        if (open.key == key) return true;
    return false;
}

}  // namespace

bool SimIsLeadByte(unsigned char byte) {
    switch (Sim().system.ansi_code_page) {
        case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936: case 949: case 950: return byte >= 0x81 && byte <= 0xFE;
        default: return false;
    }
}

std::size_t SimLastSeparator(const std::string& path) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' || path[i] == '/') last = i;
        if (SimIsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) ++i;
    }
    return last;
}

std::string SimTrimSeparators(const std::string& path) {
    std::string trimmed = path;
    while (!trimmed.empty() && SimLastSeparator(trimmed) == trimmed.size() - 1) trimmed.pop_back();
    return trimmed;
}

std::string SimKeyToPath(const std::string& key) {
    if (key.find('\x01') == std::string::npos) return key;
    std::string path;
    auto hex = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] != '\x01' || i + 4 >= key.size()) {
            path += key[i];
            continue;
        }
        path += static_cast<char>(hex(key[i + 1]) << 4 | hex(key[i + 2]));
        path += static_cast<char>(hex(key[i + 3]) << 4 | hex(key[i + 4]));
        i += 4;
    }
    return path;
}

bool SimFileCallFails(int op, const char* path) {
    if (!SimFaultHere(op)) return false;
    SimNoteFailedSubject("F " + SimPathKey(path ? path : ""));
    return true;
}

std::string SimPathKey(const std::string& path) {
    std::string key = Upper(EscapeDoubleBytes(path));
    for (char& c : key)
        if (c == '/') c = '\\';  // Windows reads both as separators
    // The namespace forms of a drive path ("\\?\C:\...", "\\.\C:\...")
    // reach the same files.
    if (key.size() >= 6 && key[0] == '\\' && key[1] == '\\' && (key[2] == '?' || key[2] == '.') &&
        key[3] == '\\' && key[5] == ':')
        key.erase(0, 4);
    std::size_t root = RootLength(key);
    if (root == 0) return "";
    if (root < key.size() && key[root] != '\\') return "";  // "C:foo" is relative
    while (key.size() > root && key.back() == '\\') key.pop_back();
    if (key.find("\\\\", 2) != std::string::npos) return "";
    // Windows resolves "." and ".." components before it looks a path up;
    // ".." stops at the root. Most paths have none: they are looked up as
    // they are.
    if (key.find("\\.", root) == std::string::npos) return Fs().has_links ? ResolveLinks(key) : key;
    std::vector<std::string> parts;
    for (std::size_t start = root + 1; start <= key.size();) {
        std::size_t end = key.find('\\', start);
        if (end == std::string::npos) end = key.size();
        std::string part = key.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    key.resize(root);
    for (const std::string& part : parts) key += "\\" + part;
    return Fs().has_links ? ResolveLinks(key) : key;
}

std::string SimParentKey(const std::string& key) {
    std::size_t root = RootLength(key);
    if (root == 0 || key.size() <= root) return "";
    return key.substr(0, key.rfind('\\'));
}

void SimAddRoot(const std::string& root) { Fs().roots.insert(SimPathKey(root)); }

void SimPutFolder(const std::string& path) {
    std::string key = SimPathKey(path);
    if (key.empty() || Fs().roots.count(key)) return;
    std::string parent = SimParentKey(key);
    if (!parent.empty() && !Fs().roots.count(parent)) {
        std::string trimmed = SimTrimSeparators(path);
        SimPutFolder(trimmed.substr(0, SimLastSeparator(trimmed)));
    }
    SimFile& entry = Fs().entries[key];
    if (entry.path.empty()) entry.path = path;
    entry.is_folder = true;
}

void SimPutFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::string key = SimPathKey(path);
    if (key.empty()) return;
    std::size_t cut = SimLastSeparator(path);
    if (cut != std::string::npos && cut > 2) SimPutFolder(path.substr(0, cut));
    SimFile& entry = Fs().entries[key];
    if (entry.path.empty()) entry.path = path;
    entry.is_folder = false;
    entry.bytes = bytes;
}

SimFile* SimFindFile(const std::string& path) {
    auto it = Fs().entries.find(SimPathKey(path));
    return it == Fs().entries.end() ? nullptr : &it->second;
}

void SimPutFolderLink(const std::string& path, const std::string& target) {
    std::string key = SimPathKey(path);
    std::string target_key = SimPathKey(target);
    if (key.empty() || target_key.empty()) return;
    SimFile& entry = Fs().entries[key];
    entry.path = path;
    entry.is_folder = true;
    entry.link_target = target_key;
    Fs().has_links = true;
}

bool SimPassesUnseenLink(const std::string& path) {
    if (!Fs().has_links) return false;
    // Walk the key's folders as written, each resolved through the links
    // before it: SimPathKey gives the resolved key only.
    std::string written = Upper(EscapeDoubleBytes(path));
    for (char& c : written)
        if (c == '/') c = '\\';
    if (written.size() >= 6 && written[0] == '\\' && written[1] == '\\' && written[3] == '\\' && written[5] == ':')
        written.erase(0, 4);
    while (written.size() > 3 && written.back() == '\\') written.pop_back();
    std::size_t root = RootLength(written);
    if (root == 0) return false;
    std::string at = written.substr(0, root);
    for (std::size_t start = root + 1; start <= written.size();) {
        std::size_t end = written.find('\\', start);
        if (end == std::string::npos) end = written.size();
        at = ResolveLinks(at + "\\" + written.substr(start, end - start));
        auto it = Fs().entries.find(at);
        if (it != Fs().entries.end() && it->second.lookup_fails) return true;
        if (it != Fs().entries.end() && !it->second.link_target.empty()) at = it->second.link_target;
        start = end + 1;
    }
    return false;
}

void SimLetGo(const std::string& path) {
    auto it = Fs().entries.find(SimPathKey(path));
    if (it == Fs().entries.end()) return;
    if (it->second.delete_pending) Fs().entries.erase(it);
    else it->second.held_sharing_delete = false;
}

std::vector<std::uint8_t> SimReadFile(const std::string& path) {
    SimFile* file = SimFindFile(path);
    return file ? file->bytes : std::vector<std::uint8_t>{};
}

std::vector<const SimFile*> SimListTree(const std::string& folder) {
    std::string prefix = SimPathKey(folder) + "\\";
    std::vector<const SimFile*> found;
    for (const auto& [key, entry] : Fs().entries)
        if (key.compare(0, prefix.size(), prefix) == 0) found.push_back(&entry);
    return found;
}

namespace {

// WriteFile's work: appends what fits on the disk.
int WriteBytes(plat::Handle file, const void* data, std::uint32_t size, std::uint32_t* written) {
    *written = 0;
    auto it = Fs().open.find(reinterpret_cast<std::uintptr_t>(file));
    if (it == Fs().open.end() || !it->second.writable) return 0;
    auto entry = Fs().entries.find(it->second.key);
    if (entry == Fs().entries.end()) return 0;
    std::uint32_t fits = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, Fs().free_bytes));
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (Fs().keep_contents) entry->second.bytes.insert(entry->second.bytes.end(), bytes, bytes + fits);
    Fs().bytes_written += fits;
    Fs().free_bytes -= fits;
    *written = fits;
    return 1;
}

}  // namespace

namespace plat {

int FolderCreate(const char* path, std::uint32_t* last_error) {
    static const int op = SimOpId("FolderCreate");
    if (SimFileCallFails(op, path)) {
        *last_error = kErrorAccessDenied;
        return 0;
    }
    std::string key = SimPathKey(path ? path : "");
    *last_error = kErrorSuccess;
    if (key.empty()) {
        *last_error = kErrorPathNotFound;
        return 0;
    }
    if (Fs().roots.count(key) || Fs().entries.count(key)) {
        *last_error = kErrorAlreadyExists;
        return 0;
    }
    if (!ParentExists(key)) {
        *last_error = kErrorPathNotFound;
        return 0;
    }
    SimFile& entry = Fs().entries[key];
    entry.path = path;
    entry.is_folder = true;
    return 1;
}

int FolderCreateAdminOnly(const char* path, std::uint32_t* last_error) {
    static const int op = SimOpId("FolderCreateAdminOnly");
    if (SimFileCallFails(op, path)) {
        *last_error = kErrorAccessDenied;
        return 0;
    }
    SimInsideCall inside;
    if (!FolderCreate(path, last_error)) return 0;
    Fs().entries[SimPathKey(path)].admin_only = true;
    return 1;
}

Handle FileCreateForWrite(const char* path) {
    static const int op = SimOpId("FileCreateForWrite");
    if (SimFileCallFails(op, path)) return kInvalidHandle;
    std::string key = SimPathKey(path ? path : "");
    if (key.empty() || !ParentExists(key)) return kInvalidHandle;
    auto it = Fs().entries.find(key);
    if (it != Fs().entries.end()) {
        SimFile& file = it->second;
        if (file.is_folder || file.read_only) return kInvalidHandle;
        if (file.in_use || HasOpenHandle(key)) return kInvalidHandle;
        file.bytes.clear();
    } else {
        SimFile& file = Fs().entries[key];
        file.path = path;
    }
    Handle handle = SimNewHandle();
    Fs().open[reinterpret_cast<std::uintptr_t>(handle)] = SimOpenFile{key, true};
    return handle;
}

int FileWrite(Handle file, const void* data, std::uint32_t size, std::uint32_t* written) {
    static const int op = SimOpId("FileWrite");
    bool dies = false;
    if (SimFaultHere(op, &dies)) {
        auto open = Fs().open.find(reinterpret_cast<std::uintptr_t>(file));
        if (open != Fs().open.end()) SimNoteFailedSubject("F " + open->second.key);
        *written = 0;
        return 0;
    }
    int result = WriteBytes(file, data, dies ? size / 2 : size, written);
    if (dies) SimDie();
    return result;
}

void FileClose(Handle file) {
    static const int op = SimOpId("FileClose");
    SimCountHere(op);
    Fs().open.erase(reinterpret_cast<std::uintptr_t>(file));
}

}  // namespace plat
