// The headers and section table of a PE32 or PE32+ file, for the tools that
// read setup programs. The file is untrusted: every read goes through PeHas
// first, and an RVA maps to a file offset only when all its bytes are there.
#pragma once
#include <cstdint>
#include <vector>

struct PeSection {
    char name[9];  // the 8-byte field, always terminated here
    std::uint32_t virtual_size;
    std::uint32_t virtual_address;
    std::uint32_t raw_size;
    std::uint32_t raw_offset;
    std::uint32_t relocations;   // PointerToRelocations (0 in images)
    std::uint32_t line_numbers;  // PointerToLinenumbers (0 in images)
    std::uint32_t characteristics;
    std::uint64_t table_offset;  // file offset of its 40-byte entry
};

// Where the headers lie; the fields are read from there by each tool.
struct PeHeaders {
    std::uint64_t pe;               // "PE\0\0"; the COFF file header follows
    std::uint32_t section_count;
    std::uint32_t optional_size;    // SizeOfOptionalHeader
    std::uint64_t optional_offset;  // the optional header
    std::uint32_t magic;            // 0x10B (PE32) or 0x20B (PE32+)
    std::uint64_t count_field;      // file offset of NumberOfRvaAndSizes
    std::uint64_t directories;      // file offset of the first data directory
    std::uint64_t section_table;    // file offset of the section table
};

enum class PeFault { kNone, kNotProgram, kNoPeHeader, kTruncatedOptional, kUnknownOptional };
// The short text of a fault, as mixpack and the import check say it.
const char* PeFaultText(PeFault fault);

// Bounds first, then little-endian reads of bytes PeHas has allowed.
inline bool PeHas(const std::vector<std::uint8_t>& b, std::uint64_t offset, std::uint64_t size) {
    return offset <= b.size() && size <= b.size() - offset;
}
inline std::uint32_t PeU16(const std::vector<std::uint8_t>& b, std::uint64_t at) {
    return b[at] | static_cast<std::uint32_t>(b[at + 1]) << 8;
}
inline std::uint32_t PeU32(const std::vector<std::uint8_t>& b, std::uint64_t at) {
    return PeU16(b, at) | PeU16(b, at + 2) << 16;
}
inline std::uint64_t PeU64(const std::vector<std::uint8_t>& b, std::uint64_t at) {
    return PeU32(b, at) | static_cast<std::uint64_t>(PeU32(b, at + 4)) << 32;
}

// The DOS header, the signature and the optional header's magic; with
// `whole_optional`, all SizeOfOptionalHeader bytes (2 at least) must be there.
PeFault ReadPeHeaders(const std::vector<std::uint8_t>& bytes, bool whole_optional, PeHeaders* headers);

// The section table, in file order; false when it runs past the file.
bool ReadPeSections(const std::vector<std::uint8_t>& bytes, const PeHeaders& headers,
                    std::vector<PeSection>* sections);

// The file offset of `size` bytes `within` bytes into a section: false
// unless all of them are in its raw data and in the file.
bool PeMapWithin(const std::vector<std::uint8_t>& bytes, const PeSection& section, std::uint64_t within,
                 std::uint64_t size, std::uint64_t* offset);

// The file offset of `size` bytes at `rva`, in the first section whose
// virtual or raw extent holds the RVA; false when it is out of range.
bool PeMapRva(const std::vector<std::uint8_t>& bytes, const std::vector<PeSection>& sections, std::uint32_t rva,
              std::uint32_t size, std::uint64_t* offset);
