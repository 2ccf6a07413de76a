#include "base/hardening.h"

#include "platform/files.h"
#include "platform/system.h"

plat::Handle held_image = plat::kInvalidHandle;
std::uint32_t dll_load_flags = plat::kLoadWithAlteredSearchPath;

namespace {

// The search path: the system folder only where Windows can say so (its
// LOAD_LIBRARY_SEARCH_* flags come with the same update); elsewhere at
// least the current folder goes out of it. The program loads its own
// system DLLs by their full path in either case.
void RestrictDllSearch() {
    int result = 0;
    int available = plat::DllDirectoriesSetDefault(plat::kLoadLibrarySearchSystem32, &result);
    dll_load_flags = available ? plat::kLoadLibrarySearchDllLoadDir | plat::kLoadLibrarySearchSystem32
                               : plat::kLoadWithAlteredSearchPath;
    if (available && result) return;
    plat::DllDirectorySet("", &result);
}

// Only policies that change nothing the program does: images from remote
// or low-label places are never the program's; junctions made by a
// non-administrator are what it must not follow.
void SetMitigations() {
    int result = 0;
    if (!plat::MitigationPolicySet(plat::kProcessRedirectionTrustPolicy, plat::kRedirectionTrustEnforce, &result))
        return;
    plat::MitigationPolicySet(plat::kProcessImageLoadPolicy,
                              plat::kImageLoadNoRemoteImages | plat::kImageLoadNoLowMandatoryLabelImages, &result);
}

}  // namespace

void HardenProcess(plat::Handle instance) {
    RestrictDllSearch();
    SetMitigations();
    held_image = plat::FileHoldOwnImage(instance);
}

void ReleaseHeldImage() {
    if (held_image != plat::kInvalidHandle) plat::FileClose(held_image);
    held_image = plat::kInvalidHandle;
}
