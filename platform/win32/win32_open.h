// Flags for every CreateFile of a path a user may steer (the per-user
// folders, the program's own folder, whatever lies below them): should the
// path reach a named pipe ("\\localhost\pipe\..." passes as a plain UNC
// path), its server learns who opened it but cannot act with our token.
#pragma once
#include <windows.h>

constexpr DWORD kOpenIdentifyOnly = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
