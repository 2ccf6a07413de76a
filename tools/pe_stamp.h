// Puts another package into a built setup program: a copy of the program
// whose RCDATA 100 holds the new bytes, everything else kept.
//
// The resource section is rebuilt where it is: its tables stay in place, the
// package's data takes the new size, the resource data after it moves by the
// same amount (keeping its alignment), and the sections behind the resource
// section (base relocations, debug sections) and the symbol table move with
// it. The headers follow: section table, SizeOfImage, SizeOfInitializedData,
// the data directory entries and, when the input has one, the checksum.
// This is the layout GNU ld gives when it links the same resources, so
// stamping a package gives the bytes a build with that package gives.
//
// The input program is untrusted: every offset and size read from it is
// checked against the file and the image before use, all arithmetic runs in
// 64 bits, and anything the rebuild could not keep intact is refused with a
// message saying what.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/pe_image.h"

// The headers of a PE32 or PE32+ program, checked for consistency.
struct ProgramLayout {
    std::uint64_t coff_offset;      // the COFF file header, after "PE\0\0"
    std::uint64_t optional_offset;  // the optional header
    bool pe32_plus;
    std::uint64_t image_base;
    std::uint32_t section_alignment;
    std::uint32_t file_alignment;
    std::uint32_t size_of_image;
    std::uint32_t size_of_headers;
    std::uint32_t initialized_size;  // SizeOfInitializedData
    std::uint32_t checksum;
    std::uint32_t symbol_table;      // PointerToSymbolTable
    std::uint32_t symbol_count;
    std::uint32_t directory_count;   // NumberOfRvaAndSizes
    std::uint64_t directories_offset;
    std::vector<PeSection> sections;
};

// Optional header field offsets shared by PE32 and PE32+.
constexpr std::uint64_t kInitializedSizeField = 8;
constexpr std::uint64_t kSizeOfImageField = 56;
constexpr std::uint64_t kChecksumField = 64;

// Reads and checks the headers and section table. Empty text on success,
// else what is wrong.
std::string ReadProgramLayout(const std::vector<std::uint8_t>& program, ProgramLayout* layout);

// The PE checksum of `program` with the 4 bytes at `checksum_offset` taken
// as zero: 16-bit one's-complement-style sum with carries folded, plus the
// file length.
std::uint32_t ProgramChecksum(const std::vector<std::uint8_t>& program, std::uint64_t checksum_offset);

// What stamping a package of `package_size` bytes changes, decided from the
// program and the size alone (so the limits can be checked without the
// package in memory).
struct StampPlan {
    ProgramLayout layout;
    int resource_section;              // index into layout.sections
    std::uint32_t package_entry;       // section offset of RCDATA 100's data entry
    std::uint32_t package_start;       // section offset of its data
    std::uint32_t old_tail;            // section offset where the data after it begins
    std::uint64_t new_tail;            // ... and where it begins in the output
    std::uint32_t old_content;         // the resource section's virtual size
    std::uint64_t new_content;
    std::uint64_t new_raw_size;        // the resource section's raw size in the output
    std::int64_t content_delta;        // new_tail - old_tail
    std::int64_t va_delta;             // how far the sections behind it move in the image
    std::int64_t file_delta;           // ... and in the file
    std::uint64_t new_file_size;
    std::vector<std::uint32_t> moved_entries;  // data entries whose data moves
};

std::string PlanStamp(const std::vector<std::uint8_t>& program, std::uint64_t package_size, StampPlan* plan);

// Writes into `out` the program with RCDATA 100 replaced by `package`.
// Empty text on success; on failure `out` is left empty.
std::string StampProgram(const std::vector<std::uint8_t>& program, const std::vector<std::uint8_t>& package,
                         std::vector<std::uint8_t>* out);

// How two setup programs compare. They are the same when their bytes are,
// or when they differ only where a link writes the time of the build: the
// COFF time stamp and the checksum that covers it. `lines` says which bytes
// differ and where (header field, or section and offset).
struct ProgramComparison {
    bool same;
    std::vector<std::string> lines;
};

ProgramComparison ComparePrograms(const std::vector<std::uint8_t>& first, const std::vector<std::uint8_t>& second);
