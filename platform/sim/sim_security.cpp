// The tokens of the simulated machine: ours and the desktop shell's, as
// SimSystem describes them, and impersonating a duplicate of the shell's.
#include <string>

#include "platform/registry.h"
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

// The sim's registry has no links: every key is itself.
int UserDwordWriteNoLinks(const char* path, const char* value_name, std::uint32_t value) {
    static const int op = SimOpId("UserDwordWriteNoLinks");
    if (SimFaultHere(op)) {
        std::string place = std::string("R HKCU\\") + path;
        for (char& c : place) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        SimNoteFailedSubject(place);
        return 0;
    }
    SimInsideCall inside;
    Handle key = nullptr;
    if (RegistryCreateKey(kHkeyCurrentUser, path, &key) != kErrorSuccess) return 0;
    const std::uint8_t data[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                  static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    std::uint32_t status = RegistrySetValue(key, value_name, kRegDword, data, sizeof data);
    RegistryCloseKey(key);
    return status == kErrorSuccess ? 1 : 0;
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
