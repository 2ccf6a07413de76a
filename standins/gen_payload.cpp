// Writes a demo payload: the 98 files of the package under their names,
// small and plausible, the same bytes on every run. The install stand-ins
// replace the programs and DLLs among them where they are built.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "package/package_format.h"

namespace fs = std::filesystem;

namespace {

bool EndsWith(const std::string& text, const char* tail) {
    std::size_t n = std::strlen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

std::string TextContents(const std::string& name, int index) {
    if (EndsWith(name, ".inf"))
        return "; " + name + "\r\n[Version]\r\nSignature=\"$WINDOWS NT$\"\r\nProvider=%ZTA%\r\n"
               "DriverVer=11/20/2026,2.1.2.2\r\n\r\n[Strings]\r\nZTA=\"ZT-Audio Software\"\r\n";
    if (EndsWith(name, ".xml"))
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<help product=\"Mixolyte\" page=\"" +
               std::to_string(index) + "\">\r\n  <topic>Getting started</topic>\r\n</help>\r\n";
    return "Mixolyte Kumbra - ZT-Audio Software\r\n\r\nThank you for installing Mixolyte, the virtual "
           "mixing console.\r\nRestart Windows after the installation.\r\n";
}

std::string BinaryContents(const std::string& name, int index) {
    std::uint32_t state = 0x9E3779B9u ^ static_cast<std::uint32_t>(index * 7919);
    std::size_t size = 2048 + static_cast<std::size_t>(index) * 517 % 30000;
    std::string bytes = EndsWith(name, ".png") ? "\x89PNG\r\n\x1a\n" : "MZ";
    while (bytes.size() < size) {
        state = state * 1664525u + 1013904223u;
        bytes.push_back(static_cast<char>(state >> 24));
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_payload DIR\n");
        return 2;
    }
    for (int i = 0; i < kPackageEntryCount; ++i) {
        std::string name = kPackageEntryNames[i];
        for (char& c : name)
            if (c == '\\') c = '/';
        fs::path target = fs::path(argv[1]) / name;
        fs::create_directories(target.parent_path());
        bool text = EndsWith(name, ".txt") || EndsWith(name, ".inf") || EndsWith(name, ".xml");
        std::string contents = text ? TextContents(name, i) : BinaryContents(name, i);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out << contents;
        if (!out) {
            std::fprintf(stderr, "gen_payload: cannot write %s\n", target.c_str());
            return 1;
        }
    }
    return 0;
}
