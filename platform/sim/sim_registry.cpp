#include <algorithm>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "platform/registry.h"
#include "platform/sim/sim.h"

namespace {

using plat::Handle;

constexpr std::uint32_t kMaximumAllowed = 0x02000000;
constexpr std::uint32_t kGenericRead = 0x80000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kGenericExecute = 0x20000000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kWriteDac = 0x00040000;
constexpr std::uint32_t kWriteOwner = 0x00080000;
constexpr std::uint32_t kWriteRights = plat::kKeySetValue | plat::kKeyCreateSubKey | plat::kKeyCreateLink |
                                       plat::kKeyDelete | kWriteDac | kWriteOwner;
constexpr std::uint64_t kSimHklmSoftwareId = 3;
constexpr std::uint64_t kSimHklmSystemId = 4;
constexpr std::uint64_t kSimHkcuSoftwareId = 5;

// Unicode of the Windows-1252 bytes 0x80 to 0x9F; the five bytes without a
// character map to the C1 control of the same number, as Windows does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t AnsiToUnit(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kCp1252High[byte - 0x80];
    return byte;
}

char16_t FoldUnit(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    if (c < 0xC0) return c;  // no other letters below Latin-1's capitals
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x137 && (c & 1) == 0) return static_cast<char16_t>(c + 1);
    if (c >= 0x139 && c <= 0x148 && (c & 1) == 1) return static_cast<char16_t>(c + 1);
    if (c >= 0x14A && c <= 0x177 && (c & 1) == 0) return static_cast<char16_t>(c + 1);
    if (c == 0x179 || c == 0x17B || c == 0x17D) return static_cast<char16_t>(c + 1);
    return c;
}

std::u16string Fold(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded) c = FoldUnit(c);
    return folded;
}

// Two names equal ignoring letter case (without folding copies: value
// look-ups compare every name of a key).
bool SameFolded(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && FoldUnit(a[i]) != FoldUnit(b[i])) return false;
    return true;
}

bool IsStringType(std::uint32_t type) {
    return type == plat::kRegSz || type == plat::kRegExpandSz || type == plat::kRegMultiSz;
}

// A name as each form of a call gives it, in the sim's UTF-16: the ANSI
// form's converted once, the wide form's read in place (every key opening
// looks its path up: no copies).
std::u16string Utf16Name(const char* text) { return SimAnsiToUtf16(text ? text : ""); }
std::u16string_view Utf16Name(const char16_t* text) { return text ? std::u16string_view(text) : std::u16string_view(); }

// A name in the character form a call hands back.
template <typename Char>
std::basic_string<Char> InForm(const std::u16string& name) {
    if constexpr (std::is_same_v<Char, char>) return SimUtf16ToAnsi(name);
    else return name;
}

