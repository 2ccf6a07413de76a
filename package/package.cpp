#include "package/package.h"

#include <cstring>
#include <new>

#include "base/text.h"
#include "package/md5.h"
#include "package/package_format.h"
#include "package/scramble.h"
#include "platform/files.h"
#include "platform/resources.h"

namespace {

int CopyDirectory(SetupContext* context, const plat::ResourceView& view) {
    if (view.size <= static_cast<std::uint32_t>(kPackageDirectorySize)) return 0;
    std::memcpy(context->package_directory, view.bytes, kPackageDirectorySize);
    return 1;
}

// A plain-bytes buffer that grows to the largest entry met and is then
// reused, so extraction holds at most one entry's worth beside the resource.
struct EntryBuffer {
    std::uint8_t* bytes = nullptr;
    std::uint32_t capacity = 0;
    ~EntryBuffer() { delete[] bytes; }
    bool Reserve(std::uint32_t size) {
        if (size <= capacity) return true;
        delete[] bytes;
        capacity = 0;
        bytes = new (std::nothrow) std::uint8_t[size];
        if (bytes == nullptr) return false;
        capacity = size;
        return true;
    }
};

// Builds the target path of an entry; 0 when the name is unsafe or the
// path does not fit the buffer.
int BuildTargetPath(const SetupContext* context, const DirectoryRecord& record, char* path,
                    std::size_t size) {
    if (!record.name_terminated || !IsSafeEntryName(record.name)) return 0;
    return JoinPath(path, size, context->product_folder, record.name);
}

// Writes one verified entry, creating its sub-folder first when it has one.
int PlaceEntry(const SetupContext* context, const char* path, const DirectoryRecord& record,
               const std::uint8_t* plain) {
    char folder[1024];
    CopyText(folder, sizeof folder, path);
    char* last = std::strrchr(folder, '\\');
    if (last != nullptr) {
        *last = '\0';
        if (std::strcmp(folder, context->product_folder) != 0) CreateFolderChain(folder);
    }
    return WriteWholeFile(path, record.size, plain);
}

}  // namespace

int LoadPackageDirectory(SetupContext* context) {
    plat::ResourceView view;
    if (plat::ResourceOpen(context->instance, plat::kResourceTypeRcData, kPackageResourceId, &view) !=
        plat::kResourceOk)
        return -1;
    int copied = CopyDirectory(context, view);
    plat::ResourceClose(&view);
    return copied ? 0 : -1;
}

int ExtractPackage(SetupContext* context) {
    plat::ResourceView view;
    if (plat::ResourceOpen(context->instance, plat::kResourceTypeRcData, kPackageResourceId, &view) !=
        plat::kResourceOk)
        return -1;
    CopyDirectory(context, view);

    ChainState chain;
    ChainStart(&chain);
    EntryBuffer buffer;
    // One buffer for the largest entry that lies inside the resource, taken
    // once: growing it entry by entry would touch fresh pages again and again.
    std::uint32_t largest = 0;
    for (int index = 0; index < kPackageEntryCount; ++index) {
        DirectoryRecord record;
        ReadDirectoryRecord(context->package_directory[index], &record);
        if (EntryInsideResource(record, view.size) && record.size < 0x80000000u && record.size > largest)
            largest = record.size;
    }
    buffer.Reserve(largest);
    int failures = 0;
    std::uint32_t last_size = 0;
    for (int index = 0; index < kPackageEntryCount; ++index) {
        DirectoryRecord record;
        ReadDirectoryRecord(context->package_directory[index], &record);
        last_size = record.size;
        if (!EntryInsideResource(record, view.size)) {
            ++failures;  // the chain stays where it is
            continue;
        }
        const std::uint8_t* stored = view.bytes + record.offset;
        std::uint8_t stored_digest[16];
        char path[1024];
        bool placeable = BuildTargetPath(context, record, path, sizeof path) &&
                         record.size < 0x80000000u && buffer.Reserve(record.size);
        if (!placeable) {
            Md5OfBuffer(stored, record.size, stored_digest);
            ++failures;
        } else {
            std::uint8_t plain_digest[16];
            DescrambleEntry(&chain, stored, buffer.bytes, record.size, stored_digest, plain_digest);
            if (!DigestsEqual(plain_digest, record.digest) ||
                !PlaceEntry(context, path, record, buffer.bytes))
                ++failures;
        }
        ChainAdvance(&chain, stored_digest);
    }
    plat::ResourceClose(&view);
    if (failures != 0) return -100 - failures;
    return last_size != 0 ? 0 : -1;
}

int CreateFolderChain(const char* path) {
    if (path == nullptr || std::strlen(path) < 5) return 0;
    char work[1024];
    if (!CopyText(work, sizeof work, path)) return 0;  // never create a cut path

    std::size_t end = std::strlen(work);
    std::size_t root = 2;
    if (work[root] != '\\') {
        while (root < end && work[root] != '\\') ++root;
    }
    if (work[0] == '\\' && work[1] == '\\') {
        if (root == end) return 1;
        ++root;
        while (root < end && work[root] != '\\') ++root;
        if (root == end) return 1;
    }
    if (root == end) return 1;

    std::uint32_t error = 0;
    for (std::size_t i = root + 1; i < end; ++i) {
        if (work[i] != '\\') continue;
        work[i] = '\0';
        if (!plat::FolderCreate(work, &error) && error != plat::kErrorAlreadyExists) return 0;
        work[i] = '\\';
    }
    if (work[end - 1] != '\\' && !plat::FolderCreate(work, &error) && error != plat::kErrorAlreadyExists)
        return 0;
    return 1;
}

int WriteWholeFile(const char* path, std::uint32_t size, const std::uint8_t* bytes) {
    plat::Handle file = plat::FileCreateForWrite(path);
    if (file == plat::kInvalidHandle) return 0;
    std::uint32_t written = 0;
    static const std::uint8_t kNothing = 0;
    int ok = plat::FileWrite(file, bytes != nullptr ? bytes : &kNothing, size, &written);
    plat::FileClose(file);
    return ok && written == size;
}
