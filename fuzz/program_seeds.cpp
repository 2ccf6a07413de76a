// Writes the program fuzz target's seeds: small programs laid out as a
// linker lays them out, with and without a package, checksum or other
// resources around the package. Generated, so no binaries are kept.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/pe_layout.h"

using namespace pelayout;

namespace {

bool Write(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
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
                           LayOutProgram(around, false)};
    for (std::size_t i = 0; i < sizeof seeds / sizeof seeds[0]; ++i) {
        std::string path = dir + "/seed-program-" + std::to_string(i);
        if (!Write(path, seeds[i])) {
            std::fprintf(stderr, "program_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