// UTF-16LE bytes <-> the ANSI code page's bytes, for string data.
std::vector<std::uint8_t> AnsiBytesToStored(const std::uint8_t* data, std::uint32_t size) {
    std::u16string wide = SimAnsiToUtf16(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::uint8_t> stored;
    stored.reserve(wide.size() * 2u);
    for (char16_t unit : wide) {
        stored.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        stored.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return stored;
}

std::vector<std::uint8_t> StoredToAnsiBytes(const std::vector<std::uint8_t>& stored) {
    std::u16string wide;
    for (std::size_t i = 0; i + 1 < stored.size(); i += 2)
        wide.push_back(static_cast<char16_t>(stored[i] | (stored[i + 1] << 8)));
    std::string narrow = SimUtf16ToAnsi(wide);
    return std::vector<std::uint8_t>(narrow.begin(), narrow.end());
}

SimRegistry& Reg() { return Sim().registry; }

SimRegKey* FindKey(std::uint64_t id) {
    auto it = Reg().keys.find(id);
    return it == Reg().keys.end() ? nullptr : &it->second;
}

std::uint64_t HiveId(Handle hive) {
    if (hive == plat::kHkeyLocalMachine) return kSimHklmId;
    if (hive == plat::kHkeyCurrentUser) return kSimHkcuId;
    return 0;
}

// The key behind a handle and the rights it was opened with.
std::uint32_t LookUp(Handle handle, std::uint64_t* id, std::uint32_t* access) {
    if (std::uint64_t hive = HiveId(handle)) {
        *id = hive;
        *access = plat::kKeyAllAccess;
        return plat::kErrorSuccess;
    }
    auto it = Reg().open.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == Reg().open.end()) return plat::kErrorInvalidHandle;
    if (!FindKey(it->second.key)) return plat::kErrorKeyDeleted;
    *id = it->second.key;
    *access = it->second.access;
    return plat::kErrorSuccess;
}

// Splits a subkey path into its names, as views into `path` (every key
// opening splits its path: no copies). A trailing backslash is ignored; a
// leading one is a syntax error, as in Windows.
std::uint32_t SplitPathViews(std::u16string_view path, std::vector<std::u16string_view>* parts) {
    parts->clear();
    parts->reserve(16);
    if (!path.empty() && path[0] == u'\\') return plat::kErrorBadPathname;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos) end = path.size();
        parts->push_back(path.substr(start, end - start));
        start = end + 1;
    }
    // An empty name inside the path (two backslashes in a row) names no key.
    for (std::u16string_view part : *parts)
        if (part.empty()) return plat::kErrorFileNotFound;
    return plat::kErrorSuccess;
}

std::uint64_t FindSubkey(const SimRegKey& key, std::u16string_view name) {
    auto it = key.subkeys.find(Fold(name));
    return it == key.subkeys.end() ? 0 : it->second;
}

// The same, for a name already folded.
std::uint64_t FindFoldedSubkey(const SimRegKey& key, const std::u16string& folded) {
    auto it = key.subkeys.find(folded);
    return it == key.subkeys.end() ? 0 : it->second;
}

std::uint64_t AddSubkey(std::uint64_t parent, std::u16string_view name) {
    std::uint64_t id = Reg().next_key++;
    SimRegKey child;
    child.name.assign(name);
    child.parent = parent;
    Reg().keys[id] = child;
    Reg().keys[parent].subkeys[Fold(name)] = id;
    return id;
}

bool IsRedirectedRoot(const SimRegKey& key) {
    return key.parent == kSimHklmId && SameFolded(key.name, u"software");
}

// The 32-bit view of HKLM\SOFTWARE on a 64-bit machine; it always exists
// there, so it is made on first use.
std::uint64_t WowNode(std::uint64_t software) {
    if (std::uint64_t node = FindSubkey(Reg().keys[software], u"WOW6432Node")) return node;
    return AddSubkey(software, u"WOW6432Node");
}

// Walks `parts` below key `start` in the view the access mask chooses,
// creating missing keys when `create` is set.
std::uint32_t Resolve(std::uint64_t start, const std::vector<std::u16string_view>& parts, std::uint32_t access,
                      bool create, std::uint64_t* found) {
    bool view32 = Sim().system.is_64bit && (access & plat::kKeyWow64_64Key) == 0;
    std::u16string folded;
    std::uint64_t current = start;
    SimRegKey* node = &Reg().keys[start];
    for (std::size_t i = 0; i < parts.size(); ++i) {
        folded.assign(parts[i]);
        for (char16_t& c : folded) c = FoldUnit(c);
        std::uint64_t next = FindFoldedSubkey(*node, folded);
        if (next == 0) {
            if (!create) return plat::kErrorFileNotFound;
            if (node->deny_write) return plat::kErrorAccessDenied;
            next = AddSubkey(current, parts[i]);
        }
        current = next;
        node = &Reg().keys[current];
        bool names_node = i + 1 < parts.size() && SameFolded(parts[i + 1], u"wow6432node");
        if (view32 && !names_node && IsRedirectedRoot(*node)) {
            current = WowNode(current);
            node = &Reg().keys[current];
        }
    }
    *found = current;
    return plat::kErrorSuccess;
}

