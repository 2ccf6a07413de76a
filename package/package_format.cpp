#include "package/package_format.h"

#include <cstring>

#include "base/path_chars.h"
#include "package/md5.h"
#include "package/scramble.h"

const char* const kPackageEntryNames[kPackageEntryCount] = {
    "ztmixolytevaio64_win10.cat", "ztmixolytevaio64_win10.inf", "ztmixolytevaio64_win10.sys",
    "ztmixolytevaio64arm_win10.sys", "ZTMixolyteDAZA_ControlPanel.exe", "ZTMixolyteDAZA_Setup_x64.exe",
    "ztaudio_mlvaio_win10.cat", "ztaudio_mlvaio_win10.sys", "ztaudio_mlvaio_vista.cat",
    "ztaudio_mlvaio_vista.sys", "ztaudio_mlvaio_win7.cat", "ztaudio_mlvaio_win7.sys",
    "ztaudio_mlvaio_2003.cat", "ztaudio_mlvaio_2003.sys", "ztaudio_mlvaio_xp.cat",
    "ztaudio_mlvaio_xp.sys", "ztaudio_mlvaio64_win10.cat", "ztaudio_mlvaio64_win10.sys",
    "ztaudio_mlvaio64_vista.cat", "ztaudio_mlvaio64_vista.sys", "ztaudio_mlvaio64_win7.cat",
    "ztaudio_mlvaio64_win7.sys", "ztaudio_mlvaio64_2003.cat", "ztaudio_mlvaio64_2003.sys",
    "ZTCABLE_ControlPanel.exe", "ZTCABLE_Setup.exe", "ZTCABLE_Setup_x64.exe",
    "ZTmlvaio_vista.inf", "ZTmlvaio_win10.inf", "ZTmlvaio_win7.inf", "ZTmlvaio_2003.inf",
    "ZTmlvaio_xp.inf", "ZTmlvaio64_vista.inf", "ZTmlvaio64_win7.inf", "ZTmlvaio64_2003.inf",
    "ZTmlvaio64_win10.inf", "mixolyte.exe", "mixolyte_x64.exe", "mixolytepro.exe",
    "mixolytepro_x64.exe", "ZTDeviceCheck.exe", "MLStreamerView.exe", "Mixolyte_Help.xml",
    "MixolyteKumbra_Help.xml", "ztml_asiodriver.dll", "ztml_asiodriver64.dll", "ztregsvr64.exe",
    "MixolyteRemote.dll", "MixolyteRemote64.dll", "MixolyteMacroButtons.exe", "ZTAN2MIDI.exe",
    "button_72x72.png", "MacroButton_72x72.png", "ZTAudioLogoBlack_72x72.png",
    "ZTAudioLogoWhite_72x72.png", "MixolyteLogo_72x72.png", "MixolyteBUSGEQ15.exe",
    "MixolyteBUSMatrix8.exe", "ztusbgpi_uart.inf", "ztusbgpi_uart_xp_vista.inf",
    "ztaudio_mlauxvaio_vista.cat", "ztaudio_mlauxvaio_vista.sys", "ztaudio_mlauxvaio_win7.cat",
    "ztaudio_mlauxvaio_win7.sys", "ztaudio_mlauxvaio_win10.cat", "ztaudio_mlauxvaio_win10.sys",
    "ztaudio_mlauxvaio_2003.cat", "ztaudio_mlauxvaio_2003.sys", "ztaudio_mlauxvaio_xp.cat",
    "ztaudio_mlauxvaio_xp.sys", "ztaudio_mlauxvaio64_2003.cat", "ztaudio_mlauxvaio64_2003.sys",
    "ztaudio_mlauxvaio64_vista.cat", "ztaudio_mlauxvaio64_vista.sys",
    "ztaudio_mlauxvaio64_win7.cat", "ztaudio_mlauxvaio64_win7.sys",
    "ztaudio_mlauxvaio64_win10.cat", "ztaudio_mlauxvaio64_win10.sys", "ZTMLAUX_ControlPanel.exe",
    "ZTMLAUX_Setup.exe", "ZTMLAUX_Setup_x64.exe", "ZTmlauxvaio_vista.inf", "ZTmlauxvaio_2003.inf",
    "ZTmlauxvaio_win7.inf", "ZTmlauxvaio_win10.inf", "ZTmlauxvaio_xp.inf",
    "ZTmlauxvaio64_vista.inf", "ZTmlauxvaio64_win7.inf", "ZTmlauxvaio64_2003.inf",
    "ZTmlauxvaio64_win10.inf", "readme.txt", "ztmlaux_asiodriver.dll", "ztmlaux_asiodriver64.dll",
    "ztmlins_asiodriver.dll", "ztmlins_asiodriver64.dll", "mp3lame\\lame_enc.dll",
    "mp3lame\\lame_enc64.dll", "mp3lame\\lame_License.txt",
};

