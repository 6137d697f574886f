#include "platform/ansi.h"

#include <cstdint>

namespace bv {
namespace {

// Unicode code points of code page 1252's bytes 0x80..0x9F (the rest equal Latin-1).
// Bytes that 1252 leaves undefined map to the C1 control of the same number, as Windows does.
const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const unsigned char k1252To850[128] = {
    0x3F, 0x3F, 0x3F, 0x9F, 0x3F, 0x2E, 0x3F, 0x3F, 0x3F, 0x3F, 0x53, 0x3F, 0x3F, 0x3F, 0x5A, 0x3F,
    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x20, 0x54, 0x73, 0x3F, 0x3F, 0x3F, 0x7A, 0x59,
    0xFF, 0xAD, 0xBD, 0x9C, 0xCF, 0xBE, 0xDD, 0xF5, 0xF9, 0xB8, 0xA6, 0xAE, 0xAA, 0xF0, 0xA9, 0xEE,
    0xF8, 0xF1, 0xFD, 0xFC, 0xEF, 0xE6, 0xF4, 0xFA, 0xF7, 0xFB, 0xA7, 0xAF, 0xAC, 0xAB, 0xF3, 0xA8,
    0xB7, 0xB5, 0xB6, 0xC7, 0x8E, 0x8F, 0x92, 0x80, 0xD4, 0x90, 0xD2, 0xD3, 0xDE, 0xD6, 0xD7, 0xD8,
    0xD1, 0xA5, 0xE3, 0xE0, 0xE2, 0xE5, 0x99, 0x9E, 0x9D, 0xEB, 0xE9, 0xEA, 0x9A, 0xED, 0xE8, 0xE1,
    0x85, 0xA0, 0x83, 0xC6, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,
    0xD0, 0xA4, 0x95, 0xA2, 0x93, 0xE4, 0x94, 0xF6, 0x9B, 0x97, 0xA3, 0x96, 0x81, 0xEC, 0xE7, 0x98,
};

const unsigned char k850To1252[128] = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xF8, 0xA3, 0xD8, 0xD7, 0x83,
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAE, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0xC1, 0xC2, 0xC0, 0xA9, 0x3F, 0x3F, 0x3F, 0x3F, 0xA2, 0xA5, 0x3F,
    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0xE3, 0xC3, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0xA4,
    0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0x3F, 0xCD, 0xCE, 0xCF, 0x3F, 0x3F, 0x3F, 0x3F, 0xA6, 0xCC, 0x3F,
    0xD3, 0xDF, 0xD4, 0xD2, 0xF5, 0xD5, 0xB5, 0xFE, 0xDE, 0xDA, 0xDB, 0xD9, 0xFD, 0xDD, 0xAF, 0xB4,
    0xAD, 0xB1, 0x20, 0xBE, 0xB6, 0xA7, 0xF7, 0xB8, 0xB0, 0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0x3F, 0xA0,
};

uint32_t CodePointOf(unsigned char c) {
    if (c >= 0x80 && c < 0xA0) return kCp1252High[c - 0x80];
    return c;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char AnsiOfCodePoint(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

char AnsiUpperChar(char ch) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char>(c - 32);
    switch (c) {
        case 0x9A: return static_cast<char>(0x8A);
        case 0x9C: return static_cast<char>(0x8C);
        case 0x9E: return static_cast<char>(0x8E);
        case 0xFF: return static_cast<char>(0x9F);
        default: return ch;
    }
}

char AnsiLowerChar(char ch) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char>(c + 32);
    switch (c) {
        case 0x8A: return static_cast<char>(0x9A);
        case 0x8C: return static_cast<char>(0x9C);
        case 0x8E: return static_cast<char>(0x9E);
        case 0x9F: return static_cast<char>(0xFF);
        default: return ch;
    }
}

std::string AnsiUpperCase(const std::string& text) {
    std::string out(text);
    for (char& c : out) c = AnsiUpperChar(c);
    return out;
}

std::string AnsiLowerCase(const std::string& text) {
    std::string out(text);
    for (char& c : out) c = AnsiLowerChar(c);
    return out;
}

int AnsiCompareText(const std::string& a, const std::string& b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(AnsiUpperChar(a[i]));
        auto cb = static_cast<unsigned char>(AnsiUpperChar(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}

std::string AnsiToUtf8(const std::string& ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
    return out;
}

std::u16string AnsiToUtf16(const std::string& ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (char c : ansi) out += static_cast<char16_t>(CodePointOf(static_cast<unsigned char>(c)));
    return out;
}

std::string Utf16ToAnsi(const std::u16string& wide) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            // A pair stands for one character beyond the basic plane: one '?'.
            if (unit <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) ++i;
            out += '?';
            continue;
        }
        out += AnsiOfCodePoint(unit);
    }
    return out;
}

std::string Utf8ToAnsi(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        auto c = static_cast<unsigned char>(utf8[i]);
        uint32_t cp;
        size_t len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
        else { out += '?'; ++i; continue; }
        if (i + len > utf8.size()) { out += '?'; break; }
        bool valid = true;
        for (size_t k = 1; k < len; ++k) {
            auto cc = static_cast<unsigned char>(utf8[i + k]);
            if ((cc & 0xC0) != 0x80) { valid = false; break; }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!valid) { out += '?'; ++i; continue; }
        out += AnsiOfCodePoint(cp);
        i += len;
    }
    return out;
}

std::string Cp1252ToCp850(const std::string& ansi) {
    std::string out(ansi);
    for (char& c : out) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) c = static_cast<char>(k1252To850[u - 0x80]);
    }
    return out;
}

std::string Cp850ToCp1252(const std::string& oem) {
    std::string out(oem);
    for (char& c : out) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) c = static_cast<char>(k850To1252[u - 0x80]);
    }
    return out;
}

}  // namespace bv
