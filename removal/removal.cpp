#include "removal/removal.h"

#include <cstring>

#include "base/names.h"
#include "base/path_chars.h"
#include "base/text.h"
#include "base/user_rights.h"
#include "package/package_format.h"
#include "platform/entries.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace {

std::size_t LongestTitle() {
    std::size_t longest = 0;
    for (const ShortcutRow& row : kShortcutRows)
        if (std::strlen(row.title) > longest) longest = std::strlen(row.title);
    return longest;
}

// buffer := programs\ZT Audio\MixoLyte. 0 when the Programs folder is empty
// or the shortcut folder leaves no room in the buffer for a backslash, the
// longest title and ".LNK": such a folder is refused rather than cut.
int BuildShortcutFolder(char* buffer, std::size_t size, const char* programs) {
    if (programs[0] == '\0') return 0;
    char programs_copy[1024];
    if (!CopyText(programs_copy, sizeof programs_copy, programs)) return 0;
    if (!JoinPathByChars(buffer, size, programs_copy, kShortcutFolderName)) return 0;
    std::size_t needed = std::strlen(buffer) + 1 + LongestTitle() + sizeof kLinkExtension - 1;
    return needed < size ? 1 : 0;
}

bool HasPattern(const char* path) { return std::strpbrk(path, "*?") != nullptr; }

// A folder held open as itself while the work below it is done. Nobody can
// rename or replace it meanwhile, so its path keeps naming what was checked:
// a real folder, no link.
struct Held {
    plat::Handle handle = plat::kInvalidHandle;
    char path[1024] = {};
    char final_path[1024] = {};  // where it really is; empty where the system cannot tell
    int depth = 0;               // folders between it and the top of the walk
};

// Far deeper than anything of the product's: a deeper tree stays, and the
// walk's stack stays small (each level holds a few kilobytes).
constexpr int kMaxWalkDepth = 64;

void Release(Held* held) {
    if (held->handle != plat::kInvalidHandle) plat::EntryClose(held->handle);
    held->handle = plat::kInvalidHandle;
}

// The letters of `inner` are `outer`, a backslash and one more component,
// read by characters of the code page.
bool IsDirectlyBelow(const char* inner, const char* outer) {
    std::size_t length = std::strlen(outer);
    if (length == 0 || std::strlen(inner) <= length + 1) return false;
    AnsiChars chars;
    if (!SameLetters(&chars, inner, outer, length)) return false;
    return inner[length] == '\\' && !HasCharOf(&chars, inner + length + 1, "\\") && !CharsUnknown(chars);
}

// Opens `name` in the held folder as itself: held (`deleting` 0) or with
// deletion access. 1 with the open handle when it is there and, where the
// system tells final paths, really lies in that folder (no link among the
// names on the way, no object-manager trick); else 0 and nothing is open.
int OpenBelow(const Held& folder, const char* name, int deleting, plat::Handle* entry, plat::EntryFacts* facts) {
    char path[1024];
    AnsiChars chars;
    if (HasPattern(name) || HasCharOf(&chars, name, "\\/:") || CharsUnknown(chars)) return 0;
    if (!JoinPathByChars(path, sizeof path, folder.path, name)) return 0;
    *entry = deleting ? plat::EntryOpen(path, facts) : plat::FolderHold(path, facts);
    if (*entry == plat::kInvalidHandle) return 0;
    if (folder.final_path[0] == '\0') return 1;
    char final_path[1024];
    if (plat::EntryFinalPath(*entry, final_path, sizeof final_path) == 1 &&
        IsDirectlyBelow(final_path, folder.final_path))
        return 1;
    plat::EntryClose(*entry);
    *entry = plat::kInvalidHandle;
    return 0;
}

