// Deleting, renaming and searching files over the Win32 calls: ANSI, and
// UTF-16 for the searches in folders a user names.
#include <windows.h>

#include "platform/files.h"

namespace {

void Fill(const WIN32_FIND_DATAA& found, plat::FindEntry* entry) {
    static_assert(sizeof entry->name == sizeof found.cFileName, "name buffers of the same size");
    lstrcpynA(entry->name, found.cFileName, static_cast<int>(sizeof entry->name));
    entry->is_directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    entry->is_reparse_point = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? 1 : 0;
    entry->size = entry->is_directory ? 0 : (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
}

void Fill(const WIN32_FIND_DATAW& found, plat::FindEntryW16* entry) {
    static_assert(sizeof entry->name == sizeof found.cFileName, "name buffers of the same size");
    int i = 0;
    for (; i < 259 && found.cFileName[i] != L'\0'; ++i) entry->name[i] = static_cast<char16_t>(found.cFileName[i]);
    entry->name[i] = u'\0';
    entry->is_directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    entry->is_reparse_point = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? 1 : 0;
    entry->size = entry->is_directory ? 0 : (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
}

}  // namespace

namespace plat {

int FileDelete(const char* path) { return DeleteFileA(path) ? 1 : 0; }

int FileRename(const char* from, const char* to) { return MoveFileA(from, to) ? 1 : 0; }

int FolderRemove(const char* path) { return RemoveDirectoryA(path) ? 1 : 0; }

Handle FindFirst(const char* pattern, FindEntry* entry) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return kInvalidHandle;
    Fill(found, entry);
    return search;
}

int FindNext(Handle search, FindEntry* entry) {
    WIN32_FIND_DATAA found;
    if (!FindNextFileA(search, &found)) return 0;
    Fill(found, entry);
    return 1;
}

Handle FindFirst(const char16_t* pattern, FindEntryW16* entry) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(reinterpret_cast<const wchar_t*>(pattern), &found);
    if (search == INVALID_HANDLE_VALUE) return kInvalidHandle;
    Fill(found, entry);
    return search;
}

int FindNext(Handle search, FindEntryW16* entry) {
    WIN32_FIND_DATAW found;
    if (!FindNextFileW(search, &found)) return 0;
    Fill(found, entry);
    return 1;
}

void FindClose(Handle search) { ::FindClose(search); }

int FileDeleteAtRestart(const char* path) {
    return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;
}

}  // namespace plat
