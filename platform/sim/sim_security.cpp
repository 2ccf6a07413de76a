// The tokens of the simulated machine: ours and the desktop shell's, as
// SimSystem describes them, and impersonating a duplicate of the shell's.
#include "platform/security.h"
#include "platform/sim/sim.h"

namespace {

void FillFacts(const SimToken& token, plat::TokenFacts* facts) {
    SimCopyText(facts->user, sizeof facts->user, token.user);
    facts->elevation_type = !token.split ? plat::kElevationDefault
                            : token.elevated ? plat::kElevationFull
                                             : plat::kElevationLimited;
    facts->elevated = token.elevated ? 1 : 0;
}

}  // namespace

bool SimActsAsAdministrator() {
    const SimSystem& system = Sim().system;
    return system.impersonating ? system.impersonated.elevated : system.token.elevated;
}

namespace plat {

int OwnTokenFacts(TokenFacts* facts) {
    static const int op = SimOpId("OwnTokenFacts");
    if (SimFaultHere(op)) return 0;
    FillFacts(Sim().system.token, facts);
    return 1;
}

Handle ShellTokenOpen(TokenFacts* facts) {
    static const int op = SimOpId("ShellTokenOpen");
    SimSystem& system = Sim().system;
    if (SimFaultHere(op) || !system.shell_running || system.shell_token_refused) return kInvalidHandle;
    Handle token = SimNewHandle();
    system.token_handles[reinterpret_cast<std::uintptr_t>(token)] = system.shell;
    FillFacts(system.shell, facts);
    return token;
}

int ImpersonateToken(Handle token) {
    static const int op = SimOpId("ImpersonateToken");
    SimSystem& system = Sim().system;
    auto it = system.token_handles.find(reinterpret_cast<std::uintptr_t>(token));
    if (SimFaultHere(op) || it == system.token_handles.end()) return 0;
    system.impersonating = true;
    system.impersonated = it->second;
    return 1;
}

int StopImpersonating() {
    static const int op = SimOpId("StopImpersonating");
    if (SimFaultHere(op)) return 0;  // the thread keeps the token it had
    Sim().system.impersonating = false;
    return 1;
}

void TokenClose(Handle token) {
    static const int op = SimOpId("TokenClose");
    SimCountHere(op);
    Sim().system.token_handles.erase(reinterpret_cast<std::uintptr_t>(token));
}

void EndProcessNow(std::uint32_t code) {
    static const int op = SimOpId("EndProcessNow");
    SimCountHere(op);
    SimKilled ended;
    ended.call = Sim().faults.calls;
    ended.ended = true;
    ended.exit_code = code;
    throw ended;
}

}  // namespace plat