// The rights a handle of `key` gets for the asked access, or ACCESS_DENIED.
std::uint32_t Grant(const SimRegKey& key, std::uint32_t access, std::uint32_t* granted) {
    access &= ~(plat::kKeyWow64_32Key | plat::kKeyWow64_64Key);
    if (access & kGenericRead) access |= plat::kKeyRead;
    if (access & kGenericExecute) access |= plat::kKeyRead;
    if (access & kGenericWrite) access |= plat::kKeyWrite;
    if (access & kGenericAll) access |= plat::kKeyAllAccess;
    access &= ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
    if (access & kMaximumAllowed) {
        access = (access & ~kMaximumAllowed) | plat::kKeyAllAccess;
        if (key.deny_write) access &= ~kWriteRights;
    } else if (key.deny_write && (access & kWriteRights)) {
        return plat::kErrorAccessDenied;
    }
    *granted = access;
    return plat::kErrorSuccess;
}

// The key a subkey path names below an open key, in the view the access
// mask chooses.
std::uint32_t ResolveBelow(Handle parent, std::u16string_view subkey, std::uint32_t access, bool create,
                           std::uint64_t* found) {
    std::uint64_t start = 0;
    std::uint32_t parent_access = 0;
    std::uint32_t status = LookUp(parent, &start, &parent_access);
    if (status != plat::kErrorSuccess) return status;
    std::vector<std::u16string_view> parts;
    status = SplitPathViews(subkey, &parts);
    if (status != plat::kErrorSuccess) return status;
    return Resolve(start, parts, access, create, found);
}

std::uint32_t OpenOrCreate(Handle parent, std::u16string_view subkey, std::uint32_t access, bool create,
                           Handle* key) {
    *key = plat::kInvalidHandle;
    std::uint64_t found = 0;
    std::uint32_t status = ResolveBelow(parent, subkey, access, create, &found);
    if (status != plat::kErrorSuccess) return status;
    std::uint32_t granted = 0;
    status = Grant(Reg().keys[found], access, &granted);
    if (status != plat::kErrorSuccess) return status;
    *key = SimNewHandle();
    Reg().open[reinterpret_cast<std::uintptr_t>(*key)] = SimRegOpenKey{found, granted};
    return plat::kErrorSuccess;
}

SimRegValue* FindValue(SimRegKey& key, std::u16string_view name) {
    for (SimRegValue& value : key.values)
        if (SameFolded(value.name, name)) return &value;
    return nullptr;
}

// A value's stored bytes through the form that reads it: `ansi` converts
// string data to Windows-1252.
std::uint32_t Query(Handle handle, std::u16string_view name, bool ansi, std::uint32_t* type, void* data,
                    std::uint32_t* size) {
    if (data && !size) return plat::kErrorInvalidParameter;
    std::uint64_t id = 0;
    std::uint32_t access = 0;
    std::uint32_t status = LookUp(handle, &id, &access);
    if (status != plat::kErrorSuccess) return status;
    if ((access & plat::kKeyQueryValue) == 0) return plat::kErrorAccessDenied;
    const SimRegValue* value = FindValue(Reg().keys[id], name);
    if (!value) return plat::kErrorFileNotFound;
    // Only the ANSI form of a string needs a converted copy.
    std::vector<std::uint8_t> converted;
    if (ansi && IsStringType(value->type)) converted = StoredToAnsiBytes(value->bytes);
    const std::vector<std::uint8_t>& bytes = ansi && IsStringType(value->type) ? converted : value->bytes;
    std::uint32_t length = static_cast<std::uint32_t>(bytes.size());
    if (type) *type = value->type;
    if (!size) return plat::kErrorSuccess;
    if (data) {
        if (length > *size) {
            *size = length;
            return plat::kErrorMoreData;
        }
        auto* out = static_cast<std::uint8_t*>(data);
        if (length > 0) std::memcpy(out, bytes.data(), length);
        // Windows ends a string stored without its NUL when the buffer has
        // room for one; the size it reports still counts no NUL.
        if (IsStringType(value->type)) {
            if (ansi && length > 0 && length < *size && out[length - 1] != 0) out[length] = 0;
            if (!ansi && length >= 2 && length % 2 == 0 && length + 2 <= *size &&
                (out[length - 2] | out[length - 1]) != 0) {
                out[length] = 0;
                out[length + 1] = 0;
            }
        }
    }
    *size = length;
    return plat::kErrorSuccess;
}

