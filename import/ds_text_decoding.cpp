#include "import/ds_text_decoding.h"

#include <cstdint>

namespace {

// Windows-1252's code points for the bytes 80 to FF; 0 where it has none.
// A0 to FF are Latin-1's.
constexpr char16_t k_cp1252High[128] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,
    0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0,      0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9,
    0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5,
    0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, 0x00D0, 0x00D1, 0x00D2, 0x00D3,
    0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF, 0x00E0, 0x00E1,
    0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD,
    0x00FE, 0x00FF};

void appendUtf8(std::string *out, char16_t c)
{
    if (c < 0x800) {
        out->push_back(char(0xC0 | (c >> 6)));
    } else {
        out->push_back(char(0xE0 | (c >> 12)));
        out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
    }
    out->push_back(char(0x80 | (c & 0x3F)));
}

} // namespace

bool ds_is_valid_utf8(const char *bytes, size_t length)
{
    const auto *s = reinterpret_cast<const uint8_t *>(bytes);
    size_t i = 0;
    while (i < length) {
        const uint8_t c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t n;
        uint32_t min;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0)
            n = 1, min = 0x80, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0)
            n = 2, min = 0x800, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0)
            n = 3, min = 0x10000, cp = c & 0x07;
        else
            return false;
        if (length - i <= n)
            return false;
        for (size_t k = 1; k <= n; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

bool ds_decode_text(const char *bytes, size_t length, std::string *utf8)
{
    utf8->clear();
    if (ds_is_valid_utf8(bytes, length)) {
        utf8->assign(bytes, length);
        return true;
    }
    utf8->reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        const auto c = uint8_t(bytes[i]);
        if (c < 0x80) {
            utf8->push_back(char(c));
            continue;
        }
        const char16_t u = k_cp1252High[c - 0x80];
        if (u == 0) {
            utf8->clear();
            return false;
        }
        appendUtf8(utf8, u);
    }
    return true;
}
