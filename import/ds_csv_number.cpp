#include "import/ds_csv_number.h"

#include "model/util/ds_parse.h"

#include <cmath>
#include <cstring>

namespace {

constexpr size_t k_maxLength = 200;

// The currency symbols dropped from a number, as UTF-8.
constexpr const char *k_currencies[] = {"$", "\xE2\x82\xAC", "\xC2\xA3", "\xC2\xA5"};

// The length of the currency symbol at text, or 0.
size_t currencyAt(const char *text)
{
    for (const char *symbol : k_currencies) {
        const size_t n = std::strlen(symbol);
        if (std::strncmp(text, symbol, n) == 0)
            return n;
    }
    return 0;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

double ds_parse_csv_number(const char *text, bool decimalComma)
{
    if (!text)
        return NAN;
    const size_t length = strnlen(text, k_maxLength);
    if (length >= k_maxLength)
        return NAN;
    char buffer[k_maxLength];
    size_t n = 0;
    for (size_t i = 0; i < length;) {
        if (const size_t symbol = currencyAt(text + i)) {
            i += symbol;
        } else if (text[i] == ',') {
            if (decimalComma)
                buffer[n++] = '.';
            ++i;
        } else if (text[i] == '.' && decimalComma) {
            ++i;
        } else {
            buffer[n++] = text[i++];
        }
    }
    buffer[n] = '\0';
    char *start = buffer;
    while (*start == ' ')
        ++start;
    // "-€ 12.50" leaves a space between the sign and the digits.
    if ((*start == '-' || *start == '+') && start[1] == ' ') {
        char *digits = start + 1;
        while (*digits == ' ')
            ++digits;
        *--digits = *start;
        start = digits;
    }
    while (n > 0 && buffer[n - 1] == ' ')
        buffer[--n] = '\0';
    // An accounting negative: the whole number in parentheses, unsigned.
    if (*start == '(' && n > 0 && buffer[n - 1] == ')') {
        buffer[n - 1] = '\0';
        ++start;
        if (*start == '-' || *start == '+' || *start == ' ')
            return NAN;
        const double x = ds_parse_number(start, nullptr);
        return std::isnan(x) ? x : -x;
    }
    return ds_parse_number(start, nullptr);
}

bool ds_csv_shows_currency(const char *text)
{
    for (; text && *text; ++text)
        if (currencyAt(text))
            return true;
    return false;
}

// Whether every "." before `end` groups thousands: a digit before it and
// exactly three digits after it.
bool dotsGroupThousands(const char *text, const char *end)
{
    for (const char *dot = std::strchr(text, '.'); dot && dot < end; dot = std::strchr(dot + 1, '.')) {
        if (dot == text || !isDigit(dot[-1]))
            return false;
        for (int k = 1; k <= 3; ++k)
            if (!isDigit(dot[k]))
                return false;
        if (dot + 4 != end && dot[4] != '.')
            return false;
    }
    return true;
}

DSDecimalCommaEvidence ds_decimal_comma_evidence(const char *text)
{
    const char *comma = std::strrchr(text, ',');
    const char *dot = std::strrchr(text, '.');
    // "1.234,50": dots group thousands before the decimal comma.
    if (dot && (!comma || dot > comma || !dotsGroupThousands(text, comma)))
        return DSDecimalCommaEvidence::Dot;
    if (!comma || comma == text || !isDigit(comma[-1]))
        return DSDecimalCommaEvidence::None;
    // Digits after the last comma: one to three, then nothing that is a digit.
    int digits = 0;
    while (isDigit(comma[1 + digits]))
        ++digits;
    if (digits < 1 || digits > 3 || std::strchr(text, ',') != comma)
        return DSDecimalCommaEvidence::None;
    return std::isnan(ds_parse_csv_number(text, true)) ? DSDecimalCommaEvidence::None
                                                        : DSDecimalCommaEvidence::Comma;
}
