// The removal operations: ".del" leftovers, the package's files, the
// Start-menu shortcuts, one shortcut file, a folder tree and a registry key
// tree. They work silently; their callers ignore what they give back.
#pragma once
#include <cstddef>

#include "base/context.h"
#include "platform/types.h"

// The per-user Programs folder: the Shell Folders value under HKCU.
inline constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr char kProgramsValue[] = "Programs";
inline constexpr char16_t kShellFoldersKeyW16[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr char16_t kProgramsValueW16[] = u"Programs";

// The folders a user names (their Programs and Startup folders) are worked
// on in UTF-16, so that every letter reaches the system whole; the
// product's own folders in ANSI. Both forms are the same logic.

// Everything below reaches each entry through a handle on the entry itself
// (platform/entries.h): each folder of the work is held open from its check
// until the work below it is done, so nobody can swap it for a link
// meanwhile; an entry that cannot be reached that way is left alone.

// 1 when the path has the form of a real folder: a drive path ("X:\...") or
// a plain UNC path ("\\server\share\..."), without wildcards, "." or
// "..", streams or device names. "\\?\", "\\.\", "\??\" and GLOBALROOT
// forms, and relative paths, give 0.
int IsPlainFolderPath(const char* path);
int IsPlainFolderPath(const char16_t* path);

// Removes the folder when it is empty and a real folder (a link is left
// alone), reached through its held parent, which must be a real folder of
// plain form. 1 when it was removed.
int RemoveEmptyFolder(const char* folder);
int RemoveEmptyFolder(const char16_t* folder);

// Deletes every file matching "*.del" directly in the folder (subfolders
// are not searched). Gives the number of deletions tried, failed ones
// included. An empty folder name, or a folder that is a link, searches
// nothing.
int PurgeDelFiles(const char* folder);

// The name a file in use is moved to: the path with the extension of its
// last component replaced by ".del". Gives 0 (and leaves `out` unusable)
// when the last component has no extension or the name does not fit.
int DelNameOf(const char* path, char* out, std::size_t size);

// Deletes the file `name` directly in the folder, or, when it is in use,
// moves it aside to its ".del" name, as DeletePackageFiles does for each
// package file; the folder is held as DeletePackageFiles holds the product
// folder.
void DeleteOrMoveAside(const char* folder, const char* name);

// Deletes each package file from the product folder; a file that cannot
// be deleted is renamed to its ".del" name (a failing rename is ignored).
// Entry names that the extraction refuses are passed over, so a crafted
// directory cannot reach outside the product folder; so are names below a
// folder that is a link, and all of them when the product folder is one.
// Gives 0.
int DeletePackageFiles(const SetupContext* context);

// Deletes the shortcut file folder\title.LNK. Non-zero when it was
// deleted; an empty folder, one that is not of plain form, and one that is
// a link delete nothing. It is meant for a per-user folder: the work runs
// with the user's own rights where they can be had (base/user_rights.h).
int DeleteShortcut(const char* folder, const char* title);
int DeleteShortcut(const char16_t* folder, const char* title);

// Deletes the product's shortcuts and the shortcut folder below the user's
// Programs folder (from the registry) and below common_programs_folder.
// A linked shortcut folder is removed as a link; below a linked "ZT Audio"
// nothing is touched. The per-user half runs with the user's own rights
// (base/user_rights.h); where those should exist but cannot be had, it
// deletes only the listed shortcuts and the shortcut folder only when that
// leaves it empty, and leaves a linked one.
// `buffer` is the scratch path buffer of `size` (at least 1024) bytes.
void RemoveStartMenuShortcuts(const SetupContext* context, char* buffer, std::size_t size);

// Deletes the folder's files and subfolders, then the folder. The first
// file (or subfolder) that cannot be deleted ends the work on that folder;
// directories whose name begins with "." are left alone. A link (the
// folder itself or any entry below it) is never walked into: it is removed
// as a link, and one that cannot be removed counts like a file that stays.
// Gives 1.
int DeleteFolderTree(const char* folder);

// Deletes the key parent\subkey with all its subkeys, depth first. 1 when
// the key was deleted; 0 when it, or one of its subkeys, cannot be opened
// or deleted.
int DeleteRegistryTree(plat::Handle parent, const char* subkey);

// Reads the user's Start-menu Programs folder in UTF-16 (RegQueryValueExW,
// at most 4096 bytes) into `destination` (`units` units). 1 when read; 0
// when the value is missing, not a REG_SZ, not of plain form
// (IsPlainFolderPath), or does not fit.
int ReadUserProgramsFolder(char16_t* destination, std::size_t units);
