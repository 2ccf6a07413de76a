#include "uninstall/removal.h"

#include <cstring>

#include "package/package_format.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "setup/text.h"

namespace {

// The product's shortcut titles in the order they are deleted; the "x64"
// ones exist only on 64-bit Windows.
struct ShortcutTitle {
    const char* title;
    bool only_64bit;
};
constexpr ShortcutTitle kShortcutTitles[] = {
    {"Mixolyte", false},
    {"Mixolyte x64", true},
    {"Virtual IO Control Panel", false},
    {"Readme", false},
    {"Macro Buttons", false},
    {"ZTAN-2-MIDI", false},
    {"8x8 Output Matrix", false},
    {"15 Bands Graphic EQ", false},
    {"ML Streamer View", false},
    {"Mixolyte Kumbra", false},
    {"Mixolyte Kumbra x64", true},
    {"Virtual AUX IO Control Panel", false},
};

constexpr char kLinkExtension[] = ".LNK";

std::size_t LongestTitle() {
    std::size_t longest = 0;
    for (const ShortcutTitle& entry : kShortcutTitles)
        if (std::strlen(entry.title) > longest) longest = std::strlen(entry.title);
    return longest;
}

// buffer := programs\ZT Audio\MixoLyte. 0 when the Programs folder is empty
// or the shortcut folder leaves no room in the buffer for a backslash, the
// longest title and ".LNK": such a folder is refused rather than cut.
int BuildShortcutFolder(char* buffer, std::size_t size, const char* programs) {
    if (programs[0] == '\0') return 0;
    char programs_copy[1024];
    if (!CopyText(programs_copy, sizeof programs_copy, programs)) return 0;
    if (!JoinPath(buffer, size, programs_copy, kShortcutFolderName)) return 0;
    std::size_t needed = std::strlen(buffer) + 1 + LongestTitle() + sizeof kLinkExtension - 1;
    return needed < size ? 1 : 0;
}

// What stands at one exact path, as a search without wildcards finds it
// (a link as itself). 0 when nothing answers.
int LookUp(const char* path, plat::FindEntry* entry) {
    plat::Handle search = plat::FindFirst(path, entry);
    if (search == plat::kInvalidHandle) return 0;
    plat::FindClose(search);
    return 1;
}

// 1 when the path must not be walked: it is a link, or it holds wildcards
// (no real folder name does, and a search would read them as a pattern).
int IsLinkOrPattern(const char* path) {
    if (std::strpbrk(path, "*?") != nullptr) return 1;
    plat::FindEntry entry;
    return LookUp(path, &entry) && entry.is_reparse_point ? 1 : 0;
}

// Removes a link as a link: RemoveDirectoryA for a folder link, DeleteFileA
// for a file link. Neither touches the target.
int RemoveLink(const char* path, int is_directory) {
    return is_directory ? plat::FolderRemove(path) : plat::FileDelete(path);
}

// 1 when a folder between `folder` and the file `name` below it is a link:
// deleting through it would reach elsewhere.
int PassesThroughLink(const char* folder, const char* name) {
    char path[1024];
    if (!CopyText(path, sizeof path, folder)) return 1;
    const char* component = name;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p != '\\' && *p != '/') continue;
        char part[260];
        std::size_t length = static_cast<std::size_t>(p - component);
        if (length >= sizeof part) return 1;
        std::memcpy(part, component, length);
        part[length] = '\0';
        char next[1024];
        if (!JoinPath(next, sizeof next, path, part) || IsLinkOrPattern(next)) return 1;
        CopyText(path, sizeof path, next);
        component = p + 1;
    }
    return 0;
}

void RemoveShortcutsIn(const SetupContext* context, const char* folder) {
    // A user can make "ZT Audio" or "MixoLyte" a link to any folder: the
    // shortcuts are then not ours, and nothing is deleted through it. A
    // linked shortcut folder goes as a link.
    char parent[1024];
    if (!CopyText(parent, sizeof parent, folder)) return;
    char* cut = std::strrchr(parent, '\\');
    if (cut != nullptr) *cut = '\0';
    if (IsLinkOrPattern(parent)) return;
    if (IsLinkOrPattern(folder)) {
        plat::FolderRemove(folder);
        return;
    }
    for (const ShortcutTitle& entry : kShortcutTitles) {
        if (entry.only_64bit && context->is_wow64 == 0) continue;
        DeleteShortcut(folder, entry.title);
    }
    DeleteFolderTree(folder);
}

