#include "tools/pe_stamp.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kDiscardable = 0x02000000u;
constexpr std::uint32_t kInitializedData = 0x00000040u;
constexpr std::uint32_t kRcdata = 10;
constexpr std::uint32_t kPackageId = 100;
constexpr int kMaxSections = 96;
// A resource tree needs a few hundred nodes and entries here. A damaged one
// that points many entries at the same directories must not make the walk
// explode: 1 MiB of tables can name billions of paths, so both the
// directories and the entries the walk passes are counted.
constexpr int kMaxResourceNodes = 65536;
constexpr std::uint64_t kMaxResourceEntries = 65536;
constexpr std::uint64_t kMaxDebugEntries = 64;

void Put32(Bytes* b, std::uint64_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool PowerOfTwo(std::uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }
std::uint64_t AlignUp(std::uint64_t v, std::uint64_t alignment) { return (v + alignment - 1) / alignment * alignment; }

std::string Hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(v));
    return text;
}

// The bytes a section occupies in the image: the loader maps VirtualSize,
// or the raw size when VirtualSize is 0.
std::uint64_t Span(const PeSection& s) { return s.virtual_size != 0 ? s.virtual_size : s.raw_size; }

std::string ReadSections(const Bytes& b, const PeHeaders& h, ProgramLayout* l) {
    if (!ReadPeSections(b, h, &l->sections)) return "truncated section table";
    if (h.section_table + 40ull * h.section_count > l->size_of_headers)
        return "the section table runs past SizeOfHeaders";
    std::uint64_t previous_end = 0;
    for (std::size_t i = 0; i < l->sections.size(); ++i) {
        const PeSection& s = l->sections[i];
        std::string which = "section " + std::to_string(i + 1) + " (" + s.name + ")";
        if (s.raw_size != 0 && !PeHas(b, s.raw_offset, s.raw_size))
            return which + ": its data runs past the end of the file (truncated?)";
        if (s.raw_size != 0 && s.raw_offset < l->size_of_headers) return which + ": its data overlaps the headers";
        if (s.virtual_address % l->section_alignment != 0) return which + ": address not section-aligned";
        if (s.virtual_address < previous_end) return which + ": overlaps the section before it in the image";
        previous_end = static_cast<std::uint64_t>(s.virtual_address) + AlignUp(Span(s), l->section_alignment);
        if (previous_end > l->size_of_image) return which + ": reaches past SizeOfImage";
    }
    return "";
}

}  // namespace

std::string ReadProgramLayout(const Bytes& b, ProgramLayout* l) {
    *l = ProgramLayout{};
    PeHeaders h;
    PeFault fault = ReadPeHeaders(b, true, &h);
    if (fault == PeFault::kNotProgram) return "not a Windows program (no MZ header)";
    if (fault == PeFault::kNoPeHeader) return "no PE header (not a Windows program, or truncated)";
    if (fault == PeFault::kUnknownOptional) return "unknown optional header (magic " + Hex(h.magic) + ")";
    if (fault != PeFault::kNone) return PeFaultText(fault);
    l->coff_offset = h.pe + 4;
    l->symbol_table = PeU32(b, h.pe + 12);
    l->symbol_count = PeU32(b, h.pe + 16);
    l->optional_offset = h.optional_offset;
    l->pe32_plus = h.magic == 0x20B;
    l->directories_offset = h.directories;
    const std::uint64_t o = h.optional_offset, count_field = h.count_field - o, optional_size = h.optional_size;
    if (optional_size < count_field + 4) return "optional header too short";
    l->image_base = l->pe32_plus ? PeU64(b, o + 24) : PeU32(b, o + 28);
    l->section_alignment = PeU32(b, o + 32);
    l->file_alignment = PeU32(b, o + 36);
    l->initialized_size = PeU32(b, o + kInitializedSizeField);
    l->size_of_image = PeU32(b, o + kSizeOfImageField);
    l->size_of_headers = PeU32(b, o + 60);
    l->checksum = PeU32(b, o + kChecksumField);
    l->directory_count = PeU32(b, o + count_field);
    if (l->directory_count > 16) return "NumberOfRvaAndSizes " + std::to_string(l->directory_count) + " above 16";
    if (count_field + 4 + 8ull * l->directory_count > optional_size)
        return "the data directories run past the optional header";
    if (!PowerOfTwo(l->file_alignment) || l->file_alignment > 0x10000)
        return "FileAlignment " + Hex(l->file_alignment) + " is not a power of two up to 64 KiB";
    if (!PowerOfTwo(l->section_alignment) || l->section_alignment < l->file_alignment)
        return "SectionAlignment " + Hex(l->section_alignment) + " is not a power of two at least FileAlignment";
    if (l->size_of_headers > b.size()) return "SizeOfHeaders runs past the end of the file";
    if (h.section_count == 0) return "no sections";
    if (h.section_count > kMaxSections) return std::to_string(h.section_count) + " sections, more than 96";
    if (!l->pe32_plus && l->image_base + l->size_of_image > 0x100000000ull)
        return "ImageBase plus SizeOfImage passes 4 GiB";
    return ReadSections(b, h, l);
}

