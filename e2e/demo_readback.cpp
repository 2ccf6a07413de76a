// Windows-side reader of the demo (e2e/demo.sh): what a stage left on the
// machine, read through Windows itself in one program start (a 64-bit
// program, so that it runs at full speed where 32-bit ones are emulated).
//   demo_readback.exe WHAT... where each WHAT is one of
//     files PATH            a folder tree: "F<TAB>md5<TAB>size<TAB>relpath" per
//                           file, "D<TAB>relpath" per folder (MD5 by CryptoAPI)
//     keys32 KEY | keys64 KEY
//                           a registry tree in that view: "K<TAB>subkey" per
//                           key, "V<TAB>subkey<TAB>name<TAB>type<TAB>data" per value
//     values64 KEY          the values of that one key (64-bit view), as keys64
//     window TITLE          a top-level window: "frame<TAB>l<TAB>t<TAB>r<TAB>b",
//                           "client<TAB>x<TAB>y<TAB>w<TAB>h" (screen coordinates)
//     button TITLE TEXT     the centre of that window's child of that text:
//                           "button<TAB>x<TAB>y"
// Every WHAT starts with a line "== WHAT ARG" and is "absent" when missing.
// Text is written as UTF-8; tabs and line breaks inside data become spaces.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const char* text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(length > 0 ? length : 1, L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), length);
    out.resize(std::wcslen(out.c_str()));
    return out;
}

