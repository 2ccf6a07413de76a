// A PE32 program laid out from first principles, as a linker lays out one
// carrying given resources: the stamping tests compare the stamper's output
// with it, and the program reader's fuzz target starts from such programs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "package/package_format.h"

namespace pelayout {

inline void Put16(std::vector<std::uint8_t>* b, std::size_t at, std::uint32_t v) {
    (*b)[at] = static_cast<std::uint8_t>(v);
    (*b)[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::vector<std::uint8_t>* b, std::size_t at, std::uint32_t v) { WriteLe32(b->data() + at, v); }

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t Get32(const Bytes& b, std::size_t at) { return ReadLe32(b.data() + at); }
inline std::size_t Up(std::size_t v, std::size_t a) { return (v + a - 1) / a * a; }

inline Bytes Pattern(std::size_t size, int seed) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + seed * 7 + (i >> 8));
    return b;
}

// The PE checksum as the format describes it: the file's 16-bit words
// summed with the checksum field as zero, carries folded, plus the length.
inline std::uint32_t ReferenceChecksum(const Bytes& b, std::size_t field) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < b.size(); i += 2) {
        std::uint32_t lo = (i >= field && i < field + 4) ? 0 : b[i];
        std::uint32_t hi = (i + 1 >= b.size() || (i + 1 >= field && i + 1 < field + 4)) ? 0 : b[i + 1];
        sum += lo | hi << 8;
    }
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + b.size());
}

struct Resource {
    std::uint32_t type, id;
    Bytes data;
};

// Offsets of the laid-out program, for the tests that damage it.
constexpr std::size_t kPe = 0x80;
constexpr std::size_t kOptional = kPe + 24;
constexpr std::size_t kDirectories = kOptional + 96;
constexpr std::size_t kSectionTable = kOptional + 224;
constexpr std::size_t kRsrcRaw = 0x600;
constexpr std::uint32_t kRsrcVa = 0x2000;