std::uint32_t ProgramChecksum(const Bytes& b, std::uint64_t checksum_offset) {
    std::uint64_t sum = 0;
    auto byte = [&](std::uint64_t i) -> std::uint32_t {
        bool in_field = i >= checksum_offset && i - checksum_offset < 4;
        return i < b.size() && !in_field ? b[i] : 0;
    };
    for (std::uint64_t i = 0; i < b.size(); i += 2) {
        sum += byte(i) | byte(i + 1) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + b.size());
}

namespace {

// One resource data entry reached through the tree.
struct DataEntry {
    std::uint32_t entry;   // section offset of the 16-byte data entry
    std::uint32_t type, id;
    bool type_named, id_named;
    std::uint64_t start;   // section offset of its data (when inside)
    std::uint32_t size;
    bool inside;           // the data lies in the resource section
};

struct TreeWalk {
    const Bytes& file;
    std::uint64_t base;        // file offset of the resource section
    std::uint32_t content;     // its virtual size, all of it in the file
    std::uint32_t section_va;
    std::uint64_t tables_end = 0;  // end of the furthest table, entry or name
    int nodes = 0;
    std::uint64_t visited = 0;  // directory entries passed, shared paths counted each time
    std::vector<DataEntry> entries;
    std::string error;
};

bool Fail(TreeWalk* w, const std::string& what) {
    if (w->error.empty()) w->error = what;
    return false;
}

bool Inside(const TreeWalk& w, std::uint64_t offset, std::uint64_t size) {
    return offset <= w.content && size <= w.content - offset;
}

bool Mark(TreeWalk* w, std::uint64_t offset, std::uint64_t size, const char* what) {
    if (!Inside(*w, offset, size))
        return Fail(w, std::string("resource ") + what + " at " + Hex(offset) + " lies outside the resource section");
    w->tables_end = std::max(w->tables_end, offset + size);
    return true;
}

bool ReadDataEntry(TreeWalk* w, std::uint32_t offset, DataEntry entry) {
    if (!Mark(w, offset, 16, "data entry")) return false;
    std::uint32_t rva = PeU32(w->file, w->base + offset);
    entry.entry = offset;
    entry.size = PeU32(w->file, w->base + offset + 4);
    entry.inside = rva >= w->section_va;
    entry.start = entry.inside ? rva - w->section_va : 0;
    if (entry.inside && !Inside(*w, entry.start, entry.size))
        return Fail(w, "resource data at RVA " + Hex(rva) + " (" + std::to_string(entry.size) +
                           " bytes) runs past the resource section");
    w->entries.push_back(entry);
    return true;
}

// Walks one directory of the three-level tree (type, name, language).
bool WalkDirectory(TreeWalk* w, std::uint32_t offset, int level, DataEntry path) {
    if (++w->nodes > kMaxResourceNodes) return Fail(w, "resource tree too large or looping");
    if (!Mark(w, offset, 16, "directory")) return false;
    std::uint32_t count = PeU16(w->file, w->base + offset + 12) + PeU16(w->file, w->base + offset + 14);
    if (!Mark(w, offset + 16, 8ull * count, "directory")) return false;
    if (count > kMaxResourceEntries - w->visited)
        return Fail(w, "resource tree has more than " + std::to_string(kMaxResourceEntries) +
                           " entries (damaged, or directories shared by many entries)");
    w->visited += count;
    std::uint64_t previous_id = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t at = w->base + offset + 16 + 8ull * i;
        std::uint32_t name = PeU32(w->file, at);
        std::uint32_t target = PeU32(w->file, at + 4);
        bool named = (name & 0x80000000u) != 0;
        // Numbered entries come in rising order, each once, as Windows looks
        // them up: a repeated one would let the stamp replace another
        // RCDATA 100 than the one the program reads.
        if (!named && previous_id > name)
            return Fail(w, "resource directory at " + Hex(offset) + " lists id " + std::to_string(name) +
                               " out of order or twice");
        if (!named) previous_id = static_cast<std::uint64_t>(name) + 1;
        if (named) {
            std::uint32_t string = name & 0x7FFFFFFFu;
            if (!Mark(w, string, 2, "name") || !Mark(w, string, 2 + 2ull * PeU16(w->file, w->base + string), "name"))
                return false;
        }
        if (level == 0) path.type = name, path.type_named = named;
        if (level == 1) path.id = name, path.id_named = named;
        bool subdirectory = (target & 0x80000000u) != 0;
        if (subdirectory != (level < 2)) return Fail(w, "resource tree is not three levels deep");
        bool ok = subdirectory ? WalkDirectory(w, target & 0x7FFFFFFFu, level + 1, path)
                               : ReadDataEntry(w, target, path);
        if (!ok) return false;
    }
    return true;
}