std::uint32_t ReadLe32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void WriteLe32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void ReadDirectoryRecord(const std::uint8_t* bytes, DirectoryRecord* record) {
    std::memcpy(record->name, bytes + kRecordNameAt, kRecordNameSize);
    record->name[kRecordNameSize] = '\0';
    record->name_terminated = std::memchr(bytes + kRecordNameAt, 0, kRecordNameSize) != nullptr;
    record->offset = ReadLe32(bytes + kRecordOffsetAt);
    record->size = ReadLe32(bytes + kRecordSizeAt);
    std::memcpy(record->digest, bytes + kRecordDigestAt, kRecordDigestSize);
    record->tag = ReadLe32(bytes + kRecordTagAt);
    record->reserved = ReadLe32(bytes + kRecordReservedAt);
}

void WriteDirectoryRecord(const DirectoryRecord& record, std::uint8_t* bytes) {
    std::memset(bytes, 0, kDirectoryRecordSize);
    std::memcpy(bytes + kRecordNameAt, record.name, strnlen(record.name, kRecordNameSize - 1));
    WriteLe32(bytes + kRecordOffsetAt, record.offset);
    WriteLe32(bytes + kRecordSizeAt, record.size);
    std::memcpy(bytes + kRecordDigestAt, record.digest, kRecordDigestSize);
    WriteLe32(bytes + kRecordTagAt, record.tag);
    WriteLe32(bytes + kRecordReservedAt, record.reserved);
}

int EntryInsideResource(const DirectoryRecord& record, std::uint64_t resource_size) {
    return static_cast<std::uint64_t>(record.offset) + record.size <= resource_size;
}

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows drops trailing dots and blanks from a component, so "..", ". ."
// and "...." all lead out of the folder or nowhere.
bool IsDotsOnly(const char* begin, const char* end) {
    bool has_dot = false;
    for (const char* p = begin; p < end; ++p) {
        if (*p == '.') has_dot = true;
        else if (*p != ' ') return false;
    }
    return has_dot && end - begin >= 2;
}

}  // namespace

int IsSafeEntryName(const char* name) {
    if (name == nullptr || name[0] == '\0' || IsSeparator(name[0])) return 0;
    if (std::strchr(name, ':') != nullptr) return 0;
    const char* component = name;
    for (const char* p = name;; ++p) {
        if (*p == '\0' || IsSeparator(*p)) {
            if (IsDotsOnly(component, p) || IsDeviceName(component, static_cast<std::size_t>(p - component))) return 0;
            if (*p == '\0') break;
            component = p + 1;
        }
    }
    return 1;
}

std::string BuildPackage(const std::vector<std::vector<std::uint8_t>>& plain, std::uint32_t tag,
                         std::vector<std::uint8_t>* package) {
    package->clear();
    if (plain.size() != kPackageEntryCount) return "a package holds exactly 98 entries";
    std::uint64_t total = kPackageDirectorySize;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        total += plain[i].size();
        if (total > 0xFFFFFFFFull || plain[i].size() >= 0x80000000ull)
            return std::string("the package would pass 4 GiB at entry ") + kPackageEntryNames[i];
    }
    package->assign(total, 0);
    ChainState chain;
    ChainStart(&chain);
    std::uint32_t offset = kPackageDirectorySize;
    for (int i = 0; i < kPackageEntryCount; ++i) {
        DirectoryRecord record{};
        std::memcpy(record.name, kPackageEntryNames[i], std::strlen(kPackageEntryNames[i]));
        record.offset = offset;
        record.size = static_cast<std::uint32_t>(plain[i].size());
        record.tag = tag;
        std::uint8_t stored_digest[16];
        ScrambleEntry(&chain, plain[i].data(), package->data() + offset, record.size, record.digest,
                      stored_digest);
        ChainAdvance(&chain, stored_digest);
        WriteDirectoryRecord(record, package->data() + i * kDirectoryRecordSize);
        offset += record.size;
    }
    return "";
}
