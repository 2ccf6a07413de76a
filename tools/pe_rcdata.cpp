#include "tools/pe_rcdata.h"

#include "package/package_format.h"

namespace {

struct Reader {
    const std::vector<std::uint8_t>& bytes;
    bool Has(std::uint64_t offset, std::uint64_t size) const { return offset + size <= bytes.size(); }
    std::uint32_t U16(std::uint64_t offset) const {
        return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8;
    }
    std::uint32_t U32(std::uint64_t offset) const { return ReadLe32(bytes.data() + offset); }
};

struct Section {
    std::uint32_t virtual_address, virtual_size, raw_size, raw_offset;
};

// The file offset of an RVA, with `size` bytes available from there.
bool MapRva(const Reader& file, const std::vector<Section>& sections, std::uint32_t rva, std::uint32_t size,
            std::uint64_t* offset) {
    for (const Section& s : sections) {
        std::uint64_t span = s.virtual_size > s.raw_size ? s.virtual_size : s.raw_size;
        if (rva < s.virtual_address || rva - s.virtual_address >= span) continue;
        std::uint64_t within = rva - s.virtual_address;
        if (within + size > s.raw_size) return false;
        *offset = static_cast<std::uint64_t>(s.raw_offset) + within;
        return file.Has(*offset, size);
    }
    return false;
}

// One level of the resource tree: the entry with this id (or the first
// entry when `any`), as its offset field.
bool FindEntry(const Reader& file, std::uint64_t root, std::uint64_t directory, std::uint32_t id, bool any,
               std::uint32_t* target) {
    if (!file.Has(root + directory, 16)) return false;
    std::uint32_t named = file.U16(root + directory + 12);
    std::uint32_t numbered = file.U16(root + directory + 14);
    for (std::uint32_t i = 0; i < named + numbered; ++i) {
        std::uint64_t entry = root + directory + 16 + 8ull * i;
        if (!file.Has(entry, 8)) return false;
        std::uint32_t name = file.U32(entry);
        if (any || (!(name & 0x80000000u) && name == id)) {
            *target = file.U32(entry + 4);
            return true;
        }
    }
    return false;
}

}  // namespace

int LooksLikeProgram(const std::vector<std::uint8_t>& bytes) {
    return bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z';
}

std::string FindProgramResource(const std::vector<std::uint8_t>& program, std::uint32_t type, std::uint32_t id,
                                std::vector<std::uint8_t>* resource) {
    Reader file{program};
    if (!LooksLikeProgram(program) || !file.Has(0x3C, 4)) return "not a Windows program";
    std::uint64_t pe = file.U32(0x3C);
    if (!file.Has(pe, 24) || file.U32(pe) != 0x00004550u) return "no PE header";
    std::uint32_t section_count = file.U16(pe + 6);
    std::uint32_t optional_size = file.U16(pe + 20);
    std::uint64_t optional = pe + 24;
    if (!file.Has(optional, 2)) return "truncated optional header";
    std::uint32_t magic = file.U16(optional);
    std::uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
    std::uint64_t count_field = optional + (magic == 0x20B ? 108 : 92);
    if (magic != 0x10B && magic != 0x20B) return "unknown optional header";
    if (!file.Has(count_field, 4) || file.U32(count_field) < 3 || !file.Has(directories + 16, 8) ||
        directories + 24 > optional + optional_size)
        return "no resource directory";
    std::uint32_t resource_rva = file.U32(directories + 16);

    std::vector<Section> sections;
    std::uint64_t table = optional + optional_size;
    for (std::uint32_t i = 0; i < section_count; ++i) {
        std::uint64_t at = table + 40ull * i;
        if (!file.Has(at, 40)) return "truncated section table";
        sections.push_back({file.U32(at + 12), file.U32(at + 8), file.U32(at + 16), file.U32(at + 20)});
    }
    std::uint64_t root = 0;
    if (resource_rva == 0 || !MapRva(file, sections, resource_rva, 16, &root)) return "no resource section";

    std::uint32_t level = 0;
    if (!FindEntry(file, root, 0, type, false, &level) || !(level & 0x80000000u))
        return "no resource of type " + std::to_string(type);
    if (!FindEntry(file, root, level & 0x7FFFFFFFu, id, false, &level) || !(level & 0x80000000u))
        return "no resource " + std::to_string(id) + " of type " + std::to_string(type);
    if (!FindEntry(file, root, level & 0x7FFFFFFFu, 0, true, &level) || (level & 0x80000000u))
        return "resource " + std::to_string(id) + " has no data";
    if (!file.Has(root + level, 8)) return "truncated resource data entry";
    std::uint32_t data_rva = file.U32(root + level);
    std::uint32_t data_size = file.U32(root + level + 4);
    std::uint64_t data = 0;
    if (!MapRva(file, sections, data_rva, data_size, &data)) return "resource data lies outside the file";
    resource->assign(program.begin() + static_cast<long>(data), program.begin() + static_cast<long>(data + data_size));
    return "";
}
