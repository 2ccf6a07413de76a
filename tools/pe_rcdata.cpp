#include "tools/pe_rcdata.h"

#include "tools/pe_image.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// One level of the resource tree: the entry with this id (or the first
// entry when `any`), as its offset field.
bool FindEntry(const Bytes& b, std::uint64_t root, std::uint64_t directory, std::uint32_t id, bool any,
               std::uint32_t* target) {
    if (!PeHas(b, root + directory, 16)) return false;
    std::uint32_t named = PeU16(b, root + directory + 12);
    std::uint32_t numbered = PeU16(b, root + directory + 14);
    for (std::uint32_t i = 0; i < named + numbered; ++i) {
        std::uint64_t entry = root + directory + 16 + 8ull * i;
        if (!PeHas(b, entry, 8)) return false;
        std::uint32_t name = PeU32(b, entry);
        if (any || (!(name & 0x80000000u) && name == id)) {
            *target = PeU32(b, entry + 4);
            return true;
        }
    }
    return false;
}

}  // namespace

int LooksLikeProgram(const Bytes& bytes) { return bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z'; }

std::string FindProgramResource(const Bytes& program, std::uint32_t type, std::uint32_t id, Bytes* resource) {
    PeHeaders h;
    if (PeFault fault = ReadPeHeaders(program, false, &h); fault != PeFault::kNone) return PeFaultText(fault);
    if (!PeHas(program, h.count_field, 4) || PeU32(program, h.count_field) < 3 ||
        !PeHas(program, h.directories + 16, 8) || h.directories + 24 > h.section_table)
        return "no resource directory";
    std::uint32_t resource_rva = PeU32(program, h.directories + 16);
    std::vector<PeSection> sections;
    if (!ReadPeSections(program, h, &sections)) return "truncated section table";
    std::uint64_t root = 0;
    if (resource_rva == 0 || !PeMapRva(program, sections, resource_rva, 16, &root)) return "no resource section";

    std::uint32_t level = 0;
    if (!FindEntry(program, root, 0, type, false, &level) || !(level & 0x80000000u))
        return "no resource of type " + std::to_string(type);
    if (!FindEntry(program, root, level & 0x7FFFFFFFu, id, false, &level) || !(level & 0x80000000u))
        return "no resource " + std::to_string(id) + " of type " + std::to_string(type);
    if (!FindEntry(program, root, level & 0x7FFFFFFFu, 0, true, &level) || (level & 0x80000000u))
        return "resource " + std::to_string(id) + " has no data";
    if (!PeHas(program, root + level, 8)) return "truncated resource data entry";
    std::uint32_t data_rva = PeU32(program, root + level);
    std::uint32_t data_size = PeU32(program, root + level + 4);
    std::uint64_t data = 0;
    if (!PeMapRva(program, sections, data_rva, data_size, &data)) return "resource data lies outside the file";
    resource->assign(program.begin() + static_cast<long>(data), program.begin() + static_cast<long>(data + data_size));
    return "";
}
