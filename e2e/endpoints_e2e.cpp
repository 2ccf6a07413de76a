// Endpoint naming in Wine (run by e2e/scenarios/endpoints.sh), a 32-bit
// program as the setup program is:
//   endpoints_e2e.exe write   writes the DAZA driver's registry entries the way
//                             its 64-bit driver setup leaves them: the service
//                             key, and eight playback and eight recording
//                             endpoints under MMDevices in the 64-bit view
//                             (with one endpoint of another driver beside them)
//   endpoints_e2e.exe name    runs NameVirtualEndpoints; exit 0 when its result
//                             is not negative
//   endpoints_e2e.exe icons   resolves the sixteen icon paths written to icon
//                             resources of the driver file; exit 0 when all do
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "endpoints/endpoints.h"

namespace {

const wchar_t kAudio[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\";
const wchar_t kService[] = L"SYSTEM\\CurrentControlSet\\Services\\ZTMixolyteDAZAMME";
const wchar_t kDriverIdValue[] = L"{83da6326-97a6-4088-9453-a1923f573b29},3";
const wchar_t kChannelValue[] = L"{233164c8-1b2c-4c7d-bc68-b671687a2567},1";
const wchar_t kNameValue[] = L"{a45c254e-df1c-4efd-8020-67d146a850e0},2";
const wchar_t kIconValue[] = L"{259abffc-50a7-47ce-af08-68c9a7d73366},12";

bool PutText(const std::wstring& path, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool ReadText(const std::wstring& path, const wchar_t* name, std::wstring* text) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    *text = buffer;
    return true;
}

std::vector<std::wstring> Subkeys(const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD index = 0; RegEnumKeyW(key, index, name, 256) == ERROR_SUCCESS; ++index) names.push_back(name);
    RegCloseKey(key);
    return names;
}

// Endpoint keys are GUIDs; here the later channels sort first, so that only
// the channel value, not the order, can give the right channel.
std::wstring EndpointKey(const wchar_t* flow, int channel) {
    wchar_t key[96];
    std::swprintf(key, 96, L"{0.0.0.00000000}.{%d%ls-5c1e-4f0a-9d3b-00000000000%d}", 9 - channel,
                  flow[0] == L'R' ? L"a0b1c2d" : L"e3f4a5b", channel);
    return std::wstring(kAudio) + flow + L"\\" + key;
}

int Write() {
    bool ok = PutText(kService, L"ImagePath", L"\\SystemRoot\\System32\\drivers\\ztmixolytevaio64_win10.sys",
                      REG_EXPAND_SZ);
    for (const wchar_t* flow : {L"Render", L"Capture"})
        for (int channel = 1; channel <= 8; ++channel) {
            std::wstring properties = EndpointKey(flow, channel) + L"\\Properties";
            wchar_t path[160];
            std::swprintf(path, 160, L"{2}.\\\\?\\root#media#0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\%ls%04d",
                          flow[0] == L'R' ? L"render" : L"capture", channel);
            ok &= PutText(properties, kDriverIdValue, L"{1}.ROOT\\MEDIA\\0000:ZTMixolyteDAZA");
            ok &= PutText(properties, kChannelValue, path);
            ok &= PutText(properties, kNameValue, L"DAZA endpoint");
        }
    // Another driver's endpoint: left as it is.
    std::wstring other = std::wstring(kAudio) + L"Render\\{0.0.0.00000000}.{00000000-0000-0000-0000-00000000a0d1}";
    ok &= PutText(other + L"\\Properties", kDriverIdValue, L"{1}.HDAUDIO\\FUNC_01:HdAudio");
    ok &= PutText(other + L"\\Properties", kChannelValue, L"{2}.HDAUDIO\\0001");
    ok &= PutText(other + L"\\Properties", kNameValue, L"Speakers");
    std::printf("entries written: %s\n", ok ? "yes" : "NO");
    return ok ? 0 : 1;
}

int Name() {
    int result = NameVirtualEndpoints();
    std::printf("NameVirtualEndpoints: %d\n", result);
    return result >= 0 ? 0 : 1;
}

// "%windir%\...\file.sys,-201" -> does the file hold icon group 201?
bool IconResolves(const std::wstring& icon) {
    std::size_t comma = icon.rfind(L",-");
    if (comma == std::wstring::npos) return false;
    int id = _wtoi(icon.c_str() + comma + 2);
    wchar_t file[MAX_PATH];
    if (ExpandEnvironmentStringsW(icon.substr(0, comma).c_str(), file, MAX_PATH) == 0) return false;
    // The driver file lies in the 64-bit System32, which a 32-bit program
    // sees only without file system redirection.
    using DisableFn = BOOL(WINAPI*)(PVOID*);
    using RevertFn = BOOL(WINAPI*)(PVOID);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto disable = reinterpret_cast<DisableFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
    auto revert = reinterpret_cast<RevertFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    PVOID state = nullptr;
    bool redirected_off = disable && disable(&state);
    HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (redirected_off && revert) revert(state);
    if (!module) return false;
    bool found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14)) != nullptr;  // RT_GROUP_ICON
    FreeLibrary(module);
    return found;
}

int Icons() {
    int resolved = 0;
    for (const wchar_t* flow : {L"Render", L"Capture"})
        for (const std::wstring& name : Subkeys(std::wstring(kAudio) + flow)) {
            std::wstring properties = std::wstring(kAudio) + flow + L"\\" + name + L"\\Properties";
            std::wstring id;
            std::wstring icon;
            if (!ReadText(properties, kDriverIdValue, &id) || id.size() < 14 ||
                _wcsicmp(id.c_str() + id.size() - 14, L"ZTMixolyteDAZA") != 0)
                continue;
            bool ok = ReadText(properties, kIconValue, &icon) && IconResolves(icon);
            std::printf("%ls %ls: %ls %s\n", flow, name.c_str(), icon.c_str(), ok ? "resolves" : "DOES NOT RESOLVE");
            resolved += ok ? 1 : 0;
        }
    std::printf("icons resolved: %d of 16\n", resolved);
    return resolved == 16 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write") return Write();
    if (mode == "name") return Name();
    if (mode == "icons") return Icons();
    std::fprintf(stderr, "usage: endpoints_e2e.exe write|name|icons\n");
    return 2;
}
