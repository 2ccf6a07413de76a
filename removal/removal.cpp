#include "removal/removal.h"

#include <cstring>
#include <type_traits>

#include "base/names.h"
#include "base/path_chars.h"
#include "base/text.h"
#include "base/wide_text.h"
#include "base/user_rights.h"
#include "package/package_format.h"
#include "platform/entries.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace {

// The removal is written once over the character type: char for the
// product's own folders (ANSI, as everywhere in the program), char16_t for
// the folders a user names (their Programs and Startup folders), so that
// every letter of those reaches the system whole.

// An ASCII name of the program's (a shortcut folder, "*.*") in the
// character type of a walk.
template <typename C>
struct Ascii {
    C text[300] = {};
    explicit Ascii(const char* ascii) { AppendAscii(text, sizeof text / sizeof(C), ascii); }
};

// The search record of the character type.
template <typename C>
using FindOf = std::conditional_t<std::is_same_v<C, char>, plat::FindEntry, plat::FindEntryW16>;

template <typename C>
int JoinAscii(C* dst, std::size_t size, const C* folder, const char* name) {
    return JoinPathByChars(dst, size, folder, Ascii<C>(name).text);
}

template <typename C>
bool SameUnits(const C* a, const C* b) {
    for (; *a != 0 && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

std::size_t LongestTitle() {
    std::size_t longest = 0;
    for (const ShortcutRow& row : kShortcutRows)
        if (std::strlen(row.title) > longest) longest = std::strlen(row.title);
    return longest;
}

// buffer := programs\ZT Audio\MixoLyte. 0 when the Programs folder is empty
// or the shortcut folder leaves no room in the buffer for a backslash, the
// longest title and ".LNK": such a folder is refused rather than cut.
template <typename C>
int BuildShortcutFolder(C* buffer, std::size_t size, const C* programs) {
    if (programs[0] == '\0') return 0;
    C programs_copy[1024];
    if (!CopyText(programs_copy, sizeof programs_copy / sizeof(C), programs)) return 0;
    if (!JoinAscii(buffer, size, programs_copy, kShortcutFolderName)) return 0;
    std::size_t needed = TextLength(buffer) + 1 + LongestTitle() + sizeof kLinkExtension - 1;
    return needed < size ? 1 : 0;
}

// Wildcards: no trail byte of a double-byte character is '*' or '?'.
template <typename C>
bool HasPattern(const C* path) {
    for (; *path != 0; ++path)
        if (*path == '*' || *path == '?') return true;
    return false;
}

// A folder held open as itself while the work below it is done. Nobody can
// rename or replace it meanwhile, so its path keeps naming what was checked:
// a real folder, no link.
template <typename C>
struct Held {
    plat::Handle handle = plat::kInvalidHandle;
    C path[1024] = {};
    // Where it really is, in UTF-16 whatever the walk's character type, so
    // that no two folders read alike; empty where the system cannot tell.
    char16_t final_path[1024] = {};
    int depth = 0;  // folders between it and the top of the walk
};

// Far deeper than anything of the product's: a deeper tree stays, and the
// walk's stack stays small (each level holds a few kilobytes).
constexpr int kMaxWalkDepth = 64;

template <typename C>
void Release(Held<C>* held) {
    if (held->handle != plat::kInvalidHandle) plat::EntryClose(held->handle);
    held->handle = plat::kInvalidHandle;
}

// The final path `inner` is `outer`, a backslash and one more component:
// its start names the same folder as the file system compares names.
bool IsDirectlyBelow(const char16_t* inner, const char16_t* outer) {
    std::size_t length = WideLength(outer);
    if (length == 0 || WideLength(inner) <= length + 1) return false;
    if (plat::FileNamesSame(inner, length, outer, length) != 1) return false;
    return inner[length] == u'\\' && WideFindFirst(inner + length + 1, u'\\') == nullptr;
}

// Opens `name` in the held folder as itself: held (`deleting` 0) or with
// deletion access. 1 with the open handle when it is there and, where the
// system tells final paths, really lies in that folder (no link among the
// names on the way, no object-manager trick); else 0 and nothing is open.
template <typename C>
int OpenBelow(const Held<C>& folder, const C* name, int deleting, plat::Handle* entry, plat::EntryFacts* facts) {
    C path[1024];
    CharsOf<C> chars;
    if (HasPattern(name) || HasCharOf(&chars, name, "\\/:") || CharsUnknown(chars)) return 0;
    if (!JoinPathByChars(path, sizeof path / sizeof(C), folder.path, name)) return 0;
    *entry = deleting ? plat::EntryOpen(path, facts) : plat::FolderHold(path, facts);
    if (*entry == plat::kInvalidHandle) return 0;
    if (folder.final_path[0] == '\0') return 1;
    char16_t final_path[1024];
    if (plat::EntryFinalPath(*entry, final_path, sizeof final_path / sizeof(char16_t)) == 1 &&
        IsDirectlyBelow(final_path, folder.final_path))
        return 1;
    plat::EntryClose(*entry);
    *entry = plat::kInvalidHandle;
    return 0;
}

// Takes the held entry as a held folder when it is a real folder; else
// lets it go. `path` is the name it was opened by.
template <typename C>
int TakeAsFolder(plat::Handle entry, const plat::EntryFacts& facts, const C* path, Held<C>* held) {
    held->handle = entry;
    held->final_path[0] = u'\0';
    if (!facts.is_directory || facts.is_reparse_point || !CopyText(held->path, sizeof held->path / sizeof(C), path)) {
        Release(held);
        return 0;
    }
    // Where the system cannot tell (Windows XP; redirectors and shared
    // folders of virtual machines that do not answer), the holds and the
    // link checks carry the work alone.
    if (plat::EntryFinalPath(entry, held->final_path, sizeof held->final_path / sizeof(char16_t)) != 1)
        held->final_path[0] = u'\0';
    return 1;
}

// Holds a top folder of the removal: a drive or plain UNC path of a real
// folder, not a link. 0 when it cannot be held that way.
template <typename C>
int HoldFolder(const C* path, Held<C>* held) {
    if (!IsPlainFolderPath(path)) return 0;
    plat::EntryFacts facts{};
    plat::Handle entry = plat::FolderHold(path, &facts);
    if (entry == plat::kInvalidHandle) return 0;
    return TakeAsFolder(entry, facts, path, held);
}

// Holds the real folder `name` in the held folder.
template <typename C>
int HoldBelow(const Held<C>& parent, const C* name, Held<C>* held) {
    plat::Handle entry = plat::kInvalidHandle;
    plat::EntryFacts facts{};
    C path[1024];
    if (!JoinPathByChars(path, sizeof path / sizeof(C), parent.path, name) || !OpenBelow(parent, name, 0, &entry, &facts)) return 0;
    return TakeAsFolder(entry, facts, path, held);
}

// Deletes `name` in the held folder through a handle on it with deletion
// access: a file or a link (as a link) when `folders` is 0, as DeleteFileA
// would; with `folders` 1 also an empty real folder, as RemoveDirectoryA.
template <typename C>
int DeleteIn(const Held<C>& folder, const C* name, int folders) {
    plat::Handle entry = plat::kInvalidHandle;
    plat::EntryFacts facts{};
    if (!OpenBelow(folder, name, 1, &entry, &facts)) return 0;
    int deleted = !facts.is_directory || folders ? plat::EntryDelete(entry) : 0;
    plat::EntryClose(entry);
    return deleted;
}

template <typename C>
int DeleteShortcutIn(const Held<C>& folder, const char* title) {
    C name[300] = {};
    if (!AppendAscii(name, sizeof name / sizeof(C), title) || !AppendAscii(name, sizeof name / sizeof(C), kLinkExtension))
        return 0;
    return DeleteIn(folder, name, 0);
}

// What DeleteContents left: nothing, nothing but names already marked
// for deletion that another program still holds open (they go when it lets
// go), or something that stays.
enum class Left { kNothing, kOnlyPending, kSomething };

template <typename C>
Left DeleteContents(const Held<C>& folder);

// Deletes the held folder `name` of `parent` with all it holds: its
// contents while it is held, then (let go, and opened anew with deletion
// access) the folder itself. 1 when the folder went; -1 when it stays
// holding nothing but names already marked for deletion.
template <typename C>
int DeleteTreeBelow(const Held<C>& parent, const C* name, Held<C>* folder) {
    Left left = DeleteContents(*folder);
    Release(folder);
    if (DeleteIn(parent, name, 1)) return 1;
    return left == Left::kOnlyPending ? -1 : 0;
}

// The names of one folder that stay listed though marked for deletion:
// the walk passes over them. A folder with more of them is left as it is.
template <typename C>
struct PendingNames {
    static constexpr int kMax = 8;
    C names[kMax][260];
    int count = 0;
};

template <typename C>
bool IsPendingName(const PendingNames<C>& pending, const C* name) {
    for (int i = 0; i < pending.count; ++i)
        if (SameUnits(pending.names[i], name)) return true;
    return false;
}

template <typename C>
bool AddPendingName(PendingNames<C>* pending, const C* name) {
    if (pending->count == PendingNames<C>::kMax) return false;
    return CopyText(pending->names[pending->count++], sizeof pending->names[0] / sizeof(C), name) == 1;
}

// Deletes what the held folder holds, one entry per search: every deletion
// starts the search again. Each entry is reached as itself: a link goes as
// a link, a subfolder is held while its own contents go. A name that stays
// listed though marked for deletion (another program holds it open and the
// system has no POSIX deletion) is passed over.
template <typename C>
Left DeleteContents(const Held<C>& folder) {
    C pattern[2048];
    if (!JoinAscii(pattern, sizeof pattern / sizeof(C), folder.path, "*.*")) return Left::kSomething;
    PendingNames<C> pending;
    C last[260] = {};  // the name deleted last
    for (;;) {
        FindOf<C> found;
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
        if (SameUnits(found.name, last)) {
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
            Held<C> sub;
            C path[1024];
            if (folder.depth >= kMaxWalkDepth) {
                plat::EntryClose(entry);
                return Left::kSomething;
            }
            if (!JoinPathByChars(path, sizeof path / sizeof(C), folder.path, found.name) ||
                !TakeAsFolder(entry, facts, static_cast<const C*>(path), &sub))
                return Left::kSomething;
            sub.depth = folder.depth + 1;
            gone = DeleteTreeBelow(folder, found.name, &sub);
            if (gone == -1 && !AddPendingName(&pending, found.name)) return Left::kSomething;
        } else {
            plat::EntryClose(entry);
            gone = DeleteIn(folder, found.name, 1);  // a link goes as a link; its target stays
        }
        if (gone == 0 || !CopyText(last, sizeof last / sizeof(C), found.name)) return Left::kSomething;
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

template <typename C>
void DeleteListedShortcuts(const SetupContext* context, const Held<C>& shortcuts) {
    for (int rank = 0; rank < kShortcutCount; ++rank)
        for (const ShortcutRow& row : kShortcutRows)
            if (row.removal_rank == rank && (row.condition != kOn64Bit || context->is_wow64 != 0))
                DeleteShortcutIn(shortcuts, row.title);
}

// Without the user's own rights where they should be had (`narrowed`):
// only the listed shortcuts go, and the shortcut folder only when that left
// it empty; a linked one stays.
template <typename C>
void RemoveShortcutsNarrowed(const SetupContext* context, const Held<C>& parent, plat::Handle entry,
                             const plat::EntryFacts& facts, const C* folder) {
    Held<C> shortcuts;
    if (facts.is_reparse_point) {
        plat::EntryClose(entry);
    } else if (TakeAsFolder(entry, facts, folder, &shortcuts)) {
        DeleteListedShortcuts(context, shortcuts);
        Release(&shortcuts);
        DeleteIn(parent, Ascii<C>(kShortcutLeafName).text, 1);  // a folder disposition fails while it holds anything
    }
}

template <typename C>
void RemoveShortcutsIn(const SetupContext* context, const C* folder, bool narrowed) {
    // The Programs folder and "ZT Audio" are held as real folders: a user
    // can make either a link to any folder, and the shortcuts there are then
    // not ours. A linked shortcut folder goes as a link.
    C programs[1024];
    if (!CopyText(programs, sizeof programs / sizeof(C), folder)) return;
    for (int cut = 0; cut < 2; ++cut) {
        const C* last = LastBackslash<C>(programs);
        if (last == nullptr) return;
        programs[last - programs] = '\0';
    }
    const Ascii<C> leaf(kShortcutLeafName);
    Held<C> programs_held, parent;
    if (!HoldFolder<C>(programs, &programs_held)) return;
    if (HoldBelow(programs_held, Ascii<C>(kShortcutParentName).text, &parent)) {
        plat::Handle entry = plat::kInvalidHandle;
        plat::EntryFacts facts{};
        if (OpenBelow(parent, leaf.text, 0, &entry, &facts) && narrowed) {
            RemoveShortcutsNarrowed(context, parent, entry, facts, folder);
        } else if (entry != plat::kInvalidHandle) {
            Held<C> shortcuts;
            if (facts.is_reparse_point) {
                plat::EntryClose(entry);
                if (facts.is_directory) DeleteIn(parent, leaf.text, 1);
            } else if (TakeAsFolder(entry, facts, folder, &shortcuts)) {
                DeleteListedShortcuts(context, shortcuts);
                DeleteTreeBelow(parent, leaf.text, &shortcuts);
            }
        }
        Release(&parent);
    }
    Release(&programs_held);
}

// Deletes the package file `name` (below the held product folder, with its
// subfolders held on the way), or moves it aside to its ".del" name.
void DeletePackageFile(const Held<char>& product, const char* name) {
    constexpr int kDepth = 16;
    Held<char> chain[kDepth];
    int depth = 0;
    const Held<char>* folder = &product;
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
        reached = HoldBelow(*folder, static_cast<const char*>(part), &chain[depth]) == 1;
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

template <typename C>
int PlainFolderPath(const C* path) {
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
    CharsOf<C> chars;
    int components = 0;
    for (std::size_t i = start; path[i] != '\0'; ++components) {
        const C* component = path + i;
        std::size_t length = 0, n = 0, last_char = 0;
        for (; (n = CharBytes(&chars, component + length)) != 0; length += n) {
            auto c = static_cast<std::make_unsigned_t<C>>(component[length]);
            if (n == 1 && c == '\\') break;
            last_char = length;
            // No wildcards, streams or other characters Windows refuses.
            if (n == 1 && (c < 0x20 || (c < 0x80 && std::strchr("/:*?\"<>|", static_cast<char>(c)) != nullptr)))
                return 0;
        }
        bool last = component[length] == '\0';
        if (length == 0) {
            // "\\\\" inside, nothing after the root, or no share name
            if (!last || i == start || (start == 2 && components < 2)) return 0;
        } else {
            // No devices, "." or "..", and no final dot or blank that Windows
            // would strip.
            C final = component[last_char];
            if (last_char == length - 1 && (final == '.' || final == ' ')) return 0;
            if (IsDeviceName(component, length)) return 0;
        }
        i += length;
        if (path[i] == '\\') ++i;
    }
    if (start == 2 && components < 2) return 0;  // "\\server" without a share
    return CharsUnknown(chars) ? 0 : 1;
}

}  // namespace

int IsPlainFolderPath(const char* path) { return PlainFolderPath(path); }

int IsPlainFolderPath(const char16_t* path) { return PlainFolderPath(path); }

int PurgeDelFiles(const char* folder) {
    if (folder == nullptr || folder[0] == '\0' || HasPattern(folder)) return 0;
    Held<char> held;
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
    Held<char> product;
    if (!HoldFolder<char>(context->product_folder, &product)) return 0;
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
    Held<char> held;
    if (!HoldFolder(folder, &held)) return;
    DeletePackageFile(held, name);
    Release(&held);
}

namespace {

template <typename C>
int DeleteShortcutOf(const C* folder, const char* title) {
    if (folder == nullptr || folder[0] == '\0') return 0;
    // A per-user folder: the user's own rights. Narrowed, a listed name is
    // all it deletes anyway.
    plat::UserRights rights = BeginUserWork();
    Held<C> held;
    int deleted = HoldFolder(folder, &held) ? DeleteShortcutIn(held, title) : 0;
    Release(&held);
    EndUserWork(rights);
    return deleted;
}

}  // namespace

int DeleteShortcut(const char* folder, const char* title) { return DeleteShortcutOf(folder, title); }

int DeleteShortcut(const char16_t* folder, const char* title) { return DeleteShortcutOf(folder, title); }

void RemoveStartMenuShortcuts(const SetupContext* context, char* buffer, std::size_t size) {
    // The user's folder in UTF-16, in a buffer of as many units as the
    // caller's has bytes.
    char16_t programs[1024];
    char16_t user_folder[1024];
    std::size_t units = size < 1024 ? size : 1024;
    if (ReadUserProgramsFolder(programs, 1024) && BuildShortcutFolder(user_folder, units, programs)) {
        plat::UserRights rights = BeginUserWork();
        RemoveShortcutsIn(context, static_cast<const char16_t*>(user_folder), rights == plat::UserRights::kNarrowed);
        EndUserWork(rights);
    }
    if (BuildShortcutFolder(buffer, size, static_cast<const char*>(common_programs_folder)))
        RemoveShortcutsIn(context, static_cast<const char*>(buffer), false);
}

int DeleteFolderTree(const char* folder) {
    if (folder == nullptr || folder[0] == '\0' || HasPattern(folder) || !IsPlainFolderPath(folder)) return 1;
    plat::EntryFacts facts{};
    plat::Handle entry = plat::FolderHold(folder, &facts);
    if (entry == plat::kInvalidHandle) return 1;
    Held<char> held;
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

namespace {

template <typename C>
int RemoveEmptyFolderOf(const C* folder) {
    C parent_path[1024];
    if (folder == nullptr || !CopyText(parent_path, sizeof parent_path / sizeof(C), folder)) return 0;
    const C* cut = LastBackslash<C>(parent_path);
    if (cut == nullptr || cut[1] == '\0') return 0;
    C* last = parent_path + (cut - parent_path);
    *last = '\0';
    Held<C> parent;
    if (!HoldFolder(parent_path, &parent)) return 0;
    plat::Handle entry = plat::kInvalidHandle;
    plat::EntryFacts facts{};
    int removed = 0;
    if (OpenBelow(parent, static_cast<const C*>(last + 1), 1, &entry, &facts)) {
        // A folder disposition fails while the folder holds anything. A
        // link is not ours, whatever a look-up by name said before.
        if (facts.is_directory && !facts.is_reparse_point) removed = plat::EntryDelete(entry);
        plat::EntryClose(entry);
    }
    Release(&parent);
    return removed;
}

}  // namespace

int RemoveEmptyFolder(const char* folder) { return RemoveEmptyFolderOf(folder); }

int RemoveEmptyFolder(const char16_t* folder) { return RemoveEmptyFolderOf(folder); }

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

int ReadUserProgramsFolder(char16_t* destination, std::size_t units) {
    plat::Handle key = nullptr;
    if (plat::RegistryOpenKeyW16(plat::kHkeyCurrentUser, kShellFoldersKeyW16, &key) != plat::kErrorSuccess) return 0;
    char16_t value[2049];
    std::uint32_t type = 0;
    std::uint32_t value_size = 4096;  // bytes
    std::uint32_t status = plat::RegistryQueryValueW16(key, kProgramsValueW16, &type, value, &value_size);
    plat::RegistryCloseKey(key);
    if (status != plat::kErrorSuccess || type != plat::kRegSz) return 0;
    std::size_t length = (value_size < 4050 ? value_size : 4050) / sizeof(char16_t);
    value[length] = u'\0';
    // A profile folder is a drive path or a plain UNC path, nothing else.
    return IsPlainFolderPath(static_cast<const char16_t*>(value)) && CopyText(destination, units, value);
}
