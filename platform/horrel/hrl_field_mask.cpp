#include "platform/horrel/hrl_field_mask.h"

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kFailed = 1;

// Whether s is well-formed UTF-8 (no overlong forms, no surrogates).
bool isUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = s[i];
        int extra = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char d = s[i + k];
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

bool startsWithNoCase(std::string_view s, size_t at, std::string_view word)
{
    if (s.size() - at < word.size())
        return false;
    for (size_t k = 0; k < word.size(); ++k)
        if (std::tolower((unsigned char)s[at + k]) != std::tolower((unsigned char)word[k]))
            return false;
    return true;
}

// Spreadsheet codes. Date letters are gathered per section first, since
// whether an "m" is a minute depends on its neighbours: after an hour or
// before a second it is one, otherwise a month.
int spreadsheetMask(std::string_view s, uint16_t *mask)
{
    std::vector<char> codes;  // 'y', 'm', 'd', 'h', 's', '.', ';'
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '"') {
            const size_t close = s.find('"', i + 1);
            if (close == std::string_view::npos)
                return kFailed;
            i = close + 1;
        } else if (c == '\\' || c == '_' || c == '*') {
            i += 2;
        } else if (c == '[') {
            const size_t close = s.find(']', i + 1);
            if (close == std::string_view::npos)
                return kFailed;
            // Elapsed time: [h], [mm], [ss]; colours, locales and conditions
            // show no field.
            const std::string_view inside = s.substr(i + 1, close - i - 1);
            const char first = char(std::tolower((unsigned char)(inside.empty() ? 0 : inside[0])));
            bool run = !inside.empty() && (first == 'h' || first == 'm' || first == 's');
            for (char k : inside)
                run = run && std::tolower((unsigned char)k) == first;
            if (run)
                codes.push_back(first == 'm' ? 'M' : first);  // 'M': a minute for sure
            i = close + 1;
        } else if (c == ';') {
            codes.push_back(';');
            ++i;
        } else if (startsWithNoCase(s, i, "general")) {
            i += 7;
        } else if (startsWithNoCase(s, i, "am/pm")) {
            *mask |= hrl_field_am_pm;
            i += 5;
        } else if (startsWithNoCase(s, i, "a/p")) {
            *mask |= hrl_field_am_pm;
            i += 3;
        } else if ((c == 'E' || c == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
            i += 2;  // scientific notation
        } else if ((c == 'B' || c == 'b') && i + 1 < s.size() && (s[i + 1] == '1' || s[i + 1] == '2')) {
            i += 2;  // calendar switch
        } else if (c == '.' && i + 1 < s.size() && s[i + 1] == '0') {
            codes.push_back('.');
            i += 2;
        } else {
            const char l = char(std::tolower((unsigned char)c));
            if (l == 'y' || l == 'e')
                codes.push_back('y');
            else if (l == 'd' || l == 'h' || l == 's' || l == 'm')
                codes.push_back(l);
            const size_t start = i;
            while (i < s.size() && s[i] == s[start])
                ++i;
        }
    }
    for (size_t k = 0; k < codes.size(); ++k) {
        const char c = codes[k];
        auto neighbour = [&](int direction) -> char {
            for (long j = long(k) + direction; j >= 0 && j < long(codes.size()); j += direction) {
                if (codes[j] == ';')
                    return 0;
                if (codes[j] != '.')
                    return codes[j];
            }
            return 0;
        };
        switch (c) {
        case 'y':
            *mask |= hrl_field_year;
            break;
        case 'd':
            *mask |= hrl_field_day;
            break;
        case 'h':
            *mask |= hrl_field_hour;
            break;
        case 's':
            *mask |= hrl_field_second;
            break;
        case 'M':
            *mask |= hrl_field_minute;
            break;
        case 'm': {
            const char before = neighbour(-1), after = neighbour(+1);
            *mask |= before == 'h' || after == 's' || before == 'M' ? hrl_field_minute : hrl_field_month;
            break;
        }
        case '.':
            if (k > 0 && codes[k - 1] == 's')
                *mask |= hrl_field_fraction;
            break;
        default:
            break;
        }
    }
    return 0;
}

struct Token
{
    const char *text;
    uint16_t fields;
};

// Stata's codes, longest first where one begins another.
const Token kStataTokens[] = {
    {"DAYNAME", hrl_field_day}, {"Dayname", hrl_field_day}, {"dayname", hrl_field_day},
    {"Month", hrl_field_month}, {"month", hrl_field_month}, {"Mon", hrl_field_month},
    {"mon", hrl_field_month},   {"Day", hrl_field_day},     {"day", hrl_field_day},
    {"Da", hrl_field_day},      {"da", hrl_field_day},      {"JJJ", hrl_field_day},
    {"jjj", hrl_field_day},     {"YY", hrl_field_year},     {"yy", hrl_field_year},
    {"NN", hrl_field_month},    {"nn", hrl_field_month},    {"DD", hrl_field_day},
    {"dd", hrl_field_day},      {"WW", hrl_field_week},     {"ww", hrl_field_week},
    {"HH", hrl_field_hour},     {"Hh", hrl_field_hour},     {"hH", hrl_field_hour},
    {"hh", hrl_field_hour},     {"MM", hrl_field_minute},   {"mm", hrl_field_minute},
    {"SS", hrl_field_second},   {"ss", hrl_field_second},   {".sss", hrl_field_fraction},
    {".ss", hrl_field_fraction}, {".s", hrl_field_fraction}, {"a.m.", hrl_field_am_pm},
    {"A.M.", hrl_field_am_pm},  {"p.m.", hrl_field_am_pm},  {"P.M.", hrl_field_am_pm},
    {"am", hrl_field_am_pm},    {"AM", hrl_field_am_pm},    {"pm", hrl_field_am_pm},
    {"PM", hrl_field_am_pm},    {"h", hrl_field_half_year}, {"q", hrl_field_quarter},
};

