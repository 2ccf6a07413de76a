#include "tools/pe_imports.h"

#include "package/package_format.h"

namespace {

constexpr std::uint32_t kImportDirectory = 1;
constexpr std::uint32_t kDelayImportDirectory = 13;
constexpr std::uint32_t kMaxDlls = 4096;  // far beyond any program; stops a looping table
constexpr std::uint32_t kMaxNameLength = 260;

struct Section {
    std::uint32_t virtual_address, virtual_size, raw_size, raw_offset;
};

struct Image {
    const std::vector<std::uint8_t>& bytes;
    std::vector<Section> sections;

    bool Has(std::uint64_t offset, std::uint64_t size) const { return offset + size <= bytes.size(); }
    std::uint32_t U16(std::uint64_t offset) const {
        return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8;
    }
    std::uint32_t U32(std::uint64_t offset) const { return ReadLe32(bytes.data() + offset); }

    // The file offset of an RVA with `size` bytes in the file from there.
    bool Map(std::uint32_t rva, std::uint32_t size, std::uint64_t* offset) const {
        for (const Section& s : sections) {
            std::uint64_t span = s.virtual_size > s.raw_size ? s.virtual_size : s.raw_size;
            if (rva < s.virtual_address || rva - s.virtual_address >= span) continue;
            std::uint64_t within = rva - s.virtual_address;
            if (within + size > s.raw_size) return false;
            *offset = static_cast<std::uint64_t>(s.raw_offset) + within;
            return Has(*offset, size);
        }
        return false;
    }

    // A terminated name at an RVA, within its section.
    bool Name(std::uint32_t rva, std::string* name) const {
        name->clear();
        for (std::uint32_t i = 0; i < kMaxNameLength; ++i) {
            std::uint64_t at = 0;
            if (!Map(rva + i, 1, &at)) return false;
            if (bytes[at] == 0) return !name->empty();
            name->push_back(static_cast<char>(bytes[at]));
        }
        return false;
    }
};

// One directory of descriptors, `size` bytes each, with the name's RVA at
// `name_field`; the table ends at an all-zero descriptor.
std::string ReadTable(const Image& image, std::uint32_t rva, std::uint32_t size, std::uint32_t name_field,
                      std::vector<std::string>* dlls) {
    if (rva == 0) return "";
    for (std::uint32_t i = 0; i < kMaxDlls; ++i) {
        std::uint64_t at = 0;
        if (!image.Map(rva + i * size, size, &at)) return "import table lies outside the file";
        bool empty = true;
        for (std::uint32_t b = 0; b < size; ++b) empty = empty && image.bytes[at + b] == 0;
        if (empty) return "";
        std::string name;
        if (!image.Name(image.U32(at + name_field), &name)) return "import name lies outside the file";
        dlls->push_back(name);
    }
    return "import table does not end";
}

}  // namespace

std::string ReadProgramImports(const std::vector<std::uint8_t>& program, ProgramImports* imports) {
    *imports = {};
    Image image{program, {}};
    if (!image.Has(0, 2) || program[0] != 'M' || program[1] != 'Z' || !image.Has(0x3C, 4))
        return "not a Windows program";
    std::uint64_t pe = image.U32(0x3C);
    if (!image.Has(pe, 24) || image.U32(pe) != 0x00004550u) return "no PE header";
    std::uint32_t section_count = image.U16(pe + 6);
    std::uint32_t optional_size = image.U16(pe + 20);
    std::uint64_t optional = pe + 24;
    if (!image.Has(optional, 2)) return "truncated optional header";
    std::uint32_t magic = image.U16(optional);
    if (magic != 0x10B && magic != 0x20B) return "unknown optional header";
    std::uint64_t count_field = optional + (magic == 0x20B ? 108 : 92);
    std::uint64_t directories = count_field + 4;
    if (!image.Has(count_field, 4)) return "truncated optional header";
    std::uint32_t directory_count = image.U32(count_field);
    if (directory_count > 16 || directories + 8ull * directory_count > optional + optional_size ||
        !image.Has(directories, 8ull * directory_count))
        return "damaged data directories";
    for (std::uint32_t i = 0; i < section_count; ++i) {
        std::uint64_t at = optional + optional_size + 40ull * i;
        if (!image.Has(at, 40)) return "truncated section table";
        image.sections.push_back({image.U32(at + 12), image.U32(at + 8), image.U32(at + 16), image.U32(at + 20)});
    }
    auto directory = [&](std::uint32_t index) {
        return index < directory_count ? image.U32(directories + 8ull * index) : 0u;
    };
    // IMAGE_IMPORT_DESCRIPTOR: 20 bytes, name at 12. The delay-load
    // descriptor: 32 bytes, name at 4 (as an RVA in every program the
    // linkers of today make).
    std::string problem = ReadTable(image, directory(kImportDirectory), 20, 12, &imports->dlls);
    if (!problem.empty()) return problem;
    return ReadTable(image, directory(kDelayImportDirectory), 32, 4, &imports->delay_dlls);
}
