// The product folder, and the Start-menu shortcuts to the product's
// programs.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/context.h"

// Fills product_folder: the Program Files folder a 32-bit program sees
// (from SHGetSpecialFolderPathA, else SHGetFolderPathA, else the drive of
// the Windows folder, else "C:", with "\Program Files\"), a backslash,
// "ZT\Mixolyte". Gives 0.
int FindProductFolder(SetupContext* context);

// Makes the shortcut folder "ZT Audio\MixoLyte" below
// common_programs_folder and one shortcut per row of the shortcut table
// whose condition holds. `buffer` is a scratch path buffer of `size` bytes
// (at least 1024). Nothing is made without a common Programs folder or when
// the folder cannot be created; a shortcut that fails is skipped.
void CreateShortcuts(SetupContext* context, char* buffer, std::size_t size);

// Makes folder\title.LNK pointing to `target`, with the title as its
// description, no arguments, and the target's folder as working folder.
// Gives the shell link's HRESULT (0 on success).
std::int32_t CreateShellLink(const char* title, const char* target, const char* folder);
