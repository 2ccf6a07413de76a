// Files and folders, by 8-bit ANSI paths.
//
// Conventions: an operation that gives an int gives the Win32 call's BOOL as
// 1 for success and 0 for failure; where the logic needs the reason, the
// Win32 error (GetLastError right after the call) comes in an out
// parameter. Operations that open something give a Handle: a file or
// search handle, or kInvalidHandle (INVALID_HANDLE_VALUE, not null; the
// seam's one failed-handle value, platform/types.h) when it cannot be opened; every handle given out is closed with its own close
// operation (FileClose, FindClose). Paths are at most MAX_PATH long unless
// an operation says otherwise.
#pragma once
#include <cstddef>

#include "platform/types.h"

namespace plat {

// FILE_ATTRIBUTE_NORMAL, for FileSetAttributes.
constexpr std::uint32_t kFileAttributeNormal = 0x80;

// CreateDirectoryA without security attributes. Gives 1 on success, else 0
// with the Win32 error in *last_error (kErrorAlreadyExists when the folder
// or a file of that name is already there).
int FolderCreate(const char* path, std::uint32_t* last_error);

// CreateDirectoryA with a protected DACL given at creation ("D:P(A;OICI;
// FA;;;SY)(A;OICI;FA;;;BA)"): SYSTEM and the Administrators full control,
// for the folder and everything made below it, no one else, nothing
// inherited from above. Fails (0, error in *last_error) when anything is
// at the path already, so a folder, file or link someone else made first
// is never taken over. 1 when made.
int FolderCreateAdminOnly(const char* path, std::uint32_t* last_error);

// CreateFileA(path, GENERIC_WRITE, no sharing, CREATE_ALWAYS,
// FILE_ATTRIBUTE_NORMAL). kInvalidHandle on failure.
Handle FileCreateForWrite(const char* path);

// One WriteFile of `size` bytes. Gives 1 when the call succeeded; *written
// is the count the system reports written (fewer on a full disk).
int FileWrite(Handle file, const void* data, std::uint32_t size, std::uint32_t* written);

// CloseHandle of a file handle.
void FileClose(Handle file);

// DeleteFileA. 1 on success; fails for a file in use, a read-only file,
// a folder, or nothing there.
int FileDelete(const char* path);

// MoveFileA: renames a file; fails when the target exists or the source
// is missing. Works for a file in use by a running program or loaded DLL.
int FileRename(const char* from, const char* to);

// RemoveDirectoryA: only an empty folder.
int FolderRemove(const char* path);

// CopyFileA. 1 on success.
int FileCopy(const char* from, const char* to, int fail_if_exists);

// SetFileAttributesA. 1 on success.
int FileSetAttributes(const char* path, std::uint32_t attributes);

// CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
// FILE_ATTRIBUTE_NORMAL); kInvalidHandle when it cannot be opened.
// Close with FileClose.
Handle FileOpenForRead(const char* path);

// The program's own file, opened by its UTF-16 path (GetModuleFileNameW of
// `instance`, so no ANSI best fit can name another file) with
// CreateFileW(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING): while the
// handle is open nobody can rename, replace, delete or change the file.
// Given only when the file held is the image the loader mapped at
// `instance` (null: the program's): a view of the held handle and the image
// map the same file, as NtAreMappedFilesTheSame tells (no name is looked up
// and opened again, no file id compared), so a file put under the
// program's name after a rename of the running one is not taken.
// kInvalidHandle when it cannot be had or checked. Close with FileClose.
Handle FileHoldOwnImage(Handle instance);

// Writes the whole contents of an open file, from its start, to `to`
// (CreateFileA GENERIC_WRITE, no sharing, CREATE_ALWAYS): CopyFileA with
// an open file for its source. 1 on success; a target left incomplete is
// deleted.
int FileCopyFromHandle(Handle from, const char* to);

// Whether two names, `a_length` and `b_length` bytes of the ANSI code
// page, name the same entry of one folder as the file system reads them:
// each turned into UTF-16 as CreateFileA turns it, then compared ignoring
// case by the system's own upper-case table (CompareStringOrdinal), the
// one NTFS compares by. So "M\xFDxolyte.exe" (dotless i, code page 1254)
// is "MIXOLYTE.EXE", and a long s is an "S". 1 when the same, 0 when not,
// -1 when either cannot be turned into UTF-16 (at most 260 characters).
int FileNamesSame(const char* a, std::size_t a_length, const char* b, std::size_t b_length);

// The most UTF-16 units FileNamesSame's UTF-16 form compares (a whole
// path of Windows' longest form).
constexpr std::size_t kNameCompareUnits = 32767;

// The same for UTF-16 names or paths, as the file system reads them
// (CompareStringOrdinal ignoring case); -1 when either is longer than
// kNameCompareUnits.
int FileNamesSame(const char16_t* a, std::size_t a_length, const char16_t* b, std::size_t b_length);

// One entry of a folder search.
struct FindEntry {
    char name[260];  // the entry's own name, not its path
    int is_directory;
    // FILE_ATTRIBUTE_REPARSE_POINT: the entry is a link (a junction or a
    // symbolic link) that stands for something elsewhere. Walking into it
    // reaches the target; RemoveDirectoryA (a folder link) or DeleteFileA
    // (a file link) removes only the link.
    int is_reparse_point;
    // A file's size in bytes (nFileSizeHigh and nFileSizeLow); 0 for a folder.
    std::uint64_t size;
};

// FindFirstFileA with a pattern such as "C:\Folder\*.del". kInvalidHandle
// when nothing matches (or the folder is missing). A pattern without
// wildcards finds the entry itself, a link as the link (not its target).
Handle FindFirst(const char* pattern, FindEntry* entry);
// FindNextFileA: 1 while there is another entry.
int FindNext(Handle search, FindEntry* entry);

// The same search in UTF-16 (FindFirstFileW, FindNextFileW), for folders
// a user names: every letter of a name comes whole, whatever the ANSI code
// page can write. Close with FindClose.
struct FindEntryW16 {
    char16_t name[260];
    int is_directory;
    int is_reparse_point;
    std::uint64_t size;
};
Handle FindFirst(const char16_t* pattern, FindEntryW16* entry);
int FindNext(Handle search, FindEntryW16* entry);
void FindClose(Handle search);

// MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT): at the next restart
// Windows deletes the file, or removes the folder if it is empty by then,
// in the order the calls were made. Nothing changes now; the path is taken
// as it will resolve at the restart. Needs administrator rights. 1 when
// the deletion was scheduled.
int FileDeleteAtRestart(const char* path);

}  // namespace plat
