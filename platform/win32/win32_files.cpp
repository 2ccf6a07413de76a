#include <windows.h>
#include <sddl.h>

#include "platform/files.h"
#include "platform/win32/win32_open.h"

namespace plat {

int FolderCreate(const char* path, std::uint32_t* last_error) {
    if (CreateDirectoryA(path, nullptr)) {
        *last_error = kErrorSuccess;
        return 1;
    }
    *last_error = GetLastError();
    return 0;
}

int FolderCreateAdminOnly(const char* path, std::uint32_t* last_error) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        *last_error = GetLastError();
        return 0;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    BOOL made = CreateDirectoryA(path, &attributes);
    *last_error = made ? kErrorSuccess : GetLastError();
    LocalFree(descriptor);
    return made ? 1 : 0;
}

Handle FileCreateForWrite(const char* path) {
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | kOpenIdentifyOnly,
                       nullptr);
}

int FileWrite(Handle file, const void* data, std::uint32_t size, std::uint32_t* written) {
    DWORD count = 0;
    BOOL ok = WriteFile(file, data, size, &count, nullptr);
    *written = count;
    return ok ? 1 : 0;
}

void FileClose(Handle file) { CloseHandle(file); }

}  // namespace plat
