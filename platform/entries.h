// Files and folders reached through a handle on the entry itself, for the
// removal in places a user controls: what was checked is what is acted on.
//
// An entry handle is CreateFileA(path, DELETE | FILE_READ_ATTRIBUTES |
// SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
// FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT): a link opens
// as the link, not its target, and a folder opens too. It shares no
// deletion, so while it is open nobody else can delete, rename or replace
// the entry; a folder held this way also keeps its name, and the names of
// the folders above it, for everything below it. Close with EntryClose.
#pragma once
#include <cstddef>

#include "platform/types.h"

namespace plat {

// What the handle says of the entry (GetFileInformationByHandle).
struct EntryFacts {
    int is_directory;
    int is_reparse_point;  // a link (junction, symbolic link, mount point)
};

// Opens the entry itself; kInvalidHandle when nothing answers, when it is
// in use in a way that refuses deletion access, or when it is not allowed.
Handle EntryOpen(const char* path, EntryFacts* facts);

// The entry's final path (GetFinalPathNameByHandleA, looked up at run time,
// normalized, with the "\\?\" or "\\?\UNC\" prefix taken off: "C:\..." or
// "\\server\share\..."). 1 when written; 0 when it failed or does not fit;
// -1 when the system has no such call (Windows XP).
int EntryFinalPath(Handle entry, char* out, std::size_t size);

// Marks the entry for deletion through the handle (the delete disposition:
// SetFileInformationByHandle, or NtSetInformationFile where that is
// missing); it goes when the handle is closed. 1 when marked; 0 for a file
// in use by a running program or a loaded DLL, a read-only file, or a
// folder that is not empty. A link goes as a link.
int EntryDelete(Handle entry);

// Renames the entry through the handle to the full path `to` (no
// replacing). 1 when done; 0 when the target exists or the call fails.
// Works for a file in use by a running program or a loaded DLL.
int EntryRename(Handle entry, const char* to);

// CloseHandle of an entry handle; a marked entry goes now.
void EntryClose(Handle entry);

}  // namespace plat
