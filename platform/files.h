// Files and folders, by 8-bit ANSI paths.
#pragma once
#include "platform/types.h"

namespace plat {

// CreateDirectoryA without security attributes. Gives 1 on success, else 0
// with the Win32 error in *last_error (kErrorAlreadyExists when the folder
// or a file of that name is already there).
int FolderCreate(const char* path, std::uint32_t* last_error);

// CreateFileA(path, GENERIC_WRITE, no sharing, CREATE_ALWAYS,
// FILE_ATTRIBUTE_NORMAL). kInvalidHandle on failure.
Handle FileCreateForWrite(const char* path);

// One WriteFile of `size` bytes. Gives 1 when the call succeeded; *written
// is the count the system reports written (fewer on a full disk).
int FileWrite(Handle file, const void* data, std::uint32_t size, std::uint32_t* written);

// CloseHandle of a file handle.
void FileClose(Handle file);

}  // namespace plat
