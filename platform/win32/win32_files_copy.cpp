#include <windows.h>

#include "platform/files.h"

namespace plat {

int FileCopy(const char* from, const char* to, int fail_if_exists) {
    return CopyFileA(from, to, fail_if_exists ? TRUE : FALSE) ? 1 : 0;
}

int FileSetAttributes(const char* path, std::uint32_t attributes) {
    return SetFileAttributesA(path, attributes) ? 1 : 0;
}

Handle FileOpenForRead(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace plat