// Takes the held entry as a held folder when it is a real folder; else
// lets it go. `path` is the name it was opened by.
int TakeAsFolder(plat::Handle entry, const plat::EntryFacts& facts, const char* path, Held* held) {
    held->handle = entry;
    held->final_path[0] = '\0';
    if (!facts.is_directory || facts.is_reparse_point || !CopyText(held->path, sizeof held->path, path)) {
        Release(held);
        return 0;
    }
    // Where the system cannot tell (Windows XP; redirectors and shared
    // folders of virtual machines that do not answer), the holds and the
    // link checks carry the work alone.
    if (plat::EntryFinalPath(entry, held->final_path, sizeof held->final_path) != 1) held->final_path[0] = '\0';
    return 1;
}

// Holds a top folder of the removal: a drive or plain UNC path of a real
// folder, not a link. 0 when it cannot be held that way.
int HoldFolder(const char* path, Held* held) {
    if (!IsPlainFolderPath(path)) return 0;
    plat::EntryFacts facts{};
    plat::Handle entry = plat::FolderHold(path, &facts);
    if (entry == plat::kInvalidHandle) return 0;
    return TakeAsFolder(entry, facts, path, held);
}

// Holds the real folder `name` in the held folder.
int HoldBelow(const Held& parent, const char* name, Held* held) {
    plat::Handle entry = plat::kInvalidHandle;
    plat::EntryFacts facts{};
    char path[1024];
    if (!JoinPathByChars(path, sizeof path, parent.path, name) || !OpenBelow(parent, name, 0, &entry, &facts)) return 0;
    return TakeAsFolder(entry, facts, path, held);
}

// Deletes `name` in the held folder through a handle on it with deletion
// access: a file or a link (as a link) when `folders` is 0, as DeleteFileA
// would; with `folders` 1 also an empty real folder, as RemoveDirectoryA.
int DeleteIn(const Held& folder, const char* name, int folders) {
    plat::Handle entry = plat::kInvalidHandle;
    plat::EntryFacts facts{};
    if (!OpenBelow(folder, name, 1, &entry, &facts)) return 0;
    int deleted = !facts.is_directory || folders ? plat::EntryDelete(entry) : 0;
    plat::EntryClose(entry);
    return deleted;
}

int DeleteShortcutIn(const Held& folder, const char* title) {
    char name[300];
    if (!CopyText(name, sizeof name, title) || !AppendText(name, sizeof name, kLinkExtension)) return 0;
    return DeleteIn(folder, name, 0);
}

// What DeleteContents left: nothing, nothing but names already marked
// for deletion that another program still holds open (they go when it lets
// go), or something that stays.
enum class Left { kNothing, kOnlyPending, kSomething };

Left DeleteContents(const Held& folder);

// Deletes the held folder `name` of `parent` with all it holds: its
// contents while it is held, then (let go, and opened anew with deletion
// access) the folder itself. 1 when the folder went; -1 when it stays
// holding nothing but names already marked for deletion.
int DeleteTreeBelow(const Held& parent, const char* name, Held* folder) {
    Left left = DeleteContents(*folder);
    Release(folder);
    if (DeleteIn(parent, name, 1)) return 1;
    return left == Left::kOnlyPending ? -1 : 0;
}

// The names of one folder that stay listed though marked for deletion:
// the walk passes over them. A folder with more of them is left as it is.
struct PendingNames {
    static constexpr int kMax = 8;
    char names[kMax][260];
    int count = 0;
};

bool IsPendingName(const PendingNames& pending, const char* name) {
    for (int i = 0; i < pending.count; ++i)
        if (std::strcmp(pending.names[i], name) == 0) return true;
    return false;
}

bool AddPendingName(PendingNames* pending, const char* name) {
    if (pending->count == PendingNames::kMax) return false;
    return CopyText(pending->names[pending->count++], sizeof pending->names[0], name) == 1;
}

