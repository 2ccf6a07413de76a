// Files and folders reached through a handle on the entry itself, for the
// removal in places a user controls: what was checked is what is acted on.
//
// Both kinds of handle are CreateFileA(path, ..., OPEN_EXISTING,
// FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT): a link opens
// as the link, not its target, and a folder opens too.
// A hold (FolderHold) shares reading and writing but no deletion, so while
// it is open nobody else can delete, rename or replace the folder, and the
// names of the folders above it stay too. It asks for no deletion access
// itself (FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE: an open
// without data access would escape the sharing checks), so it goes along
// with a process whose current folder it is.
// An entry handle (EntryOpen) asks only DELETE | FILE_READ_ATTRIBUTES |
// SYNCHRONIZE and shares everything, deletion too: an indexer or a virus
// scanner holding the file does not stop it, and whatever another program
// does to the name, the handle stays on the object that was checked.
// Close either with EntryClose.
#pragma once
#include <cstddef>

#include "platform/types.h"

namespace plat {

// What the handle says of the entry (GetFileInformationByHandle).
struct EntryFacts {
    int is_directory;
    int is_reparse_point;  // a link (junction, symbolic link, mount point)
    // Set when the open failed because the entry is already marked for
    // deletion and another program still holds it open: its name goes when
    // that program lets go.
    int delete_pending;
};

// Holds the entry itself (see above); kInvalidHandle when nothing answers
// or it is not allowed.
Handle FolderHold(const char* path, EntryFacts* facts);

// Opens the entry itself with deletion access; kInvalidHandle when nothing answers, when it is
// in use in a way that refuses deletion access, or when it is not allowed.
Handle EntryOpen(const char* path, EntryFacts* facts);

// The same opens by a UTF-16 path (CreateFileW), for folders a user names.
Handle FolderHold(const char16_t* path, EntryFacts* facts);
Handle EntryOpen(const char16_t* path, EntryFacts* facts);

// The entry's final path in UTF-16 (GetFinalPathNameByHandleW, looked up
// at run time, normalized, with the "\\?\" or "\\?\UNC\" prefix taken off:
// "C:\..." or "\\server\share\..."), `units` UTF-16 units at most, the
// terminator included. In UTF-16 no two folders read alike, as they can
// through the ANSI code page's '?' and best fits. 1 when written; 0 when it
// failed or does not fit; -1 when the system has no such call (Windows XP).
int EntryFinalPath(Handle entry, char16_t* out, std::size_t units);

// Marks the entry for deletion through the handle; it goes when the handle
// is closed. Where Windows has it (10, 1709 on, NTFS), with POSIX
// semantics (SetFileInformationByHandle(FileDispositionInfoEx)): the name
// goes then even while another program holds the file open. Elsewhere, or
// where the volume refuses that, the classic disposition
// (SetFileInformationByHandle(FileDispositionInfo), or NtSetInformationFile
// where that is missing): the name then stays, pending, until every other
// handle is closed. 1 when marked; 0 for a file in use by a running
// program or a loaded DLL, a read-only file, or a folder that is not
// empty. A link goes as a link.
int EntryDelete(Handle entry);

// Renames the entry through the handle to the full path `to` (no
// replacing). 1 when done; 0 when the target exists or the call fails.
// Works for a file in use by a running program or a loaded DLL.
int EntryRename(Handle entry, const char* to);

// CloseHandle of an entry handle; a marked entry goes now.
void EntryClose(Handle entry);

}  // namespace plat