// The section an RVA falls in, or -1.
int SectionOf(const ProgramLayout& l, std::uint64_t rva) {
    for (std::size_t i = 0; i < l.sections.size(); ++i) {
        const PeSection& s = l.sections[i];
        if (rva >= s.virtual_address && rva - s.virtual_address < AlignUp(Span(s), l.section_alignment))
            return static_cast<int>(i);
    }
    return -1;
}

// The file offset of `size` bytes at `rva`, when they are in a section's raw data.
bool MapRva(const Bytes& b, const ProgramLayout& l, std::uint64_t rva, std::uint64_t size, std::uint64_t* offset) {
    int i = SectionOf(l, rva);
    return i >= 0 && PeMapWithin(b, l.sections[i], rva - l.sections[i].virtual_address, size, offset);
}

// Every section other than the resources lies wholly before them, or wholly
// after them and discardable (nothing the code reaches by address).
std::string CheckOtherSections(const ProgramLayout& l, int r) {
    const PeSection& rs = l.sections[r];
    std::uint64_t raw_end = static_cast<std::uint64_t>(rs.raw_offset) + rs.raw_size;
    for (int i = 0; i < static_cast<int>(l.sections.size()); ++i) {
        if (i == r) continue;
        const PeSection& s = l.sections[i];
        std::uint64_t end = static_cast<std::uint64_t>(s.raw_offset) + s.raw_size;
        std::string which = std::string("section ") + s.name;
        if (i < r) {
            if (s.raw_size != 0 && end > rs.raw_offset) return which + " lies behind the resources in the file";
            continue;
        }
        if (!(s.characteristics & kDiscardable))
            return which + " follows the resources and holds data the code may refer to: it cannot be moved";
        if (s.raw_size != 0 && s.raw_offset < raw_end) return which + " overlaps the resources in the file";
        for (std::uint32_t pointer : {s.relocations, s.line_numbers})
            if (pointer != 0 && pointer < raw_end) return which + " has COFF relocations or line numbers before it";
    }
    return "";
}