// Deletes what the held folder holds, one entry per search: every deletion
// starts the search again. Each entry is reached as itself: a link goes as
// a link, a subfolder is held while its own contents go. A name that stays
// listed though marked for deletion (another program holds it open and the
// system has no POSIX deletion) is passed over.
Left DeleteContents(const Held& folder) {
    char pattern[2048];
    if (!JoinPathByChars(pattern, sizeof pattern, folder.path, "*.*")) return Left::kSomething;
    PendingNames pending;
    char last[260] = "";  // the name deleted last
    for (;;) {
        plat::FindEntry found;
        plat::Handle search = plat::FindFirst(pattern, &found);
        if (search == plat::kInvalidHandle) return Left::kSomething;
        bool any = false;
        do {
            if (found.is_directory && found.name[0] == '.') continue;  // ".", ".." and their like stay
            if (IsPendingName(pending, found.name)) continue;
            any = true;
            break;
        } while (plat::FindNext(search, &found));
        plat::FindClose(search);
        if (!any) return pending.count == 0 ? Left::kNothing : Left::kOnlyPending;
        // Deleted, and listed again: marked, and held by another program.
        // (Wine opens such a name again, where Windows refuses it.)
        if (std::strcmp(found.name, last) == 0) {
            if (!AddPendingName(&pending, found.name)) return Left::kSomething;
            continue;
        }

        plat::Handle entry = plat::kInvalidHandle;
        plat::EntryFacts facts{};
        // An entry that cannot be reached as itself counts like a file that
        // stays: the walk cannot pick it again and again. One marked for
        // deletion before (by the package file removal) is passed over.
        if (!OpenBelow(folder, found.name, 0, &entry, &facts)) {
            if (facts.delete_pending && AddPendingName(&pending, found.name)) continue;
            return Left::kSomething;
        }
        int gone = 0;
        if (facts.is_directory && !facts.is_reparse_point) {
            Held sub;
            char path[1024];
            if (folder.depth >= kMaxWalkDepth) {
                plat::EntryClose(entry);
                return Left::kSomething;
            }
            if (!JoinPathByChars(path, sizeof path, folder.path, found.name) || !TakeAsFolder(entry, facts, path, &sub))
                return Left::kSomething;
            sub.depth = folder.depth + 1;
            gone = DeleteTreeBelow(folder, found.name, &sub);
            if (gone == -1 && !AddPendingName(&pending, found.name)) return Left::kSomething;
        } else {
            plat::EntryClose(entry);
            gone = DeleteIn(folder, found.name, 1);  // a link goes as a link; its target stays
        }
        if (gone == 0 || !CopyText(last, sizeof last, found.name)) return Left::kSomething;
    }
}

// Every title has one place in the removal order, so each is deleted once.
constexpr bool EachRankOnce() {
    for (int rank = 0; rank < kShortcutCount; ++rank) {
        int seen = 0;
        for (const ShortcutRow& row : kShortcutRows) seen += row.removal_rank == rank ? 1 : 0;
        if (seen != 1) return false;
    }
    return true;
}
static_assert(EachRankOnce(), "each shortcut has one place in the removal order");

void DeleteListedShortcuts(const SetupContext* context, const Held& shortcuts) {
    for (int rank = 0; rank < kShortcutCount; ++rank)
        for (const ShortcutRow& row : kShortcutRows)
            if (row.removal_rank == rank && (row.condition != kOn64Bit || context->is_wow64 != 0))
                DeleteShortcutIn(shortcuts, row.title);
}

// Without the user's own rights where they should be had (`narrowed`):
// only the listed shortcuts go, and the shortcut folder only when that left
// it empty; a linked one stays.
void RemoveShortcutsNarrowed(const SetupContext* context, const Held& parent, plat::Handle entry,
                             const plat::EntryFacts& facts, const char* folder) {
    Held shortcuts;
    if (facts.is_reparse_point) {
        plat::EntryClose(entry);
    } else if (TakeAsFolder(entry, facts, folder, &shortcuts)) {
        DeleteListedShortcuts(context, shortcuts);
        Release(&shortcuts);
        DeleteIn(parent, kShortcutLeafName, 1);  // a folder disposition fails while it holds anything
    }
}

