#include "base/user_rights.h"

#include <cstring>

#include "base/context.h"

plat::UserRights BeginUserWork() {
    plat::TokenFacts own{};
    if (!plat::OwnTokenFacts(&own)) return plat::UserRights::kNarrowed;
    // Without an elevated split token our rights are the user's own, or
    // there is no unelevated half to go back to.
    if (own.elevation_type != plat::kElevationFull) return plat::UserRights::kOwnRights;
    plat::TokenFacts shell{};
    plat::Handle token = plat::ShellTokenOpen(&shell);
    if (token == plat::kInvalidHandle) return plat::UserRights::kNarrowed;
    plat::UserRights rights = plat::UserRights::kNarrowed;
    if (std::strcmp(shell.user, own.user) != 0) {
        rights = plat::UserRights::kOwnRights;  // another user's desktop: HKCU is our own user's
    } else if (!shell.elevated) {
        if (plat::ImpersonateToken(token))
            rights = plat::UserRights::kAsUser;
        else
            EndUserWork(plat::UserRights::kAsUser);  // whatever it left set goes
    }
    plat::TokenClose(token);  // the thread keeps its own reference
    return rights;
}

void EndUserWork(plat::UserRights rights) {
    if (rights != plat::UserRights::kAsUser) return;
    if (!plat::StopImpersonating()) plat::EndProcessNow(static_cast<std::uint32_t>(kExitRightsNotRestored));
}
