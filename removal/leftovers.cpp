#include "removal/leftovers.h"

#include <cstring>

#include "base/names.h"
#include "base/path_chars.h"
#include "base/text.h"
#include "base/wide_text.h"
#include "base/user_rights.h"
#include "platform/files.h"
#include "removal/removal.h"

namespace {

// Deeper than the package ever goes ("mp3lame\x"): a deeper tree is not
// ours, and the walk must end.
constexpr int kMaxDepth = 8;

bool EndsWithDel(const char* name) {
    std::size_t length = std::strlen(name);
    return length > 4 && SameText(".del", name + length - 4);
}

// A real folder at exactly this path: the look-up answers, it is a folder,
// and not a link. A look-up that fails counts as "no": nothing is touched.
// For an ANSI path or a UTF-16 one (a folder a user names).
bool IsPlainFolder(const char* path) {
    if (path[0] == '\0' || std::strpbrk(path, "*?") != nullptr) return false;
    plat::FindEntry entry;
    plat::Handle search = plat::FindFirst(path, &entry);
    if (search == plat::kInvalidHandle) return false;
    plat::FindClose(search);
    return entry.is_directory && !entry.is_reparse_point;
}

bool IsPlainFolder(const char16_t* path) {
    if (path[0] == u'\0' || WideFindFirst(path, u'*') != nullptr || WideFindFirst(path, u'?') != nullptr) return false;
    plat::FindEntryW16 entry;
    plat::Handle search = plat::FindFirst(path, &entry);
    if (search == plat::kInvalidHandle) return false;
    plat::FindClose(search);
    return entry.is_directory && !entry.is_reparse_point;
}

// Calls visit(path, entry) for each entry of the folder but "." and "..",
// and directories whose name begins with "." (the folder walk leaves
// those alone too).
template <class Visit>
void ForEachEntry(const char* folder, Visit visit) {
    char path[2048];
    if (!JoinPathByChars(path, sizeof path, folder, "*.*")) return;
    plat::FindEntry entry;
    plat::Handle search = plat::FindFirst(path, &entry);
    if (search == plat::kInvalidHandle) return;
    do {
        if (entry.is_directory && entry.name[0] == '.') continue;
        if (JoinPathByChars(path, sizeof path, folder, entry.name)) visit(path, entry);
    } while (plat::FindNext(search, &entry));
    plat::FindClose(search);
}

bool IsSubfolder(const plat::FindEntry& entry) { return entry.is_directory && !entry.is_reparse_point; }

int ScheduleDelFiles(const char* folder, int depth) {
    int scheduled = 0;
    ForEachEntry(folder, [&](const char* path, const plat::FindEntry& entry) {
        if (IsSubfolder(entry)) {
            if (depth < kMaxDepth) scheduled += ScheduleDelFiles(path, depth + 1);
        } else if (!entry.is_directory && !entry.is_reparse_point && EndsWithDel(entry.name)) {
            scheduled += plat::FileDeleteAtRestart(path);
        }
    });
    return scheduled;
}

// Deepest first: an empty subfolder goes now, any other is left to the
// restart, which takes it only if it is empty by then.
int ScheduleSubfolders(const char* folder, int depth) {
    int scheduled = 0;
    ForEachEntry(folder, [&](const char* path, const plat::FindEntry& entry) {
        if (!IsSubfolder(entry) || depth >= kMaxDepth) return;
        scheduled += ScheduleSubfolders(path, depth + 1);
        if (!plat::FolderRemove(path)) scheduled += plat::FileDeleteAtRestart(path);
    });
    return scheduled;
}

void TidySubfolders(const char* folder, int depth) {
    ForEachEntry(folder, [&](const char* path, const plat::FindEntry& entry) {
        if (!IsSubfolder(entry) || depth >= kMaxDepth) return;
        TidySubfolders(path, depth + 1);
        plat::FolderRemove(path);  // only when empty
    });
}

// The folder itself is reached below its held Programs folder, so a swap
// of "ZT Audio" for a link between the check and the removal takes away at
// most that link. A per-user folder is changed with the user's own rights;
// narrowed, removing it only when empty is all this does anyway.
template <typename C>
void RemoveEmptyParentIn(const C* programs, bool per_user) {
    C path[2048];
    C parent_name[64] = {};
    if (programs[0] == '\0' || !AppendAscii(parent_name, 64, kShortcutParentName) ||
        !JoinPathByChars(path, sizeof path / sizeof(C), programs, static_cast<const C*>(parent_name)))
        return;
    if (!IsPlainFolder(static_cast<const C*>(path))) return;  // a linked "ZT Audio" is not ours
    plat::UserRights rights = per_user ? BeginUserWork() : plat::UserRights::kOwnRights;
    RemoveEmptyFolder(static_cast<const C*>(path));
    EndUserWork(rights);
}

}  // namespace

void MoveAsideRunningProgram(const SetupContext* context) {
    if (context->product_folder[0] == '\0') return;
    char folder[1024];
    if (!CopyText(folder, sizeof folder, context->program_path)) return;
    CutAtLastBackslash(folder);
    char product[1024];
    CopyText(product, sizeof product, context->product_folder);
    std::size_t length = std::strlen(product);
    if (length > 0 && product[length - 1] == '\\') product[length - 1] = '\0';
    if (!SameText(folder, product)) return;

    DeleteOrMoveAside(product, LastComponent(context->program_path));
}

int FinishAtRestart(const char* product_folder) {
    if (product_folder == nullptr || product_folder[0] == '\0') return 0;
    char parent[1024];
    if (!CopyText(parent, sizeof parent, product_folder)) return 0;
    CutAtLastBackslash(parent);
    // Only the product's own parent, never whatever lies above a product
    // folder found somewhere unexpected.
    bool parent_is_ours = SameText(LastComponent(parent), kProductParentName) && IsPlainFolder(parent);

    if (!IsPlainFolder(product_folder)) {
        // Nothing left (or a link, which the walk never follows): nothing
        // is scheduled; an empty "ZT" goes now.
        if (parent_is_ours) plat::FolderRemove(parent);
        return 0;
    }
    int scheduled = ScheduleDelFiles(product_folder, 0);
    scheduled += ScheduleSubfolders(product_folder, 0);
    scheduled += plat::FileDeleteAtRestart(product_folder);
    if (parent_is_ours) scheduled += plat::FileDeleteAtRestart(parent);
    return scheduled;
}

void RemoveEmptyShortcutParents() {
    RemoveEmptyParentIn(static_cast<const char*>(common_programs_folder), false);
    char16_t programs[1024];
    if (ReadUserProgramsFolder(programs, 1024)) RemoveEmptyParentIn(static_cast<const char16_t*>(programs), true);
}

void RemoveEmptyLeftovers(const char* product_folder) {
    if (product_folder == nullptr || !IsPlainFolder(product_folder)) return;
    TidySubfolders(product_folder, 0);
}