void StoreValue(SimRegKey& key, std::u16string_view name, std::uint32_t type, std::vector<std::uint8_t> bytes) {
    if (SimRegValue* value = FindValue(key, name)) {
        value->type = type;
        value->bytes = std::move(bytes);
        return;
    }
    key.values.push_back(SimRegValue{std::u16string(name), type, std::move(bytes)});
}

std::uint32_t Set(Handle handle, std::u16string_view name, std::uint32_t type, const void* data,
                  std::uint32_t size, bool ansi) {
    if (!data && size) return plat::kErrorNoAccess;
    std::uint64_t id = 0;
    std::uint32_t access = 0;
    std::uint32_t status = LookUp(handle, &id, &access);
    if (status != plat::kErrorSuccess) return status;
    if ((access & plat::kKeySetValue) == 0) return plat::kErrorAccessDenied;
    Reg().writes.push_back(SimRegWrite{std::u16string(name), type, size});
    for (const std::string& refused : Reg().refused_values)
        if (SameFolded(SimAnsiToUtf16(refused), name)) return plat::kErrorAccessDenied;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::vector<std::uint8_t> stored;
    if (IsStringType(type) && ansi) {
        // Windows stores the NUL that follows a text whose size left it out.
        if (size > 0 && bytes[size - 1] != 0 && bytes[size] == 0) ++size;
        stored = AnsiBytesToStored(bytes, size);
    } else if (IsStringType(type)) {
        std::uint32_t units = size / 2;
        if (units > 0) {
            const std::uint8_t* last = bytes + 2 * (units - 1);
            if ((last[0] | last[1]) != 0 && (last[2] | last[3]) == 0) size += 2;
        }
        stored.assign(bytes, bytes + size);
    } else if (size > 0) {
        stored.assign(bytes, bytes + size);
    }
    StoreValue(Reg().keys[id], name, type, std::move(stored));
    return plat::kErrorSuccess;
}

// The index-th subkey name of an open key.
std::uint32_t EnumName(Handle handle, std::uint32_t index, std::u16string* name) {
    std::uint64_t id = 0;
    std::uint32_t access = 0;
    std::uint32_t status = LookUp(handle, &id, &access);
    if (status != plat::kErrorSuccess) return status;
    if ((access & plat::kKeyEnumerateSubKeys) == 0) return plat::kErrorAccessDenied;
    const SimRegKey& key = Reg().keys[id];
    if (index >= key.subkeys.size()) return plat::kErrorNoMoreItems;
    auto it = key.subkeys.begin();
    std::advance(it, index);
    *name = Reg().keys[it->second].name;
    return plat::kErrorSuccess;
}

void RemoveKey(std::uint64_t id) {
    SimRegKey& key = Reg().keys[id];
    Reg().keys[key.parent].subkeys.erase(Fold(key.name));
    Reg().keys.erase(id);
}

// ---- what a failed call named, for the fault sweeps ----

// A key as the sweeps name places: "R HKLM" or "R HKCU" and the physical
// path, in upper case.
std::string PlaceOf(std::uint64_t id) {
    std::string path;
    for (const SimRegKey* key = FindKey(id); key != nullptr && key->parent != 0; key = FindKey(key->parent)) {
        std::string name = SimUtf16ToAnsi(key->name);
        for (char& c : name)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        path = "\\" + name + path;
        id = key->parent;
    }
    return (id == kSimHkcuId ? "R HKCU" : "R HKLM") + path;
}