// The data directories that must stay correct when what follows the
// resources moves: no signature, no debug data or base relocation behind
// the resources, nothing else pointing into them.
std::string CheckDirectories(const Bytes& b, const ProgramLayout& l, int r) {
    const PeSection& rs = l.sections[r];
    for (std::uint32_t i = 0; i < l.directory_count; ++i) {
        std::uint64_t rva = PeU32(b, l.directories_offset + 8ull * i);
        std::uint32_t size = PeU32(b, l.directories_offset + 8ull * i + 4);
        if (i == 4 && (rva != 0 || size != 0))
            return "the program is signed, and stamping would break its signature: remove the signature "
                   "(osslsigncode remove-signature -in SIGNED -out UNSIGNED), stamp the unsigned program, then "
                   "sign the result again";
        if (i == 2 || rva == 0) continue;
        if (SectionOf(l, rva) == r) return "data directory " + std::to_string(i) + " points into the resources";
    }
    if (l.directory_count > 6) {
        std::uint64_t rva = PeU32(b, l.directories_offset + 48), size = PeU32(b, l.directories_offset + 52), at = 0;
        if (rva != 0 && size != 0) {
            if (size / 28 > kMaxDebugEntries || !MapRva(b, l, rva, size, &at)) return "damaged debug directory";
            for (std::uint64_t e = at; e + 28 <= at + size; e += 28) {
                std::uint32_t data_rva = PeU32(b, e + 20), data_offset = PeU32(b, e + 24);
                if ((data_rva != 0 && data_rva >= rs.virtual_address) || data_offset >= rs.raw_offset)
                    return "debug data lies behind the resources: not supported";
            }
        }
    }
    if (l.directory_count > 5) {
        std::uint64_t rva = PeU32(b, l.directories_offset + 40), size = PeU32(b, l.directories_offset + 44), at = 0;
        if (rva != 0 && size != 0) {
            if (!MapRva(b, l, rva, size, &at)) return "damaged base relocation directory";
            for (std::uint64_t block = 0; block < size;) {
                if (size - block < 8) return "damaged base relocation block";
                std::uint32_t page = PeU32(b, at + block), length = PeU32(b, at + block + 4);
                if (length < 8 || length > size - block) return "damaged base relocation block";
                for (std::uint64_t e = at + block + 8; e + 2 <= at + block + length; e += 2) {
                    std::uint32_t fix = PeU16(b, e);
                    if ((fix >> 12) != 0 && page + static_cast<std::uint64_t>(fix & 0xFFF) >= rs.virtual_address)
                        return "base relocations reach into or behind the resources";
                }
                block += length;
            }
        }
    }
    return "";
}

// Where the package's data lies, and which other data moves with the tail.
std::string PlaceTail(const TreeWalk& w, std::uint64_t package_size, StampPlan* p) {
    const DataEntry* package = nullptr;
    int languages = 0;
    for (const DataEntry& e : w.entries) {
        if (e.type_named || e.id_named || e.type != kRcdata || e.id != kPackageId) continue;
        ++languages;
        package = &e;
    }
    // Each data entry is patched on its own: two resources may not share
    // one, nor may two entries overlap (a shift would land in the other).
    std::vector<std::uint32_t> offsets;
    for (const DataEntry& e : w.entries) offsets.push_back(e.entry);
    std::sort(offsets.begin(), offsets.end());
    for (std::size_t i = 1; i < offsets.size(); ++i)
        if (offsets[i] - offsets[i - 1] < 16)
            return "resource data entries at " + Hex(offsets[i - 1]) + " and " + Hex(offsets[i]) +
                   (offsets[i] == offsets[i - 1] ? " are one, shared by two resources" : " overlap");
    if (languages == 0) return "no RCDATA 100 (the package) in the program";
    if (languages > 1) return "RCDATA 100 in " + std::to_string(languages) + " languages: which one to replace?";
    if (!package->inside) return "RCDATA 100 lies outside the resource section";
    if (w.tables_end > package->start) return "resource tables lie behind the package's data: not supported";

    std::uint64_t old_end = package->start + package->size;
    std::uint64_t limit = w.content;  // where the next resource data begins
    std::vector<const DataEntry*> inside;
    for (const DataEntry& e : w.entries)
        if (e.inside && &e != package) inside.push_back(&e);
    for (const DataEntry* e : inside) {
        bool before = e->start + e->size <= package->start;
        bool after = e->start >= old_end;
        if (!before && !after) return "resource data overlaps the package's data";
        if (after) limit = std::min(limit, e->start);
    }
    p->package_entry = package->entry;
    p->package_start = static_cast<std::uint32_t>(package->start);
    p->old_tail = static_cast<std::uint32_t>(std::min(AlignUp(old_end, 8), limit));
    // The data after the package keeps its position modulo 8.
    std::uint64_t new_end = package->start + package_size;
    p->new_tail = new_end + (p->old_tail % 8 + 8 - new_end % 8) % 8;
    p->content_delta = static_cast<std::int64_t>(p->new_tail) - static_cast<std::int64_t>(p->old_tail);
    for (const DataEntry* e : inside)
        if (e->start >= p->old_tail) p->moved_entries.push_back(e->entry);
    return "";
}

