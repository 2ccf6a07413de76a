// The sim's ANSI code pages and their UTF-16: one conversion for the file
// system, the shell folders and the registry, and one upper-case table.
// Names are kept in the code page's bytes; a letter the code page cannot
// write (only the UTF-16 calls can give one) is kept as "\x02" and its unit
// in four hex digits, which the ANSI calls read as '?', as Windows gives.
// A double-byte character, for which the sim carries no table, stands as
// the code point 0x10000 + its two bytes (a surrogate pair in UTF-16): it
// has no case, and it goes back to the same bytes.
#include <cstdint>
#include <string>

#include "platform/sim/sim.h"

namespace {

constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int Page() { return Sim().system.ansi_code_page; }

// The unit of a byte above 0x7F of a single-byte code page.
char16_t SingleByteUnit(unsigned char byte) {
    if (Page() == 1254) {
        const unsigned char kAt[] = {0xD0, 0xDD, 0xDE, 0xF0, 0xFD, 0xFE};
        const char16_t kTurkish[] = {0x011E, 0x0130, 0x015E, 0x011F, 0x0131, 0x015F};
        for (int k = 0; k < 6; ++k)
            if (kAt[k] == byte) return kTurkish[k];
    }
    return byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
}

void PushCodePoint(std::u16string* out, std::uint32_t point) {
    if (point < 0x10000) {
        out->push_back(static_cast<char16_t>(point));
        return;
    }
    point -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The unit escaped at text[i] ("\x02" and four hex digits), or -1.
long EscapedUnit(const char* text, std::size_t length, std::size_t i) {
    if (text[i] != '\x02' || i + 4 >= length) return -1;
    long unit = 0;
    for (std::size_t k = 1; k <= 4; ++k) {
        int digit = HexValue(text[i + k]);
        if (digit < 0) return -1;
        unit = unit << 4 | digit;
    }
    return unit;
}

// The code page's bytes of one code point; false when it cannot write it.
bool BytesOf(std::uint32_t point, std::string* out) {
    if (point < 0x80) {
        out->push_back(static_cast<char>(point));
        return true;
    }
    if (Page() == 65001) {
        if (point < 0x800) {
            *out += {static_cast<char>(0xC0 | point >> 6), static_cast<char>(0x80 | (point & 0x3F))};
        } else if (point < 0x10000) {
            *out += {static_cast<char>(0xE0 | point >> 12), static_cast<char>(0x80 | ((point >> 6) & 0x3F)),
                     static_cast<char>(0x80 | (point & 0x3F))};
        } else {
            *out += {static_cast<char>(0xF0 | point >> 18), static_cast<char>(0x80 | ((point >> 12) & 0x3F)),
                     static_cast<char>(0x80 | ((point >> 6) & 0x3F)), static_cast<char>(0x80 | (point & 0x3F))};
        }
        return true;
    }
    if (point >= 0x10000 && point <= 0x1FFFF) {
        auto lead = static_cast<unsigned char>((point - 0x10000) >> 8);
        if (!SimIsLeadByte(lead)) return false;
        *out += {static_cast<char>(lead), static_cast<char>((point - 0x10000) & 0xFF)};
        return true;
    }
    bool double_byte = SimIsLeadByte(0x81);
    for (int byte = 0x80; byte < 0x100 && !double_byte; ++byte)
        if (SingleByteUnit(static_cast<unsigned char>(byte)) == point) {
            out->push_back(static_cast<char>(byte));
            return true;
        }
    return false;
}

}  // namespace

bool SimAnsiToWide(const char* text, std::size_t length, std::u16string* out) {
    for (std::size_t i = 0; i < length; ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        long escaped = EscapedUnit(text, length, i);
        if (escaped >= 0) {
            out->push_back(static_cast<char16_t>(escaped));
            i += 4;
        } else if (byte < 0x80) {
            out->push_back(byte);
        } else if (Page() == 65001) {
            int more = byte >= 0xF8 ? -1 : byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC2 ? 1 : -1;
            if (more < 0 || i + static_cast<std::size_t>(more) >= length) return false;
            std::uint32_t point = byte & (0x3F >> more);
            for (int k = 1; k <= more; ++k) {
                auto next = static_cast<unsigned char>(text[i + k]);
                if ((next & 0xC0) != 0x80) return false;
                point = point << 6 | (next & 0x3F);
            }
            PushCodePoint(out, point);
            i += static_cast<std::size_t>(more);
        } else if (SimIsLeadByte(byte)) {
            if (i + 1 >= length) return false;
            PushCodePoint(out, 0x10000u + (static_cast<std::uint32_t>(byte) << 8 | static_cast<unsigned char>(text[++i])));
        } else {
            out->push_back(SingleByteUnit(byte));
        }
    }
    return true;
}

std::u16string SimWideOf(const std::string& text) {
    std::u16string wide;
    if (!SimAnsiToWide(text.data(), text.size(), &wide)) wide.clear();
    return wide;
}

std::string SimKeptNameOf(std::u16string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string kept;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t point = text[i];
        bool pair = point >= 0xD800 && point < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                    text[i + 1] < 0xE000;
        if (pair) point = 0x10000 + ((point - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
        if (BytesOf(point, &kept)) {
            if (pair) ++i;
            continue;
        }
        kept += {'\x02', kHex[text[i] >> 12], kHex[(text[i] >> 8) & 15], kHex[(text[i] >> 4) & 15], kHex[text[i] & 15]};
    }
    return kept;
}

std::string SimAnsiViewOf(const std::string& kept) {
    std::string ansi;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (EscapedUnit(kept.data(), kept.size(), i) >= 0) {
            ansi += '?';
            i += 4;
        } else {
            ansi += kept[i];
        }
    }
    return ansi;
}

std::uint32_t SimUpperOf(std::uint32_t unit) {
    if (unit >= 'a' && unit <= 'z') return unit - 0x20;
    if (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7) return unit - 0x20;
    if (unit == 0xFF) return 0x0178;
    if (unit == 0x0131) return 'I';
    if (unit == 0x017F) return 'S';
    bool odd_is_lower = (unit >= 0x0100 && unit <= 0x0137) || (unit >= 0x014A && unit <= 0x0177);
    bool even_is_lower = (unit >= 0x0139 && unit <= 0x0148) || (unit >= 0x0179 && unit <= 0x017E);
    if ((odd_is_lower && unit % 2 == 1) || (even_is_lower && unit % 2 == 0)) return unit - 1;
    // Cyrillic: the basic letters and those above them.
    if (unit >= 0x0430 && unit <= 0x044F) return unit - 0x20;
    if (unit >= 0x0450 && unit <= 0x045F) return unit - 0x50;
    return unit;
}