// Deletes what the folder holds, one entry per search: every deletion
// starts the search again. Gives 1 when the folder itself was removed.
int DeleteFolderContents(const char* folder) {
    char path[2048];
    for (bool again = true; again;) {
        again = false;
        if (!JoinPath(path, sizeof path, folder, "*.*")) break;
        plat::FindEntry entry;
        plat::Handle search = plat::FindFirst(path, &entry);
        if (search == plat::kInvalidHandle) break;
        bool found = false;
        do {
            if (entry.is_directory && entry.name[0] == '.') continue;  // ".", ".." and their like stay
            found = true;
            break;
        } while (plat::FindNext(search, &entry));
        plat::FindClose(search);
        if (!found) break;

        if (!JoinPath(path, sizeof path, folder, entry.name)) break;
        if (entry.is_reparse_point) {
            // Never walked into: the link goes, its target stays. A link
            // that cannot be removed counts like a file that stays.
            again = RemoveLink(path, entry.is_directory) == 1;
        } else if (entry.is_directory) {
            // A subfolder that stays ends the work here, so that the walk
            // cannot pick it again and again.
            again = DeleteFolderContents(path) == 1;
        } else {
            again = plat::FileDelete(path) == 1;
        }
    }
    return plat::FolderRemove(folder);
}

}  // namespace

int PurgeDelFiles(const char* folder) {
    if (folder == nullptr || folder[0] == '\0' || IsLinkOrPattern(folder)) return 0;
    char path[2048];
    if (!JoinPath(path, sizeof path, folder, "*.del")) return 0;
    plat::FindEntry entry;
    plat::Handle search = plat::FindFirst(path, &entry);
    if (search == plat::kInvalidHandle) return 0;
    int tried = 0;
    do {
        if (entry.is_directory) continue;
        if (!JoinPath(path, sizeof path, folder, entry.name)) continue;
        plat::FileDelete(path);
        ++tried;
    } while (plat::FindNext(search, &entry));
    plat::FindClose(search);
    return tried;
}

int DelNameOf(const char* path, char* out, std::size_t size) {
    const char* last_backslash = std::strrchr(path, '\\');
    const char* component = last_backslash ? last_backslash + 1 : path;
    const char* dot = std::strrchr(component, '.');
    if (dot == nullptr) return 0;
    if (!CopyText(out, size, path)) return 0;
    out[dot - path] = '\0';
    return AppendText(out, size, ".del");
}

int DeletePackageFiles(const SetupContext* context) {
    if (context->product_folder[0] == '\0') return 0;  // never paths relative to the current folder
    if (IsLinkOrPattern(context->product_folder)) return 0;
    for (int index = 0; index < kPackageEntryCount; ++index) {
        DirectoryRecord record;
        ReadDirectoryRecord(context->package_directory[index], &record);
        // The same names the extraction accepts, and no others.
        if (!record.name_terminated || !IsSafeEntryName(record.name)) continue;
        if (PassesThroughLink(context->product_folder, record.name)) continue;
        char path[1024];
        if (!JoinPath(path, sizeof path, context->product_folder, record.name)) continue;
        if (plat::FileDelete(path)) continue;
        char moved[1024];
        if (DelNameOf(path, moved, sizeof moved)) plat::FileRename(path, moved);
    }
    return 0;
}

int DeleteShortcut(const char* folder, const char* title) {
    if (folder == nullptr || folder[0] == '\0') return 0;
    char path[2048];
    if (!JoinPath(path, sizeof path, folder, title) || !AppendText(path, sizeof path, kLinkExtension)) return 0;
    return plat::FileDelete(path);
}

void RemoveStartMenuShortcuts(const SetupContext* context, char* buffer, std::size_t size) {
    char programs[1024];
    if (ReadUserProgramsFolder(programs, sizeof programs) && BuildShortcutFolder(buffer, size, programs))
        RemoveShortcutsIn(context, buffer);
    if (BuildShortcutFolder(buffer, size, common_programs_folder)) RemoveShortcutsIn(context, buffer);
}

int DeleteFolderTree(const char* folder) {
    if (folder == nullptr || folder[0] == '\0') return 1;
    plat::FindEntry self;
    if (std::strpbrk(folder, "*?") != nullptr) return 1;
    if (LookUp(folder, &self) && self.is_reparse_point) {
        RemoveLink(folder, self.is_directory);  // the folder itself is a link
        return 1;
    }
    DeleteFolderContents(folder);
    return 1;
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
    return CopyText(destination, size, value);
}
