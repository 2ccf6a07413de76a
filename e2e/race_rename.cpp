// A user's program racing the uninstall, Windows-side:
//   race_rename.exe FOLDER FILE SECONDS
// Waits (reading attributes only, which disturbs nothing) until FOLDER\FILE
// is gone, which says the uninstall is deleting in FOLDER; then tries what
// a swap needs: opening FOLDER with deletion access, and renaming it to
// FOLDER.raced (renamed straight back should it go through). Prints
//   "refused <open error> <rename error>"  both refused: the folder is held
//   "open 0" / "renamed (open <error>)"    what went through instead
//   "timeout"                              FILE never went
// Exit code 0 when it ran, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 4 || std::strlen(argv[1]) > 900 || std::strlen(argv[2]) > 200) return 2;
    char file[1200], raced[1200];
    std::snprintf(file, sizeof file, "%s\\%s", argv[1], argv[2]);
    std::snprintf(raced, sizeof raced, "%s.raced", argv[1]);
    DWORD deadline = GetTickCount() + static_cast<DWORD>(std::atoi(argv[3])) * 1000;
    bool seen = false;
    for (;;) {
        bool there = GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES;
        if (there) seen = true;
        if (seen && !there) break;
        if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
            std::printf("timeout\n");
            return 0;
        }
        Sleep(1);  // the deletion of the package files takes far longer
    }
    int left = 0;
    {
        char pattern[1200];
        std::snprintf(pattern, sizeof pattern, "%s\\*", argv[1]);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do ++left;
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }
    HANDLE folder = CreateFileA(argv[1], DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    DWORD open_error = folder == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
    if (MoveFileA(argv[1], raced)) {
        MoveFileA(raced, argv[1]);
        std::printf("renamed (open %lu, %d left)\n", open_error, left);
        return 0;
    }
    DWORD rename_error = GetLastError();
    if (open_error == 0)
        std::printf("open 0\n");
    else
        std::printf("refused %lu %lu\n", open_error, rename_error);
    return 0;
}
