// Writes the program fuzz target's seeds: small programs laid out as a
// linker lays them out, with and without a package, checksum or other
// resources around the package. Generated, so no binaries are kept.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/tools/tools_pe_layout.h"

using namespace pelayout;

namespace {

bool Write(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// The same program as PE32+ (x86-64): the optional header grows by 16
// bytes (a 64-bit image base and stack and heap sizes), the section table
// moves behind it, all else stays.
Bytes AsPe32Plus(const Bytes& pe32) {
    Bytes b = pe32;
    const std::size_t o = kOptional;
    auto copy = [&](std::size_t from, std::size_t size, std::size_t to) {
        std::copy(pe32.begin() + static_cast<long>(o + from), pe32.begin() + static_cast<long>(o + from + size),
                  b.begin() + static_cast<long>(o + to));
    };
    std::fill(b.begin() + static_cast<long>(o), b.begin() + static_cast<long>(kSectionTable + 16 + 3 * 40), 0);
    copy(0, 24, 0);
    copy(28, 4, 24);                                   // ImageBase, high half 0
    copy(32, 40, 32);                                  // alignments .. DllCharacteristics
    for (int i = 0; i < 4; ++i) copy(72 + 4 * i, 4, 72 + 8 * i);  // stack and heap sizes
    copy(88, 8, 104);                                  // LoaderFlags, NumberOfRvaAndSizes
    copy(96, 128, 112);                                // the data directories
    std::copy(pe32.begin() + static_cast<long>(kSectionTable), pe32.begin() + static_cast<long>(kSectionTable + 3 * 40),
              b.begin() + static_cast<long>(kSectionTable + 16));
    Put16(&b, o, 0x20B);
    Put16(&b, kPe + 4, 0x8664);
    Put16(&b, kPe + 20, 240);
    Put32(&b, o + 64, 0);
    Put32(&b, o + 64, ReferenceChecksum(b, o + 64));
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: program_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<Resource> around = {{3, 1, Pattern(40, 1)},   {10, 99, Pattern(13, 2)}, {10, 100, Pattern(100, 3)},
                                          {10, 101, Pattern(30, 4)}, {24, 1, Pattern(20, 5)}};
    const std::vector<Resource> alone = {{10, 100, Pattern(9, 6)}};
    const std::vector<Resource> empty = {{10, 100, {}}, {16, 1, Pattern(60, 7)}};
    const Bytes seeds[] = {LayOutProgram(around), LayOutProgram(alone, true, false), LayOutProgram(empty),
                           LayOutProgram(around, false), AsPe32Plus(LayOutProgram(around))};
    for (std::size_t i = 0; i < sizeof seeds / sizeof seeds[0]; ++i) {
        std::string path = dir + "/seed-program-" + std::to_string(i);
        if (!Write(path, seeds[i])) {
            std::fprintf(stderr, "program_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
