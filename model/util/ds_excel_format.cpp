#include "model/util/ds_excel_format.h"

#include <cstring>
#include <strings.h>

namespace {

// Counts the characters of `counted` in the run of `counted` and "." that
// follows the first ".".
int decimalsAfterPoint(const char *code, const char *counted)
{
    if (!code)
        return -1;
    if (strcmp(code, "0") == 0)
        return 0;
    const char *point = strchr(code, '.');
    if (!point)
        return -1;
    int n = 0;
    for (const char *c = point + 1; *c && (*c == '.' || strchr(counted, *c)); ++c) {
        if (*c != '.')
            ++n;
    }
    return n;
}

bool contains(const char *code, const char *part)
{
    return code && strstr(code, part);
}

} // namespace

int ds_excel_format_zero_decimals(const char *code)
{
    return decimalsAfterPoint(code, "0");
}

int ds_excel_format_decimals(const char *code)
{
    return decimalsAfterPoint(code, "0#");
}

bool ds_excel_format_has_currency(const char *code) { return contains(code, "$"); }
bool ds_excel_format_has_percent(const char *code) { return contains(code, "%"); }
bool ds_excel_format_is_scientific(const char *code) { return contains(code, "E+"); }

bool ds_excel_format_is_duration(const char *code)
{
    if (!code)
        return false;
    if (code[0] == 'm' && contains(code, ":") && contains(code, "s") && !contains(code, "h"))
        return true;
    if (strcmp(code, "h:mm:ss") == 0)
        return true;
    return strncmp(code, "[h", 2) == 0 && contains(code, "]");
}

bool ds_excel_format_is_numeric(const char *code)
{
    if (!code || !*code || ds_excel_format_is_duration(code))
        return true;
    return strpbrk(code, "0#?") || strncasecmp(code, "General", 7) == 0;
}

QString ds_clean_sheet_name(const QString &name, const QString &fallback)
{
    QString clean;
    for (const QChar c : name) {
        if (!QStringView(u":\\/?*[]").contains(c))
            clean.append(c);
    }
    if (clean.isEmpty())
        return fallback;
    return clean.left(32);
}