// The default display of each Stata time type.
const char *stataDefault(char type)
{
    switch (type) {
    case 'c':
    case 'C':
        return "DDmonCCYY_HH:MM:SS";
    case 'd':
    case 'b':
        return "DDmonCCYY";
    case 'w':
        return "CCYY!www";
    case 'm':
        return "CCYY!mNN";
    case 'q':
        return "CCYY!qq";
    case 'h':
        return "CCYY!hh";
    case 'y':
        return "CCYY";
    default:
        return nullptr;
    }
}

int stataMask(std::string_view s, uint16_t *mask)
{
    std::string owned;
    if (s.substr(0, 2) == "%t" || s.substr(0, 3) == "%-t") {
        const size_t letter = s[1] == '-' ? 3 : 2;
        if (letter >= s.size())
            return kFailed;
        const char *def = stataDefault(s[letter]);
        if (!def)
            return kFailed;
        if (s[letter] == 'b') {
            // A business calendar's name runs up to a colon or the end.
            const size_t colon = s.find(':', letter);
            s = colon == std::string_view::npos ? std::string_view() : s.substr(colon + 1);
        } else {
            s = s.substr(letter + 1);
        }
        if (s.empty())
            s = def;
    }
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '!') {
            i += 2;  // a literal character
            continue;
        }
        if (std::strchr("_.,:-/\\+ ", c) && !(c == '.' && i + 1 < s.size() && s[i + 1] == 's')) {
            ++i;
            continue;
        }
        if (s.compare(i, 2, "CC") == 0 || s.compare(i, 2, "cc") == 0) {
            // A century before its two-digit year is a four-digit year.
            const bool year = s.compare(i + 2, 2, "YY") == 0 || s.compare(i + 2, 2, "yy") == 0;
            *mask |= year ? hrl_field_year : hrl_field_century;
            i += year ? 4 : 2;
            continue;
        }
        bool matched = false;
        for (const Token &t : kStataTokens) {
            const size_t n = std::strlen(t.text);
            if (s.compare(i, n, t.text) == 0) {
                *mask |= t.fields;
                i += n;
                matched = true;
                break;
            }
        }
        if (!matched)
            return kFailed;
    }
    return 0;
}

uint16_t unicodeField(char c)
{
    switch (c) {
    case 'y': case 'Y': case 'u': case 'U': case 'r':
        return hrl_field_year;
    case 'Q': case 'q':
        return hrl_field_quarter;
    case 'M': case 'L':
        return hrl_field_month;
    case 'w': case 'W':
        return hrl_field_week;
    case 'd': case 'D': case 'F': case 'g': case 'E': case 'e': case 'c':
        return hrl_field_day;
    case 'a': case 'b': case 'B':
        return hrl_field_am_pm;
    case 'h': case 'H': case 'k': case 'K': case 'j': case 'J': case 'C':
        return hrl_field_hour;
    case 'm':
        return hrl_field_minute;
    case 's': case 'A':
        return hrl_field_second;
    case 'S':
        return hrl_field_fraction;
    default:
        return 0;
    }
}

// Letters that name a field showing no calendar unit (era, time zone).
bool isSilentUnicodeLetter(char c)
{
    return std::strchr("GzZOvVXx", c) != nullptr;
}

int unicodeMask(std::string_view s, uint16_t *mask)
{
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\'') {
            if (i + 1 < s.size() && s[i + 1] == '\'') {
                ++i;  // a quote character
                continue;
            }
            const size_t close = s.find('\'', i + 1);
            if (close == std::string_view::npos)
                return kFailed;
            i = close;
        } else if (std::isalpha((unsigned char)c)) {
            const uint16_t field = unicodeField(c);
            if (!field && !isSilentUnicodeLetter(c))
                return kFailed;
            *mask |= field;
        }
    }
    return 0;
}

} // namespace

int hrl_field_mask(const char *format, int dialect, uint16_t *mask)
{
    if (!mask)
        return kFailed;
    *mask = 0;
    if (!format || !isUtf8(format))
        return kFailed;
    int result = kFailed;
    switch (dialect) {
    case hrl_dialect_spreadsheet:
        result = spreadsheetMask(format, mask);
        break;
    case hrl_dialect_stata:
        result = stataMask(format, mask);
        break;
    case hrl_dialect_unicode:
        result = unicodeMask(format, mask);
        break;
    default:
        break;
    }
    if (result != 0)
        *mask = 0;
    return result;
}