// The key a failed open, create or delete named: as far as its path leads
// through existing keys in the view asked for, then the rest of the path.
void NoteKey(Handle parent, std::u16string_view subkey, std::uint32_t access) {
    std::uint64_t start = 0;
    std::uint32_t rights = 0;
    if (LookUp(parent, &start, &rights) != plat::kErrorSuccess) return;
    std::vector<std::u16string_view> parts;
    if (SplitPathViews(subkey, &parts) != plat::kErrorSuccess) parts.clear();
    for (std::size_t known = parts.size() + 1; known-- > 0;) {
        std::vector<std::u16string_view> head(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(known));
        std::uint64_t found = 0;
        if (Resolve(start, head, access, false, &found) != plat::kErrorSuccess) continue;
        std::string place = PlaceOf(found);
        for (std::size_t i = known; i < parts.size(); ++i)
            place += "\\" + SimUtf16ToAnsi(std::u16string(parts[i]));
        for (char& c : place)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        SimNoteFailedSubject(place);
        return;
    }
}

// The key behind a handle whose call failed, with the value it named.
void NoteHandle(Handle handle, std::u16string_view value = u"") {
    std::uint64_t id = 0;
    std::uint32_t rights = 0;
    if (LookUp(handle, &id, &rights) == plat::kErrorSuccess)
        SimNoteFailedSubject(PlaceOf(id), SimUtf16ToAnsi(std::u16string(value)));
}

// A forced failure of a call that names a key by path, noted when it falls.
bool KeyCallFails(int op, Handle parent, std::u16string_view subkey, std::uint32_t access) {
    if (!SimFaultHere(op)) return false;
    NoteKey(parent, subkey, access);
    return true;
}

// The same for a call on an open key, with the value it names.
bool HandleCallFails(int op, Handle key, std::u16string_view value = u"") {
    if (!SimFaultHere(op)) return false;
    NoteHandle(key, value);
    return true;
}

// ---- each verb once, over either form of name ----
// The caller passes its own operation id, so the fault switch counts and
// names the ANSI and wide forms apart.

// What a key call does with its path. RegOpenKey hands back the parent
// itself for an empty path, where RegOpenKeyEx opens it again.
enum class KeyVerb { kOpen, kOpenEx, kCreate };

template <typename Char>
std::uint32_t KeyCall(int op, KeyVerb verb, Handle parent, const Char* subkey, std::uint32_t access, Handle* key) {
    const auto path = Utf16Name(subkey);
    if (KeyCallFails(op, parent, path, access)) {
        *key = plat::kInvalidHandle;
        return plat::kErrorAccessDenied;
    }
    if (verb == KeyVerb::kOpen && path.empty()) {
        *key = parent;
        return plat::kErrorSuccess;
    }
    return OpenOrCreate(parent, path, access, verb == KeyVerb::kCreate, key);
}

template <typename Char>
std::uint32_t QueryCall(int op, Handle key, const Char* name, std::uint32_t* type, void* data, std::uint32_t* size) {
    const auto value = Utf16Name(name);
    if (HandleCallFails(op, key, value)) return plat::kErrorFileNotFound;
    return Query(key, value, std::is_same_v<Char, char>, type, data, size);
}

template <typename Char>
std::uint32_t SetCall(int op, Handle key, const Char* name, std::uint32_t type, const void* data,
                      std::uint32_t size) {
    const auto value = Utf16Name(name);
    if (HandleCallFails(op, key, value)) return plat::kErrorAccessDenied;
    return Set(key, value, type, data, size, std::is_same_v<Char, char>);
}

