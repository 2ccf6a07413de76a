// The rights the program acts with: the unelevated user who started it,
// for the work in places that user controls.
#pragma once

namespace plat {

// Where the process token has a linked token (GetTokenInformation with
// TokenLinkedToken: UAC's split token, the unelevated token of the user who
// started the program) handed out at impersonation level, this thread
// impersonates it (SetThreadToken) and gives 1. 0 when there is none or it
// cannot be used: an administrator's own elevated session, Windows XP, UAC
// off, or a linked token at identification level only (Windows hands an
// elevated program without SeTcbPrivilege no more); the thread then keeps
// the process's rights.
int ImpersonateLinkedUser();

// Ends what ImpersonateLinkedUser began (RevertToSelf).
void StopImpersonating();

}  // namespace plat
