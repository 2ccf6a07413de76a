#include "tools/pe_image.h"

#include <cstring>

const char* PeFaultText(PeFault fault) {
    static const char* const texts[] = {"", "not a Windows program", "no PE header", "truncated optional header",
                                        "unknown optional header"};
    return texts[static_cast<int>(fault)];
}

PeFault ReadPeHeaders(const std::vector<std::uint8_t>& b, bool whole_optional, PeHeaders* h) {
    *h = PeHeaders{};
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') return PeFault::kNotProgram;
    h->pe = PeU32(b, 0x3C);
    if (!PeHas(b, h->pe, 24) || PeU32(b, h->pe) != 0x00004550u) return PeFault::kNoPeHeader;
    h->section_count = PeU16(b, h->pe + 6);
    h->optional_size = PeU16(b, h->pe + 20);
    h->optional_offset = h->pe + 24;
    h->section_table = h->optional_offset + h->optional_size;
    bool present = whole_optional ? PeHas(b, h->optional_offset, h->optional_size) && h->optional_size >= 2
                                  : PeHas(b, h->optional_offset, 2);
    if (!present) return PeFault::kTruncatedOptional;
    h->magic = PeU16(b, h->optional_offset);
    if (h->magic != 0x10B && h->magic != 0x20B) return PeFault::kUnknownOptional;
    h->count_field = h->optional_offset + (h->magic == 0x20B ? 108 : 92);
    h->directories = h->count_field + 4;
    return PeFault::kNone;
}

bool ReadPeSections(const std::vector<std::uint8_t>& b, const PeHeaders& h, std::vector<PeSection>* sections) {
    sections->clear();
    // No sections: nothing to read, wherever SizeOfOptionalHeader points.
    if (h.section_count != 0 && !PeHas(b, h.section_table, 40ull * h.section_count)) return false;
    for (std::uint32_t i = 0; i < h.section_count; ++i) {
        std::uint64_t at = h.section_table + 40ull * i;
        // In the entry's own order; the relocation and line counts (32-35) are not kept.
        PeSection s{{}, PeU32(b, at + 8), PeU32(b, at + 12), PeU32(b, at + 16), PeU32(b, at + 20),
                    PeU32(b, at + 24), PeU32(b, at + 28), PeU32(b, at + 36), at};
        std::memcpy(s.name, b.data() + at, 8);
        sections->push_back(s);
    }
    return true;
}

bool PeMapWithin(const std::vector<std::uint8_t>& b, const PeSection& s, std::uint64_t within, std::uint64_t size,
                 std::uint64_t* offset) {
    if (within > s.raw_size || size > s.raw_size - within) return false;
    *offset = s.raw_offset + within;
    return PeHas(b, *offset, size);
}

bool PeMapRva(const std::vector<std::uint8_t>& b, const std::vector<PeSection>& sections, std::uint32_t rva,
              std::uint32_t size, std::uint64_t* offset) {
    for (const PeSection& s : sections) {
        std::uint64_t span = s.virtual_size > s.raw_size ? s.virtual_size : s.raw_size;
        if (rva < s.virtual_address || rva - s.virtual_address >= span) continue;
        return PeMapWithin(b, s, rva - s.virtual_address, size, offset);
    }
    return false;
}