// The index-th subkey name with its NUL into a buffer of *size characters;
// on success *size is its length without the NUL.
template <typename Char>
std::uint32_t EnumCall(int op, Handle key, std::uint32_t index, Char* name, std::uint32_t* size) {
    if (HandleCallFails(op, key)) return plat::kErrorAccessDenied;
    std::u16string found;
    std::uint32_t status = EnumName(key, index, &found);
    if (status != plat::kErrorSuccess) return status;
    const std::basic_string<Char> text = InForm<Char>(found);
    if (text.size() + 1 > *size) return plat::kErrorMoreData;
    std::copy(text.begin(), text.end(), name);
    name[text.size()] = 0;
    *size = static_cast<std::uint32_t>(text.size());
    return plat::kErrorSuccess;
}

// ---- test helper plumbing ----

// The key a physical path names below a hive, made with its missing
// parents when `create` is set; 0 when absent.
std::uint64_t Physical(Handle hive, const std::string& path, bool create) {
    std::uint64_t current = HiveId(hive);
    const std::u16string wide = SimAnsiToUtf16(path);
    std::vector<std::u16string_view> parts;
    if (current == 0 || SplitPathViews(wide, &parts) != plat::kErrorSuccess) return 0;
    for (std::u16string_view part : parts) {
        std::uint64_t next = FindSubkey(Reg().keys[current], part);
        if (next == 0 && !create) return 0;
        current = next ? next : AddSubkey(current, part);
    }
    return current;
}

std::uint64_t FindPhysical(Handle hive, const std::string& path) { return Physical(hive, path, false); }

std::uint64_t MakePhysical(Handle hive, const std::string& path) { return Physical(hive, path, true); }

std::vector<std::uint8_t> Utf16Bytes(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

}  // namespace

std::map<std::uint64_t, SimRegKey> SimRegBaseKeys() {
    std::map<std::uint64_t, SimRegKey> keys;
    keys[kSimHklmId] = SimRegKey{};
    keys[kSimHkcuId] = SimRegKey{};
    auto add = [&keys](std::uint64_t id, std::uint64_t parent, const std::u16string& name) {
        SimRegKey key;
        key.name = name;
        key.parent = parent;
        keys[id] = key;
        keys[parent].subkeys[Fold(name)] = id;
    };
    add(kSimHklmSoftwareId, kSimHklmId, u"SOFTWARE");
    add(kSimHklmSystemId, kSimHklmId, u"SYSTEM");
    add(kSimHkcuSoftwareId, kSimHkcuId, u"Software");
    return keys;
}

// By the machine's code page (platform/sim/sim_code_page.cpp); bytes that
// are no character of it (a lone lead byte) each stand for themselves.
std::u16string SimAnsiToUtf16(const std::string& text) {
    std::u16string wide;
    if (SimAnsiToWide(text.data(), text.size(), &wide)) return wide;
    wide.clear();
    for (char c : text) wide.push_back(AnsiToUnit(static_cast<std::uint8_t>(c)));
    return wide;
}

std::string SimUtf16ToAnsi(const std::u16string& text) { return SimAnsiViewOf(SimKeptNameOf(text)); }

bool SimRegKeyExists(Handle hive, const std::string& path) { return FindPhysical(hive, path) != 0; }

void SimRegPutKey(Handle hive, const std::string& path) { MakePhysical(hive, path); }

void SimRegPutValue(Handle hive, const std::string& path, const std::string& name, std::uint32_t type,
                    const std::vector<std::uint8_t>& bytes) {
    std::uint64_t id = MakePhysical(hive, path);
    if (id) StoreValue(Reg().keys[id], SimAnsiToUtf16(name), type, bytes);
}