// UTF-8, with control characters (tabs, line breaks) as spaces so that a
// field never breaks the line format.
std::string Utf8(const std::wstring& text) {
    std::wstring clean = text;
    for (wchar_t& c : clean)
        if (c < 0x20) c = L' ';
    int length = WideCharToMultiByte(CP_UTF8, 0, clean.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(length > 0 ? length : 1, '\0');
    if (length > 0) WideCharToMultiByte(CP_UTF8, 0, clean.c_str(), -1, out.data(), length, nullptr, nullptr);
    out.resize(std::strlen(out.c_str()));
    return out;
}

std::string Hex(const BYTE* bytes, DWORD count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (DWORD i = 0; i < count; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

// The file's MD5 and size, read through CreateFileW; false when unreadable.
bool Digest(const std::wstring& path, std::string* md5, unsigned long long* size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    bool ok = CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
              CryptCreateHash(provider, CALG_MD5, 0, 0, &hash);
    *size = 0;
    std::vector<BYTE> buffer(1 << 16);
    DWORD got = 0;
    while (ok && ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
        ok = CryptHashData(hash, buffer.data(), got, 0);
        *size += got;
    }
    BYTE value[16] = {};
    DWORD length = sizeof value;
    ok = ok && CryptGetHashParam(hash, HP_HASHVAL, value, &length, 0) && length == sizeof value;
    if (ok) *md5 = Hex(value, length);
    if (hash) CryptDestroyHash(hash);
    if (provider) CryptReleaseContext(provider, 0);
    CloseHandle(file);
    return ok;
}

void ListFolder(const std::wstring& root, const std::wstring& relative) {
    std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            std::printf("D\t%s\n", Utf8(path).c_str());
            ListFolder(root, path);
            continue;
        }
        std::string md5 = "unreadable";
        unsigned long long size = 0;
        Digest(root + L"\\" + path, &md5, &size);
        std::printf("F\t%s\t%llu\t%s\n", md5.c_str(), size, Utf8(path).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void Files(const char* path) {
    std::wstring root = Wide(path);
    DWORD attributes = GetFileAttributesW(root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::printf("absent\n");
        return;
    }
    ListFolder(root, L"");
}

std::string ValueText(DWORD type, const BYTE* data, DWORD size) {
    char number[32] = {};
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ: {
            std::wstring text(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t));
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            for (wchar_t& c : text)
                if (c == L'\0') c = L';';  // the strings of a REG_MULTI_SZ
            return Utf8(text);
        }
        case REG_DWORD:
            if (size < 4) return "";
            std::snprintf(number, sizeof number, "0x%lx", static_cast<unsigned long>(*reinterpret_cast<const DWORD*>(data)));
            return number;
        case REG_QWORD:
            if (size < 8) return "";
            std::snprintf(number, sizeof number, "0x%llx", *reinterpret_cast<const unsigned long long*>(data));
            return number;
        default:
            return size > 32 ? Hex(data, 32) + "..." : Hex(data, size);
    }
}

const char* TypeName(DWORD type) {
    switch (type) {
        case REG_SZ: return "REG_SZ";
        case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
        case REG_MULTI_SZ: return "REG_MULTI_SZ";
        case REG_DWORD: return "REG_DWORD";
        case REG_QWORD: return "REG_QWORD";
        case REG_BINARY: return "REG_BINARY";
        default: return "REG_OTHER";
    }
}

void ListKey(HKEY key, const std::wstring& relative, REGSAM view, bool deep) {
    std::printf("K\t%s\n", Utf8(relative).c_str());
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD name_length = static_cast<DWORD>(name.size());
        DWORD data_size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG status = RegEnumValueW(key, i, name.data(), &name_length, nullptr, &type, data.data(), &data_size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        std::wstring value_name(name.data(), name_length);
        std::printf("V\t%s\t%s\t%s\t%s\n", Utf8(relative).c_str(),
                    value_name.empty() ? "(Default)" : Utf8(value_name).c_str(), TypeName(type),
                    ValueText(type, data.data(), data_size).c_str());
    }
    for (DWORD i = 0; deep; ++i) {
        DWORD name_length = static_cast<DWORD>(name.size());
        LONG status = RegEnumKeyExW(key, i, name.data(), &name_length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        std::wstring sub(name.data(), name_length);
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, sub.c_str(), 0, KEY_READ | view, &child) != ERROR_SUCCESS) continue;
        ListKey(child, relative.empty() ? sub : relative + L"\\" + sub, view, true);
        RegCloseKey(child);
    }
}

void Keys(const char* path, REGSAM view, bool deep) {
    std::string text = path;
    std::size_t slash = text.find('\\');
    std::string root_name = text.substr(0, slash);
    HKEY root = root_name == "HKLM" ? HKEY_LOCAL_MACHINE : root_name == "HKCU" ? HKEY_CURRENT_USER : nullptr;
    HKEY key = nullptr;
    std::wstring sub = slash == std::string::npos ? L"" : Wide(text.substr(slash + 1).c_str());
    if (root == nullptr || RegOpenKeyExW(root, sub.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        std::printf("absent\n");
        return;
    }
    ListKey(key, L"", view, deep);
    RegCloseKey(key);
}

HWND TopWindow(const char* title) { return FindWindowW(nullptr, Wide(title).c_str()); }

void Window(const char* title) {
    HWND window = TopWindow(title);
    if (window == nullptr || !IsWindowVisible(window)) {
        std::printf("absent\n");
        return;
    }
    RECT frame = {};
    GetWindowRect(window, &frame);
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    std::printf("frame\t%ld\t%ld\t%ld\t%ld\n", frame.left, frame.top, frame.right, frame.bottom);
    std::printf("client\t%ld\t%ld\t%ld\t%ld\n", origin.x, origin.y, client.right, client.bottom);
}

void Button(const char* title, const char* text) {
    HWND window = TopWindow(title);
    HWND child = window == nullptr ? nullptr : FindWindowExW(window, nullptr, nullptr, Wide(text).c_str());
    if (child == nullptr) {
        std::printf("absent\n");
        return;
    }
    RECT rect = {};
    GetWindowRect(child, &rect);
    std::printf("button\t%ld\t%ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

int Usage() {
    std::fputs("usage: demo_readback files PATH | keys32 KEY | keys64 KEY | values64 KEY | window TITLE | button TITLE TEXT ...\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc;) {
        std::string what = argv[i];
        int needs = what == "button" ? 2 : 1;
        if (i + needs >= argc) return Usage();
        std::printf("== %s %s\n", what.c_str(), argv[i + 1]);
        if (what == "files") Files(argv[i + 1]);
        else if (what == "keys32") Keys(argv[i + 1], KEY_WOW64_32KEY, true);
        else if (what == "keys64") Keys(argv[i + 1], KEY_WOW64_64KEY, true);
        else if (what == "values64") Keys(argv[i + 1], KEY_WOW64_64KEY, false);
        else if (what == "window") Window(argv[i + 1]);
        else if (what == "button") Button(argv[i + 1], argv[i + 2]);
        else return Usage();
        i += needs + 1;
    }
    std::fflush(stdout);
    return 0;
}
