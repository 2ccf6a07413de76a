// The rights the program acts with in the places its user controls (the
// per-user Start menu, the Startup folder, HKCU): the tokens it can see,
// impersonating one of them, and the way back.
//
// Whose rights the per-user work runs with, decided afresh before each
// piece of it (base/user_rights.h) from what the tokens below say:
//
// - kAsUser: our token is UAC's elevated half of a split token, and the
//   desktop shell's token (GetShellWindow, its process) is the same user's
//   and not elevated. The thread impersonates a duplicate of it, so the
//   work has exactly the rights of the user who started us, and nothing
//   only an administrator may change is touched.
// - kOwnRights ("not needed"): the work runs with our own token, as it
//   always did. Either there is no split token (Windows XP, which knows no
//   elevation; UAC off; the built-in Administrator; a service) or ours is
//   not elevated: our rights are then the user's own. Or the shell's token
//   belongs to another user: an administrator's name and password were
//   typed into the prompt, so HKCU and its folders are that
//   administrator's own, and the user at the desktop controls none of it.
// - kNarrowed: our token is elevated and split, so the same user's
//   unelevated rights exist, but they cannot be had: no shell window, its
//   process or token cannot be opened or read (this also covers a shell of
//   another user whose token we may not read, and a shell that bars us on
//   purpose), the shell's token is elevated, or the impersonation does not
//   take. The work then does only what cannot be turned against other
//   places: it deletes the product's listed shortcut names and removes
//   folders only when they are empty, never a tree; links are left alone;
//   HKCU values are written only through keys that are not registry links
//   (UserDwordWriteNoLinks).
//
// UAC's linked token (TokenLinkedToken) is no route to the user's rights:
// Windows hands an elevated program without SeTcbPrivilege that token at
// identification level only, which can be queried but not acted with.
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat {

enum class UserRights { kAsUser, kOwnRights, kNarrowed };

// TokenElevationType: no split token, the elevated half of one, the
// unelevated (limited) half.
constexpr int kElevationDefault = 1;
constexpr int kElevationFull = 2;
constexpr int kElevationLimited = 3;

// What a token says of itself.
struct TokenFacts {
    char user[192];      // the user's SID as text ("S-1-5-21-...")
    int elevation_type;  // kElevation...
    int elevated;        // TokenElevation: it holds the administrators' rights
};

// Our process token (OpenProcessToken, GetTokenInformation). 1 when read;
// 0 when it cannot be. Windows XP, which knows no elevation, gives
// kElevationDefault and elevated 0.
int OwnTokenFacts(TokenFacts* facts);

// The desktop shell's token, duplicated as an impersonation token: the
// process of GetShellWindow's window (OpenProcess with
// PROCESS_QUERY_LIMITED_INFORMATION, or PROCESS_QUERY_INFORMATION where
// that right is unknown), checked to still own that window once opened,
// OpenProcessToken(TOKEN_DUPLICATE | TOKEN_QUERY), DuplicateTokenEx to a
// TokenImpersonation at SecurityImpersonation. kInvalidHandle when there
// is no shell window or any step fails; else the token, with its facts.
Handle ShellTokenOpen(TokenFacts* facts);

// The thread impersonates the token (SetThreadToken). 1 only when the
// thread then acts with it at impersonation level (Windows may quietly
// give identification level instead); 0 else, and whatever was set must
// still be ended with StopImpersonating.
int ImpersonateToken(Handle token);

// Ends an impersonation (RevertToSelf). 1 when the thread has the
// process's rights again; 0 when that failed and it may still act with the
// other token.
int StopImpersonating();

void TokenClose(Handle token);

// Writes the REG_DWORD value under HKCU\path (key names separated by
// backslashes) with the program's own rights, reaching each key of the path
// as itself (REG_OPTION_OPEN_LINK, made where missing) and refusing any
// that is a registry link (it holds "SymbolicLinkValue"): the user who owns
// the hive cannot send the write elsewhere. 1 when written.
int UserDwordWriteNoLinks(const char* path, const char* value_name, std::uint32_t value);

// Ends this process at once with `code` (TerminateProcess on itself), for
// when the thread's rights are no longer what the program thinks.
[[noreturn]] void EndProcessNow(std::uint32_t code);

}  // namespace plat