std::string PlanSizes(const ProgramLayout& l, StampPlan* p) {
    const PeSection& rs = l.sections[p->resource_section];
    p->new_content = p->old_content + p->content_delta;
    p->new_raw_size = AlignUp(p->new_content, l.file_alignment);
    std::uint64_t old_end = AlignUp(static_cast<std::uint64_t>(rs.virtual_address) + p->old_content, l.section_alignment);
    std::uint64_t new_end = AlignUp(rs.virtual_address + p->new_content, l.section_alignment);
    p->va_delta = static_cast<std::int64_t>(new_end) - static_cast<std::int64_t>(old_end);
    p->file_delta = static_cast<std::int64_t>(p->new_raw_size) - static_cast<std::int64_t>(rs.raw_size);
    std::uint64_t image = l.size_of_image + p->va_delta;
    const std::string too_large = "the package is too large for this program: ";
    if (image > 0xFFFFFFFFull || (!l.pe32_plus && l.image_base + image > 0x100000000ull))
        return too_large + "its image would pass the 4 GiB address space";
    return "";
}

}  // namespace

std::string PlanStamp(const Bytes& b, std::uint64_t package_size, StampPlan* p) {
    *p = StampPlan{};
    std::string error = ReadProgramLayout(b, &p->layout);
    if (!error.empty()) return error;
    const ProgramLayout& l = p->layout;
    if (l.directory_count < 3) return "no resource directory entry";
    std::uint32_t resource_rva = PeU32(b, l.directories_offset + 16);
    std::uint32_t resource_size = PeU32(b, l.directories_offset + 20);
    if (resource_rva == 0) return "no resources in the program";
    int r = SectionOf(l, resource_rva);
    if (r < 0) return "the resource directory lies outside every section";
    const PeSection& rs = l.sections[r];
    if (resource_rva != rs.virtual_address) return "the resources share their section with other data";
    if (rs.virtual_size == 0 || rs.virtual_size > rs.raw_size)
        return "the resource section's size is inconsistent (virtual " + Hex(rs.virtual_size) + ", raw " +
               Hex(rs.raw_size) + ")";
    if (resource_size > rs.virtual_size) return "the resource directory entry runs past its section";
    if (rs.raw_size % l.file_alignment != 0) return "the resource section's raw size is not file-aligned";
    p->resource_section = r;
    p->old_content = rs.virtual_size;

    error = CheckOtherSections(l, r);
    if (error.empty()) error = CheckDirectories(b, l, r);
    if (!error.empty()) return error;
    if (l.symbol_table != 0) {
        std::uint64_t end = l.symbol_table + 18ull * l.symbol_count;
        // The symbols, then the string table with its length first.
        if (!PeHas(b, l.symbol_table, 18ull * l.symbol_count + 4) || !PeHas(b, end, PeU32(b, end)))
            return "the symbol table runs past the end of the file (truncated?)";
        if (l.symbol_table < rs.raw_offset + static_cast<std::uint64_t>(rs.raw_size) && end > rs.raw_offset)
            return "the symbol table lies in or before the resources: not supported";
    }

    TreeWalk walk{b, rs.raw_offset, rs.virtual_size, rs.virtual_address, 0, 0, 0, {}, {}};
    if (!WalkDirectory(&walk, 0, 0, DataEntry{})) return walk.error;
    // Data outside the section (rva below it) lies before the resources and stays.

    if (package_size > 0xFFFFFFFFull) return "the package is larger than 4 GiB";
    error = PlaceTail(walk, package_size, p);
    if (error.empty()) error = PlanSizes(l, p);
    if (!error.empty()) return error;

    const std::string too_large = "the package is too large for this program: ";
    std::int64_t directory_size = static_cast<std::int64_t>(resource_size) + p->content_delta;
    if (directory_size < 0) return "the resource directory entry's size is inconsistent";
    if (p->new_content > 0xFFFFFFFFull || p->new_raw_size > 0xFFFFFFFFull || directory_size > 0xFFFFFFFFll)
        return too_large + "the resource section would pass 4 GiB";
    p->new_file_size = b.size() + p->file_delta;
    if (p->new_file_size > 0xFFFFFFFFull) return too_large + "the file would pass 4 GiB";
    std::int64_t initialized = l.initialized_size;
    if (rs.characteristics & kInitializedData) initialized += p->file_delta;
    if (initialized < 0 || initialized > 0xFFFFFFFFll) return "SizeOfInitializedData is inconsistent";
    return "";
}

