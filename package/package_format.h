// The package container: 98 directory records of 160 bytes, then the
// entries' stored bytes back to back.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/names.h"

// The directory record: kDirectoryRecordSize (160) bytes, integers
// unsigned 32-bit little-endian, read and written field by field.
//
//   at   size  field
//    0    128  name: relative path, 8-bit ANSI, NUL-padded
//  128      4  offset: first stored byte, counted from the resource's start
//  132      4  size: stored bytes, also the installed file's size
//  136     16  digest: MD5 of the plain bytes, in MD5's output order
//  152      4  tag: ignored by every reader
//  156      4  reserved: 0, ignored by every reader
constexpr int kRecordNameAt = 0;
constexpr int kRecordNameSize = 128;
constexpr int kRecordOffsetAt = 128;
constexpr int kRecordSizeAt = 132;
constexpr int kRecordDigestAt = 136;
constexpr int kRecordDigestSize = 16;
constexpr int kRecordTagAt = 152;
constexpr int kRecordReservedAt = 156;
static_assert(kRecordReservedAt + 4 == kDirectoryRecordSize, "the fields fill the record");

struct DirectoryRecord {
    char name[kRecordNameSize + 1];  // the 128-byte field, always terminated here
    bool name_terminated;  // the field itself held a NUL
    std::uint32_t offset;
    std::uint32_t size;
    std::uint8_t digest[kRecordDigestSize];
    std::uint32_t tag;
    std::uint32_t reserved;
};

// The names of the 98 entries, in directory order.
extern const char* const kPackageEntryNames[kPackageEntryCount];

std::uint32_t ReadLe32(const std::uint8_t* bytes);
void WriteLe32(std::uint8_t* bytes, std::uint32_t value);

// Field-by-field codec of one 160-byte record.
void ReadDirectoryRecord(const std::uint8_t* bytes, DirectoryRecord* record);
void WriteDirectoryRecord(const DirectoryRecord& record, std::uint8_t* bytes);

// 1 when the entry lies wholly inside a resource of `resource_size` bytes,
// computed without wrap-around.
int EntryInsideResource(const DirectoryRecord& record, std::uint64_t resource_size);

// 1 when a name may be placed below the product folder: not empty, not
// absolute, no drive or ':' at all, and no component that Windows would
// read as ".." (dots and blanks only), and no component that names a
// device (IsDeviceName, base/path_chars.h). Names come from the package
// and are not trusted: this keeps extraction and removal inside the
// folder and away from devices.
int IsSafeEntryName(const char* name);

// Builds a package from the 98 entries' plain bytes, in directory order.
// Gives an empty text on success, else what is wrong (for instance a
// package that would pass 4 GiB).
std::string BuildPackage(const std::vector<std::vector<std::uint8_t>>& plain, std::uint32_t tag,
                         std::vector<std::uint8_t>* package);
