// Test installer for the DAZA device: installs it from an INF or removes it,
// through the same two functions the DAZA driver setup stand-in uses.
//   daza_device_tool -i <path of ztmixolytevaio64_win10.inf>
//   daza_device_tool -u
// Exit code 0 on success, 1 on failure, 2 on a wrong command line.
#include <cstdio>
#include <cstring>

#include "daza_device_install.h"

namespace {

int Report(const char* what, const DazaDeviceResult& result) {
    if (result.error != 0) {
        std::printf("%s failed at %s: error %lu (0x%lx), devices %d\n", what, result.failed_step, result.error,
                    result.error, result.devices);
        return 1;
    }
    std::printf("%s done: devices %d, reboot %s\n", what, result.devices, result.reboot_needed ? "needed" : "not needed");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "-i") == 0) return Report("install", InstallDazaDevice(argv[2]));
    if (argc == 2 && std::strcmp(argv[1], "-u") == 0) return Report("remove", RemoveDazaDevice());
    std::printf("usage: daza_device_tool -i <inf> | -u\n");
    return 2;
}