namespace {

void Shift32(Bytes* out, std::uint64_t at, std::int64_t delta) {
    Put32(out, at, static_cast<std::uint32_t>(PeU32(*out, at) + delta));
}

// The headers of the output: section table, sizes, directories, symbols.
void PatchHeaders(const StampPlan& p, std::uint64_t package_size, Bytes* out) {
    const ProgramLayout& l = p.layout;
    const PeSection& rs = l.sections[p.resource_section];
    std::uint64_t raw_end = static_cast<std::uint64_t>(rs.raw_offset) + rs.raw_size;
    Put32(out, rs.table_offset + 8, static_cast<std::uint32_t>(p.new_content));
    Put32(out, rs.table_offset + 16, static_cast<std::uint32_t>(p.new_raw_size));
    for (std::size_t i = p.resource_section + 1; i < l.sections.size(); ++i) {
        const PeSection& s = l.sections[i];
        Shift32(out, s.table_offset + 12, p.va_delta);
        if (s.raw_offset != 0) Shift32(out, s.table_offset + 20, p.file_delta);
        if (s.relocations != 0) Shift32(out, s.table_offset + 24, p.file_delta);
        if (s.line_numbers != 0) Shift32(out, s.table_offset + 28, p.file_delta);
    }
    std::uint64_t old_va_end = rs.virtual_address + AlignUp(p.old_content, l.section_alignment);
    for (std::uint32_t i = 0; i < l.directory_count; ++i) {
        std::uint64_t at = l.directories_offset + 8ull * i;
        if (i == 2) Shift32(out, at + 4, p.content_delta);
        else if (i != 4 && PeU32(*out, at) >= old_va_end) Shift32(out, at, p.va_delta);
    }
    Shift32(out, l.optional_offset + kSizeOfImageField, p.va_delta);
    if (rs.characteristics & kInitializedData) Shift32(out, l.optional_offset + kInitializedSizeField, p.file_delta);
    if (l.symbol_table >= raw_end) Shift32(out, l.coff_offset + 8, p.file_delta);
    // The resource section's data entries: the package's size, moved data.
    std::uint64_t base = rs.raw_offset;
    Put32(out, base + p.package_entry + 4, static_cast<std::uint32_t>(package_size));
    for (std::uint32_t entry : p.moved_entries) Shift32(out, base + entry, p.content_delta);
    if (l.checksum != 0) Put32(out, l.optional_offset + kChecksumField, ProgramChecksum(*out, l.optional_offset + kChecksumField));
}

}  // namespace

std::string StampProgram(const Bytes& program, const Bytes& package, Bytes* out) {
    out->clear();
    StampPlan p;
    std::string error = PlanStamp(program, package.size(), &p);
    if (!error.empty()) return error;
    const PeSection& rs = p.layout.sections[p.resource_section];
    const std::uint64_t base = rs.raw_offset;
    const std::uint64_t raw_end = base + rs.raw_size;
    out->assign(p.new_file_size, 0);
    auto copy = [&](std::uint64_t from, std::uint64_t size, std::uint64_t to) {
        if (size != 0) std::memcpy(out->data() + to, program.data() + from, size);
    };
    // Headers and everything before the resources; the resource tables and
    // the data before the package; the package; the data after it; then
    // all that follows the resource section.
    copy(0, base + p.package_start, 0);
    if (!package.empty()) std::memcpy(out->data() + base + p.package_start, package.data(), package.size());
    copy(base + p.old_tail, p.old_content - p.old_tail, base + p.new_tail);
    copy(raw_end, program.size() - raw_end, base + p.new_raw_size);
    PatchHeaders(p, package.size(), out);
    return "";
}

