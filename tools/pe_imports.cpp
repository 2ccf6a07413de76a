#include "tools/pe_imports.h"

#include "tools/pe_image.h"

namespace {

constexpr std::uint32_t kImportDirectory = 1;
constexpr std::uint32_t kDelayImportDirectory = 13;
constexpr std::uint32_t kMaxDlls = 4096;  // far beyond any program; stops a looping table
constexpr std::uint32_t kMaxNameLength = 260;

using Bytes = std::vector<std::uint8_t>;

// A terminated name at an RVA, within its section.
bool Name(const Bytes& b, const std::vector<PeSection>& sections, std::uint32_t rva, std::string* name) {
    name->clear();
    for (std::uint32_t i = 0; i < kMaxNameLength; ++i) {
        std::uint64_t at = 0;
        if (!PeMapRva(b, sections, rva + i, 1, &at)) return false;
        if (b[at] == 0) return !name->empty();
        name->push_back(static_cast<char>(b[at]));
    }
    return false;
}

// One directory of descriptors, `size` bytes each, with the name's RVA at
// `name_field`; the table ends at an all-zero descriptor.
std::string ReadTable(const Bytes& b, const std::vector<PeSection>& sections, std::uint32_t rva, std::uint32_t size,
                      std::uint32_t name_field, std::vector<std::string>* dlls) {
    if (rva == 0) return "";
    for (std::uint32_t i = 0; i < kMaxDlls; ++i) {
        std::uint64_t at = 0;
        if (!PeMapRva(b, sections, rva + i * size, size, &at)) return "import table lies outside the file";
        bool empty = true;
        for (std::uint32_t k = 0; k < size; ++k) empty = empty && b[at + k] == 0;
        if (empty) return "";
        std::string name;
        if (!Name(b, sections, PeU32(b, at + name_field), &name)) return "import name lies outside the file";
        dlls->push_back(name);
    }
    return "import table does not end";
}

}  // namespace

std::string ReadProgramImports(const Bytes& program, ProgramImports* imports) {
    *imports = {};
    PeHeaders h;
    if (PeFault fault = ReadPeHeaders(program, false, &h); fault != PeFault::kNone) return PeFaultText(fault);
    if (!PeHas(program, h.count_field, 4)) return "truncated optional header";
    std::uint32_t directory_count = PeU32(program, h.count_field);
    if (directory_count > 16 || h.directories + 8ull * directory_count > h.section_table ||
        !PeHas(program, h.directories, 8ull * directory_count))
        return "damaged data directories";
    std::vector<PeSection> sections;
    if (!ReadPeSections(program, h, &sections)) return "truncated section table";
    auto directory = [&](std::uint32_t index) {
        return index < directory_count ? PeU32(program, h.directories + 8ull * index) : 0u;
    };
    // IMAGE_IMPORT_DESCRIPTOR: 20 bytes, name at 12. The delay-load
    // descriptor: 32 bytes, name at 4 (as an RVA in every program the
    // linkers of today make).
    std::string problem = ReadTable(program, sections, directory(kImportDirectory), 20, 12, &imports->dlls);
    if (!problem.empty()) return problem;
    return ReadTable(program, sections, directory(kDelayImportDirectory), 32, 4, &imports->delay_dlls);
}
