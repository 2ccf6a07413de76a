// ExtractPackage against a simulated machine, on packages that are built
// from the input and then damaged by it, or on the raw input itself.
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/context.h"
#include "base/text.h"
#include "package/package.h"
#include "package/package_format.h"
#include "platform/sim/sim.h"

namespace {

// Mode 1: the first bytes are plain entry data (98 slices), the rest a list
// of 6-byte patches (record byte offset, value) applied to the directory.
std::vector<std::uint8_t> PackageFromInput(const std::uint8_t* data, std::size_t size) {
    std::size_t split = size / 2;
    std::vector<std::vector<std::uint8_t>> entries(kPackageEntryCount);
    for (std::size_t i = 0; i < split; ++i) entries[i % kPackageEntryCount].push_back(data[i]);
    std::vector<std::uint8_t> package;
    BuildPackage(entries, 0, &package);
    for (std::size_t i = split; i + 6 <= size; i += 6) {
        std::uint32_t at = (static_cast<std::uint32_t>(data[i]) | data[i + 1] << 8) % kPackageDirectorySize;
        std::uint32_t value = static_cast<std::uint32_t>(data[i + 2]) | data[i + 3] << 8 |
                              static_cast<std::uint32_t>(data[i + 4]) << 16 |
                              static_cast<std::uint32_t>(data[i + 5]) << 24;
        for (int b = 0; b < 4 && at + b < kPackageDirectorySize; ++b)
            package[at + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    return package;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    SimReset();
    const bool raw = data[0] & 1;
    ++data;
    --size;
    Sim().resources.rcdata[100] = raw ? std::vector<std::uint8_t>(data, data + size) : PackageFromInput(data, size);
    SimPutFolder("C:\\Program Files\\ZT\\Mixolyte");
    ResetSetupContext(&setup_context);
    CopyText(setup_context.product_folder, sizeof setup_context.product_folder, "C:\\Program Files\\ZT\\Mixolyte");
    int result = ExtractPackage(&setup_context);
    if (result > 0 || result < -198 || (result < -1 && result > -101)) __builtin_trap();
    // Nothing may land outside the product folder.
    for (const auto& [key, file] : Sim().files.entries)
        if (key.rfind("C:\\PROGRAM FILES", 0) != 0) __builtin_trap();
    return 0;
}
