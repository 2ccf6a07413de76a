// What an uninstall cannot remove at once: the running uninstaller, files
// still in use, and the folders that hold them. They are moved aside now,
// finished at the restart the uninstall asks for, and tidied by the next
// install when that restart never came. Like the other removals, these
// work silently.
#pragma once

#include "base/context.h"

// When the program runs from the product folder (the uninstaller copy that
// Windows' Programs and Features starts), its own file goes like any
// package file: deleted, or, while it runs, moved to its ".del" name.
void MoveAsideRunningProgram(const SetupContext* context);

// After the product folder's removal: when the folder is gone, its parent
// "ZT" is removed if empty, and nothing is scheduled. When it stays, each
// ".del" file in it (subfolders included) is scheduled for deletion at the
// restart, then each subfolder that is not empty now (deepest first), the
// product folder and "ZT" for removal at the restart, which removes a
// folder only when it is empty by then. No file is ever scheduled under
// any other name: a reinstall before the restart writes the package's own
// names, and those survive it. Links are neither walked nor scheduled.
// Gives the number of deletions scheduled.
int FinishAtRestart(const char* product_folder);

// Removes the "ZT Audio" folder above the all-users and the per-user
// shortcut folder when it is empty. A "ZT Audio" that is a link, or whose
// look-up fails, is left alone.
void RemoveEmptyShortcutParents();

// Before the install unpacks, after PurgeDelFiles: what an earlier
// uninstall left for a restart that never came. Subfolders of the product
// folder that are empty (deepest first) are removed; the extraction makes
// those it needs again. Pending deletions Windows holds are left alone:
// they take only ".del" files, and folders that are empty at the restart.
void RemoveEmptyLeftovers(const char* product_folder);