void RemoveShortcutsIn(const SetupContext* context, const char* folder, bool narrowed) {
    // The Programs folder and "ZT Audio" are held as real folders: a user
    // can make either a link to any folder, and the shortcuts there are then
    // not ours. A linked shortcut folder goes as a link.
    char programs[1024];
    if (!CopyText(programs, sizeof programs, folder)) return;
    for (int cut = 0; cut < 2; ++cut) {
        const char* last = LastBackslash(programs);
        if (last == nullptr) return;
        programs[last - programs] = '\0';
    }
    Held programs_held, parent;
    if (!HoldFolder(programs, &programs_held)) return;
    if (HoldBelow(programs_held, kShortcutParentName, &parent)) {
        plat::Handle entry = plat::kInvalidHandle;
        plat::EntryFacts facts{};
        if (OpenBelow(parent, kShortcutLeafName, 0, &entry, &facts) && narrowed) {
            RemoveShortcutsNarrowed(context, parent, entry, facts, folder);
        } else if (entry != plat::kInvalidHandle) {
            Held shortcuts;
            if (facts.is_reparse_point) {
                plat::EntryClose(entry);
                if (facts.is_directory) DeleteIn(parent, kShortcutLeafName, 1);
            } else if (TakeAsFolder(entry, facts, folder, &shortcuts)) {
                DeleteListedShortcuts(context, shortcuts);
                DeleteTreeBelow(parent, kShortcutLeafName, &shortcuts);
            }
        }
        Release(&parent);
    }
    Release(&programs_held);
}

// Deletes the package file `name` (below the held product folder, with its
// subfolders held on the way), or moves it aside to its ".del" name.
void DeletePackageFile(const Held& product, const char* name) {
    constexpr int kDepth = 16;
    Held chain[kDepth];
    int depth = 0;
    const Held* folder = &product;
    const char* component = name;
    bool reached = true;
    for (const char* p = name; *p != '\0' && reached; ++p) {
        if (*p != '\\' && *p != '/') continue;
        char part[260];
        std::size_t length = static_cast<std::size_t>(p - component);
        reached = length < sizeof part && depth < kDepth;
        if (!reached) break;
        std::memcpy(part, component, length);
        part[length] = '\0';
        reached = HoldBelow(*folder, part, &chain[depth]) == 1;
        if (reached) folder = &chain[depth++];
        component = p + 1;
    }
    plat::Handle entry = plat::kInvalidHandle;
    plat::EntryFacts facts{};
    if (reached && OpenBelow(*folder, component, 1, &entry, &facts)) {
        if (facts.is_directory || !plat::EntryDelete(entry)) {
            char path[1024], moved[1024];
            if (JoinPathByChars(path, sizeof path, folder->path, component) && DelNameOf(path, moved, sizeof moved))
                plat::EntryRename(entry, moved);
        }
        plat::EntryClose(entry);
    }
    while (depth > 0) Release(&chain[--depth]);
}

}  // namespace

int IsPlainFolderPath(const char* path) {
    if (path == nullptr) return 0;
    std::size_t start = 0;
    bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':' &&
                 path[2] == '\\';
    if (drive) {
        start = 3;
    } else if (path[0] == '\\' && path[1] == '\\') {
        start = 2;  // "\\server\share": both must be there, and plain names
    } else {
        return 0;  // relative, "\??\...", or a bare root
    }
    if (path[start] == '\0') return 0;  // a bare drive root is no profile folder
    // Component by component, read by characters of the code page: the
    // second byte of a character is no backslash, '|' or dot of its own.
    AnsiChars chars;
    int components = 0;
    for (std::size_t i = start; path[i] != '\0'; ++components) {
        const char* component = path + i;
        std::size_t length = 0, n = 0, last_char = 0;
        for (; (n = CharBytes(&chars, component + length)) != 0; length += n) {
            unsigned char c = static_cast<unsigned char>(component[length]);
            if (n == 1 && c == '\\') break;
            last_char = length;
            // No wildcards, streams or other characters Windows refuses.
            if (n == 1 && (c < 0x20 || std::strchr("/:*?\"<>|", c) != nullptr)) return 0;
        }
        bool last = component[length] == '\0';
        if (length == 0) {
            // "\\\\" inside, nothing after the root, or no share name
            if (!last || i == start || (start == 2 && components < 2)) return 0;
        } else {
            // No devices, "." or "..", and no final dot or blank that Windows
            // would strip.
            char final = component[last_char];
            if (last_char == length - 1 && (final == '.' || final == ' ')) return 0;
            if (IsDeviceName(component, length)) return 0;
        }
        i += length;
        if (path[i] == '\\') ++i;
    }
    if (start == 2 && components < 2) return 0;  // "\\server" without a share
    return CharsUnknown(chars) ? 0 : 1;
}