void SimRegPutDword(Handle hive, const std::string& path, const std::string& name, std::uint32_t value) {
    SimRegPutValue(hive, path, name, plat::kRegDword,
                   {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                    static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void SimRegPutText(Handle hive, const std::string& path, const std::string& name, const std::string& text,
                   std::uint32_t type) {
    SimRegPutText16(hive, path, name, SimAnsiToUtf16(text), type);
}

void SimRegPutText16(Handle hive, const std::string& path, const std::string& name, const std::u16string& text,
                     std::uint32_t type) {
    std::vector<std::uint8_t> bytes = Utf16Bytes(text);
    bytes.push_back(0);
    bytes.push_back(0);
    SimRegPutValue(hive, path, name, type, bytes);
}

const SimRegValue* SimRegGetValue(Handle hive, const std::string& path, const std::string& name) {
    std::uint64_t id = FindPhysical(hive, path);
    return id ? FindValue(Reg().keys[id], SimAnsiToUtf16(name)) : nullptr;
}

bool SimRegReadValueA(Handle hive, const std::string& path, const std::string& name, std::uint32_t* type,
                      std::vector<std::uint8_t>* bytes) {
    const SimRegValue* value = SimRegGetValue(hive, path, name);
    if (!value) return false;
    *type = value->type;
    *bytes = IsStringType(value->type) ? StoredToAnsiBytes(value->bytes) : value->bytes;
    return true;
}

std::u16string SimRegGetText16(Handle hive, const std::string& path, const std::string& name) {
    const SimRegValue* value = SimRegGetValue(hive, path, name);
    std::u16string text;
    if (!value || !IsStringType(value->type)) return text;
    for (std::size_t i = 0; i + 1 < value->bytes.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(value->bytes[i] | (value->bytes[i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

std::string SimRegGetText(Handle hive, const std::string& path, const std::string& name) {
    return SimUtf16ToAnsi(SimRegGetText16(hive, path, name));
}

bool SimRegGetDword(Handle hive, const std::string& path, const std::string& name, std::uint32_t* value) {
    const SimRegValue* found = SimRegGetValue(hive, path, name);
    if (!found || found->type != plat::kRegDword || found->bytes.size() != 4) return false;
    *value = static_cast<std::uint32_t>(found->bytes[0]) | (static_cast<std::uint32_t>(found->bytes[1]) << 8) |
             (static_cast<std::uint32_t>(found->bytes[2]) << 16) |
             (static_cast<std::uint32_t>(found->bytes[3]) << 24);
    return true;
}

std::vector<std::string> SimRegListSubkeys(Handle hive, const std::string& path) {
    std::vector<std::string> names;
    std::uint64_t id = FindPhysical(hive, path);
    if (!id) return names;
    for (const auto& [folded, child] : Reg().keys[id].subkeys) names.push_back(SimUtf16ToAnsi(Reg().keys[child].name));
    return names;
}

std::vector<std::string> SimRegListValues(Handle hive, const std::string& path) {
    std::vector<std::string> names;
    std::uint64_t id = FindPhysical(hive, path);
    if (!id) return names;
    for (const SimRegValue& value : Reg().keys[id].values) names.push_back(SimUtf16ToAnsi(value.name));
    return names;
}

void SimRegDenyWrite(Handle hive, const std::string& path) {
    if (std::uint64_t id = MakePhysical(hive, path)) Reg().keys[id].deny_write = true;
}

void SimRegDenyDelete(Handle hive, const std::string& path) {
    if (std::uint64_t id = MakePhysical(hive, path)) Reg().keys[id].deny_delete = true;
}

std::size_t SimRegOpenKeyCount() { return Reg().open.size(); }

namespace plat {

std::uint32_t RegistryOpenKey(Handle parent, const char* subkey, Handle* key) {
    static const int op = SimOpId("RegistryOpenKey");
    return KeyCall(op, KeyVerb::kOpen, parent, subkey, kMaximumAllowed, key);
}

std::uint32_t RegistryOpenKeyW16(Handle parent, const char16_t* subkey, Handle* key) {
    static const int op = SimOpId("RegistryOpenKeyW16");
    return KeyCall(op, KeyVerb::kOpen, parent, subkey, kMaximumAllowed, key);
}

std::uint32_t RegistryCreateKey(Handle parent, const char* subkey, Handle* key) {
    static const int op = SimOpId("RegistryCreateKey");
    return KeyCall(op, KeyVerb::kCreate, parent, subkey, kMaximumAllowed, key);
}

std::uint32_t RegistryOpenKeyEx(Handle parent, const char* subkey, std::uint32_t access, Handle* key) {
    static const int op = SimOpId("RegistryOpenKeyEx");
    return KeyCall(op, KeyVerb::kOpenEx, parent, subkey, access, key);
}

std::uint32_t RegistryOpenKeyExW16(Handle parent, const char16_t* subkey, std::uint32_t access, Handle* key) {
    static const int op = SimOpId("RegistryOpenKeyExW16");
    return KeyCall(op, KeyVerb::kOpenEx, parent, subkey, access, key);
}

std::uint32_t RegistryCreateKeyEx(Handle parent, const char* subkey, std::uint32_t access, Handle* key) {
    static const int op = SimOpId("RegistryCreateKeyEx");
    return KeyCall(op, KeyVerb::kCreate, parent, subkey, access, key);
}

std::uint32_t RegistryCreateKeyExW16(Handle parent, const char16_t* subkey, std::uint32_t access, Handle* key) {
    static const int op = SimOpId("RegistryCreateKeyExW16");
    return KeyCall(op, KeyVerb::kCreate, parent, subkey, access, key);
}

std::uint32_t RegistryQueryValue(Handle key, const char* name, std::uint32_t* type, void* data,
                                 std::uint32_t* size) {
    static const int op = SimOpId("RegistryQueryValue");
    return QueryCall(op, key, name, type, data, size);
}

std::uint32_t RegistryQueryValueW16(Handle key, const char16_t* name, std::uint32_t* type, void* data,
                                    std::uint32_t* size) {
    static const int op = SimOpId("RegistryQueryValueW16");
    return QueryCall(op, key, name, type, data, size);
}

std::uint32_t RegistrySetValue(Handle key, const char* name, std::uint32_t type, const void* data,
                               std::uint32_t size) {
    static const int op = SimOpId("RegistrySetValue");
    return SetCall(op, key, name, type, data, size);
}

std::uint32_t RegistrySetValueW16(Handle key, const char16_t* name, std::uint32_t type, const void* data,
                                  std::uint32_t size) {
    static const int op = SimOpId("RegistrySetValueW16");
    return SetCall(op, key, name, type, data, size);
}

std::uint32_t RegistryEnumKey(Handle key, std::uint32_t index, char* name, std::uint32_t* name_size) {
    static const int op = SimOpId("RegistryEnumKey");
    return EnumCall(op, key, index, name, name_size);
}

std::uint32_t RegistryEnumKeyW16(Handle key, std::uint32_t index, char16_t* name, std::uint32_t name_units) {
    static const int op = SimOpId("RegistryEnumKeyW16");
    // The wide form reports no length: the count lands in the copy.
    return EnumCall(op, key, index, name, &name_units);
}

std::uint32_t RegistryDeleteKey(Handle parent, const char* subkey) {
    static const int op = SimOpId("RegistryDeleteKey");
    const std::u16string path = Utf16Name(subkey);
    if (KeyCallFails(op, parent, path, kKeyDelete)) return kErrorAccessDenied;
    std::uint64_t found = 0;
    std::uint32_t status = ResolveBelow(parent, path, kKeyDelete, false, &found);
    if (status != kErrorSuccess) return status;
    const SimRegKey& key = Reg().keys[found];
    // A hive cannot be deleted; the DELETE right, subkeys and a forced
    // failure all refuse the same way.
    if (key.parent == 0 || key.deny_write || key.deny_delete || !key.subkeys.empty()) return kErrorAccessDenied;
    RemoveKey(found);
    return kErrorSuccess;
}

std::uint32_t RegistryCloseKey(Handle key) {
    static const int op = SimOpId("RegistryCloseKey");
    SimCountHere(op);
    if (HiveId(key)) return kErrorSuccess;
    return Reg().open.erase(reinterpret_cast<std::uintptr_t>(key)) ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace plat
