// A DLL the platform contract suite loads: three entry points without
// arguments, each with its own HRESULT, so a call shows which one ran.
#include <windows.h>

extern "C" {

HRESULT STDAPICALLTYPE DllRegisterServer() { return S_OK; }

HRESULT STDAPICALLTYPE DllUnregisterServer() { return E_FAIL; }

HRESULT STDAPICALLTYPE ContractAnswer() { return static_cast<HRESULT>(0x00C0FFEE); }

}  // extern "C"