int PurgeDelFiles(const char* folder) {
    if (folder == nullptr || folder[0] == '\0' || HasPattern(folder)) return 0;
    Held held;
    if (!HoldFolder(folder, &held)) return 0;
    char path[2048];
    int tried = 0;
    plat::FindEntry entry;
    plat::Handle search = JoinPathByChars(path, sizeof path, folder, "*.del") ? plat::FindFirst(path, &entry)
                                                                      : plat::kInvalidHandle;
    if (search != plat::kInvalidHandle) {
        do {
            if (entry.is_directory) continue;
            DeleteIn(held, entry.name, 0);
            ++tried;
        } while (plat::FindNext(search, &entry));
        plat::FindClose(search);
    }
    Release(&held);
    return tried;
}

int DelNameOf(const char* path, char* out, std::size_t size) {
    const char* component = LastComponent(path);
    const char* dot = std::strrchr(component, '.');
    if (dot == nullptr) return 0;
    if (!CopyText(out, size, path)) return 0;
    out[dot - path] = '\0';
    return AppendText(out, size, ".del");
}

int DeletePackageFiles(const SetupContext* context) {
    if (context->product_folder[0] == '\0') return 0;  // never paths relative to the current folder
    if (HasPattern(context->product_folder)) return 0;
    Held product;
    if (!HoldFolder(context->product_folder, &product)) return 0;
    for (int index = 0; index < kPackageEntryCount; ++index) {
        DirectoryRecord record;
        ReadDirectoryRecord(context->package_directory[index], &record);
        // The same names the extraction accepts, and no others.
        if (!record.name_terminated || !IsSafeEntryName(record.name)) continue;
        DeletePackageFile(product, record.name);
    }
    Release(&product);
    return 0;
}

void DeleteOrMoveAside(const char* folder, const char* name) {
    if (folder == nullptr || folder[0] == '\0' || HasPattern(folder) || std::strpbrk(name, "\\/") != nullptr) return;
    Held held;
    if (!HoldFolder(folder, &held)) return;
    DeletePackageFile(held, name);
    Release(&held);
}

int DeleteShortcut(const char* folder, const char* title) {
    if (folder == nullptr || folder[0] == '\0') return 0;
    // A per-user folder: the user's own rights. Narrowed, a listed name is
    // all it deletes anyway.
    plat::UserRights rights = BeginUserWork();
    Held held;
    int deleted = HoldFolder(folder, &held) ? DeleteShortcutIn(held, title) : 0;
    Release(&held);
    EndUserWork(rights);
    return deleted;
}

void RemoveStartMenuShortcuts(const SetupContext* context, char* buffer, std::size_t size) {
    char programs[1024];
    if (ReadUserProgramsFolder(programs, sizeof programs) && BuildShortcutFolder(buffer, size, programs)) {
        plat::UserRights rights = BeginUserWork();
        RemoveShortcutsIn(context, buffer, rights == plat::UserRights::kNarrowed);
        EndUserWork(rights);
    }
    if (BuildShortcutFolder(buffer, size, common_programs_folder)) RemoveShortcutsIn(context, buffer, false);
}