namespace {

// The name of the part of a program a file offset falls in.
std::string PartOf(const ProgramLayout& l, std::uint64_t at) {
    struct Field {
        std::uint64_t offset, size;
        const char* name;
    };
    const Field fields[] = {
        {l.coff_offset + 4, 4, "COFF time stamp"},
        {l.coff_offset + 8, 4, "PointerToSymbolTable"},
        {l.optional_offset + kInitializedSizeField, 4, "SizeOfInitializedData"},
        {l.optional_offset + kSizeOfImageField, 4, "SizeOfImage"},
        {l.optional_offset + kChecksumField, 4, "checksum"},
    };
    for (const Field& f : fields)
        if (at >= f.offset && at - f.offset < f.size) return f.name;
    if (at >= l.directories_offset && at - l.directories_offset < 8ull * l.directory_count)
        return "data directory " + std::to_string((at - l.directories_offset) / 8);
    for (const PeSection& s : l.sections) {
        if (at >= s.table_offset && at - s.table_offset < 40) return std::string("section table entry ") + s.name;
        if (at >= s.raw_offset && at - s.raw_offset < s.raw_size)
            return std::string("section ") + s.name + " +" + Hex(at - s.raw_offset);
    }
    if (at < l.size_of_headers) return "headers";
    return "after the sections (symbol table or appended data)";
}

}  // namespace

ProgramComparison ComparePrograms(const Bytes& a, const Bytes& b) {
    ProgramComparison result{true, {}};
    if (a == b) {
        result.lines.push_back("same bytes (" + std::to_string(a.size()) + ")");
        return result;
    }
    ProgramLayout la, lb;
    std::string ea = ReadProgramLayout(a, &la), eb = ReadProgramLayout(b, &lb);
    if (!ea.empty() || !eb.empty()) {
        result.same = false;
        result.lines.push_back("not both setup programs: " + (ea.empty() ? "second: " + eb : "first: " + ea));
        return result;
    }
    bool same_headers = la.coff_offset == lb.coff_offset && la.optional_offset == lb.optional_offset;
    auto ignored = [&](std::uint64_t at) {
        std::uint64_t stamp = la.coff_offset + 4, sum = la.optional_offset + kChecksumField;
        return same_headers && ((at >= stamp && at - stamp < 4) || (at >= sum && at - sum < 4));
    };
    if (a.size() != b.size()) {
        result.same = false;
        result.lines.push_back("sizes differ: " + std::to_string(a.size()) + " and " + std::to_string(b.size()));
    }
    std::uint64_t common = std::min(a.size(), b.size());
    int ranges = 0;
    std::vector<std::pair<std::string, std::uint64_t>> by_part;  // differing bytes per part
    for (std::uint64_t at = 0; at < common;) {
        if (a[at] == b[at]) {
            ++at;
            continue;
        }
        std::uint64_t end = at;
        std::string part = PartOf(la, at);
        while (end < common && a[end] != b[end] && PartOf(la, end) == part) ++end;
        std::string group = part.substr(0, part.find(" +"));
        if (by_part.empty() || by_part.back().first != group) by_part.push_back({group, 0});
        by_part.back().second += end - at;
        bool excused = ignored(at);
        if (!excused) result.same = false;
        if (++ranges <= 20)
            result.lines.push_back("differ at " + Hex(at) + ", " + std::to_string(end - at) + " bytes: " + part +
                                   (excused ? " (written by the link: ignored)" : ""));
        at = end;
    }
    if (ranges > 20) {
        result.lines.push_back("... " + std::to_string(ranges - 20) + " more differing ranges; in all:");
        for (const auto& [group, bytes] : by_part)
            result.lines.push_back("  " + group + ": " + std::to_string(bytes) + " bytes differ");
    }
    result.lines.push_back(result.same ? "same apart from the link's time stamp and checksum" : "different");
    return result;
}