// A PE32 program as a linker writes it: .text, .rsrc, a discardable .reloc
// behind it, then a symbol table. Resources go in the given (sorted)
// order, one language each; their data follows the tables, each padded to
// 8 bytes. Everything else is computed from that.
inline Bytes LayOutProgram(const std::vector<Resource>& resources, bool with_package = true, bool with_checksum = true) {
    std::vector<Resource> all;
    for (const Resource& r : resources)
        if (with_package || r.type != 10 || r.id != 100) all.push_back(r);
    // Types in order, each with its names.
    std::vector<std::uint32_t> types;
    for (const Resource& r : all)
        if (types.empty() || types.back() != r.type) types.push_back(r.type);
    std::size_t tables = 16 + 8 * types.size();
    for (std::uint32_t t : types) {
        std::size_t names = 0;
        for (const Resource& r : all) names += r.type == t;
        tables += 16 + 8 * names + names * (16 + 8);
    }
    std::size_t entries = tables;
    tables += 16 * all.size();
    std::size_t content = tables;
    for (const Resource& r : all) content += Up(r.data.size(), 8);
    const std::size_t rsrc_raw_size = Up(content, 0x200);
    const std::uint32_t reloc_va = static_cast<std::uint32_t>(Up(kRsrcVa + content, 0x1000));
    const std::size_t reloc_raw = kRsrcRaw + rsrc_raw_size;
    const std::size_t symbols = reloc_raw + 0x200;
    Bytes b(symbols + 2 * 18 + 4, 0);

    b[0] = 'M', b[1] = 'Z';
    Put32(&b, 0x3C, kPe);
    Put32(&b, kPe, 0x00004550);
    Put16(&b, kPe + 4, 0x14C);
    Put16(&b, kPe + 6, 3);
    Put32(&b, kPe + 12, static_cast<std::uint32_t>(symbols));
    Put32(&b, kPe + 16, 2);
    Put16(&b, kPe + 20, 224);
    Put16(&b, kPe + 22, 0x102);
    Put16(&b, kOptional, 0x10B);
    Put32(&b, kOptional + 4, 0x200);                                          // SizeOfCode
    Put32(&b, kOptional + 8, static_cast<std::uint32_t>(rsrc_raw_size + 0x200));  // initialized data
    Put32(&b, kOptional + 28, 0x400000);
    Put32(&b, kOptional + 32, 0x1000);
    Put32(&b, kOptional + 36, 0x200);
    Put32(&b, kOptional + 56, reloc_va + 0x1000);  // SizeOfImage
    Put32(&b, kOptional + 60, 0x400);              // SizeOfHeaders
    Put16(&b, kOptional + 68, 2);
    Put32(&b, kOptional + 92, 16);
    Put32(&b, kDirectories + 16, kRsrcVa);
    Put32(&b, kDirectories + 20, static_cast<std::uint32_t>(content));
    Put32(&b, kDirectories + 40, reloc_va);
    Put32(&b, kDirectories + 44, 12);
    struct Section {
        const char* name;
        std::uint32_t vsize, va, raw_size, raw, flags;
    } sections[3] = {
        {".text", 0x180, 0x1000, 0x200, 0x400, 0x60000020},
        {".rsrc", static_cast<std::uint32_t>(content), kRsrcVa, static_cast<std::uint32_t>(rsrc_raw_size), kRsrcRaw,
         0xC0000040},
        {".reloc", 12, reloc_va, 0x200, static_cast<std::uint32_t>(reloc_raw), 0x42000040},
    };
    for (int i = 0; i < 3; ++i) {
        std::size_t at = kSectionTable + 40 * i;
        for (int c = 0; sections[i].name[c]; ++c) b[at + c] = static_cast<std::uint8_t>(sections[i].name[c]);
        Put32(&b, at + 8, sections[i].vsize);
        Put32(&b, at + 12, sections[i].va);
        Put32(&b, at + 16, sections[i].raw_size);
        Put32(&b, at + 20, sections[i].raw);
        Put32(&b, at + 36, sections[i].flags);
    }
    for (std::size_t i = 0; i < 0x180; ++i) b[0x400 + i] = static_cast<std::uint8_t>(0x90 ^ i);

    // The resource tables: root, then per type its directory and one
    // language directory per name; data entries; data.
    std::size_t at = 16 + 8 * types.size();
    std::size_t entry = entries, data = tables, index = 0;
    Put16(&b, kRsrcRaw + 14, static_cast<std::uint32_t>(types.size()));
    for (std::size_t t = 0; t < types.size(); ++t) {
        Put32(&b, kRsrcRaw + 16 + 8 * t, types[t]);
        Put32(&b, kRsrcRaw + 20 + 8 * t, 0x80000000u | static_cast<std::uint32_t>(at));
        std::size_t names = 0;
        for (const Resource& r : all) names += r.type == types[t];
        std::size_t type_dir = at;
        Put16(&b, kRsrcRaw + type_dir + 14, static_cast<std::uint32_t>(names));
        at += 16 + 8 * names;
        for (std::size_t n = 0; n < names; ++n, ++index) {
            const Resource& r = all[index];
            Put32(&b, kRsrcRaw + type_dir + 16 + 8 * n, r.id);
            Put32(&b, kRsrcRaw + type_dir + 20 + 8 * n, 0x80000000u | static_cast<std::uint32_t>(at));
            Put16(&b, kRsrcRaw + at + 14, 1);
            Put32(&b, kRsrcRaw + at + 16, 0x409);
            Put32(&b, kRsrcRaw + at + 20, static_cast<std::uint32_t>(entry));
            at += 24;
            Put32(&b, kRsrcRaw + entry, static_cast<std::uint32_t>(kRsrcVa + data));
            Put32(&b, kRsrcRaw + entry + 4, static_cast<std::uint32_t>(r.data.size()));
            entry += 16;
            std::copy(r.data.begin(), r.data.end(), b.begin() + static_cast<long>(kRsrcRaw + data));
            data += Up(r.data.size(), 8);
        }
    }
    // One base relocation block for .text; two symbols.
    Put32(&b, reloc_raw, 0x1000);
    Put32(&b, reloc_raw + 4, 12);
    Put16(&b, reloc_raw + 8, 0x3010);
    Put16(&b, reloc_raw + 10, 0x3020);
    for (std::size_t i = 0; i < 36; ++i) b[symbols + i] = static_cast<std::uint8_t>('a' + i % 26);
    Put32(&b, symbols + 36, 4);
    if (with_checksum) Put32(&b, kOptional + 64, ReferenceChecksum(b, kOptional + 64));
    return b;
}

}  // namespace pelayout