int DeleteFolderTree(const char* folder) {
    if (folder == nullptr || folder[0] == '\0' || HasPattern(folder) || !IsPlainFolderPath(folder)) return 1;
    plat::EntryFacts facts{};
    plat::Handle entry = plat::FolderHold(folder, &facts);
    if (entry == plat::kInvalidHandle) return 1;
    Held held;
    bool link = facts.is_reparse_point != 0;
    if (!link) {
        if (TakeAsFolder(entry, facts, folder, &held)) DeleteContents(held);
        Release(&held);
        entry = plat::EntryOpen(folder, &facts);  // the folder itself, let go and opened anew to go
        if (entry == plat::kInvalidHandle) return 1;
    } else {
        plat::EntryClose(entry);
        entry = plat::EntryOpen(folder, &facts);  // the folder itself is a link: it goes as a link
        if (entry == plat::kInvalidHandle) return 1;
    }
    if (facts.is_directory || (link && facts.is_reparse_point)) plat::EntryDelete(entry);
    plat::EntryClose(entry);
    return 1;
}

int RemoveEmptyFolder(const char* folder) {
    char parent_path[1024];
    if (folder == nullptr || !CopyText(parent_path, sizeof parent_path, folder)) return 0;
    const char* cut = LastBackslash(parent_path);
    if (cut == nullptr || cut[1] == '\0') return 0;
    char* last = parent_path + (cut - parent_path);
    *last = '\0';
    Held parent;
    if (!HoldFolder(parent_path, &parent)) return 0;
    plat::Handle entry = plat::kInvalidHandle;
    plat::EntryFacts facts{};
    int removed = 0;
    if (OpenBelow(parent, last + 1, 1, &entry, &facts)) {
        // A folder disposition fails while the folder holds anything. A
        // link is not ours, whatever a look-up by name said before.
        if (facts.is_directory && !facts.is_reparse_point) removed = plat::EntryDelete(entry);
        plat::EntryClose(entry);
    }
    Release(&parent);
    return removed;
}

int DeleteRegistryTree(plat::Handle parent, const char* subkey) {
    plat::Handle key = nullptr;
    if (plat::RegistryOpenKeyEx(parent, subkey, plat::kKeyDelete | plat::kKeyEnumerateSubKeys, &key) !=
        plat::kErrorSuccess)
        return 0;
    int deleted = 0;
    for (;;) {
        char name[1024];
        std::uint32_t name_size = 1023;
        std::uint32_t status = plat::RegistryEnumKey(key, 0, name, &name_size);
        if (status == plat::kErrorNoMoreItems) {
            deleted = plat::RegistryDeleteKey(parent, subkey) == plat::kErrorSuccess ? 1 : 0;
            break;
        }
        // A subkey that cannot be named, opened or deleted would come back
        // at index 0 for ever: the key stays.
        if (status != plat::kErrorSuccess || !DeleteRegistryTree(key, name)) break;
    }
    plat::RegistryCloseKey(key);
    return deleted;
}

int ReadUserProgramsFolder(char* destination, std::size_t size) {
    plat::Handle key = nullptr;
    if (plat::RegistryOpenKey(plat::kHkeyCurrentUser, kShellFoldersKey, &key) != plat::kErrorSuccess) return 0;
    char value[4097];
    std::uint32_t type = 0;
    std::uint32_t value_size = 4096;
    std::uint32_t status = plat::RegistryQueryValue(key, kProgramsValue, &type, value, &value_size);
    plat::RegistryCloseKey(key);
    if (status != plat::kErrorSuccess || type != plat::kRegSz) return 0;
    std::size_t length = value_size < 4050 ? value_size : 4050;
    value[length] = '\0';
    // A profile folder is a drive path or a plain UNC path, nothing else.
    return IsPlainFolderPath(value) && CopyText(destination, size, value);
}
