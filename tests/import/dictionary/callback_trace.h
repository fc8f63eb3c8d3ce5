#pragma once

#include <cmath>
#include <cstdint>
#include <string>

// Callbacks that write what the command-file parsers report into a string
// (the context), one item per call, so a table can hold the exact trace.
inline std::string &traceOf(void *context)
{
    return *static_cast<std::string *>(context);
}

inline void traceItem(void *context, const std::string &item)
{
    std::string &t = traceOf(context);
    t += (t.empty() ? "" : " ") + item;
}

inline int traceVariable(const char *name, int32_t line, int32_t start, int32_t width, int32_t type,
                         int32_t decimals, void *context)
{
    traceItem(context, std::string(name) + "(" + std::to_string(line) + "," + std::to_string(start) + "," +
                           std::to_string(width) + "," + std::to_string(type) +
                           (decimals ? "," + std::to_string(decimals) : std::string()) + ")");
    return 0;
}

inline int traceVariableLabel(const char *name, const char *label, void *context)
{
    traceItem(context, std::string(name) + "=" + label);
    return 0;
}

inline std::string traceNumber(double v)
{
    if (std::isnan(v))
        return "NaN";
    return std::to_string(int64_t(v));
}

inline int traceValueLabel(const char *key, const void *value, int32_t type, const char *label, void *context)
{
    std::string v = type == 1 ? "'" + std::string(static_cast<const char *>(value)) + "'"
                              : traceNumber(*static_cast<const double *>(value));
    traceItem(context, "[" + std::string(key) + "," + v + "," + std::to_string(type) + "," + label + "]");
    return 0;
}

// Counts value labels in an int64_t context, for traces too long to write.
inline int countingLabel(const char *, const void *, int32_t, const char *, void *context)
{
    ++*static_cast<int64_t *>(context);
    return 0;
}

inline int traceInfileOption(int32_t option, int32_t value, void *context)
{
    traceItem(context, "opt(" + std::to_string(option) + "," + std::to_string(value) + ")");
    return 0;
}

inline int traceVariableFormat(const char *name, const char *format, void *context)
{
    traceItem(context, std::string(name) + ":" + format);
    return 0;
}

inline std::string traceBound(double v)
{
    if (std::isinf(v))
        return v < 0 ? "LO" : "HI";
    std::string text = std::to_string(v);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text;
}

inline int traceMissingValue(const char *name, int32_t type, const void *low, const void *high, void *context)
{
    std::string item = std::string(name) + "{";
    if (type == 1)
        item += "'" + std::string(static_cast<const char *>(low)) + "'";
    else if (type == 5) {
        const double lo = *static_cast<const double *>(low), hi = *static_cast<const double *>(high);
        item += traceBound(lo) + (lo == hi ? "" : ".." + traceBound(hi));
    }
    traceItem(context, item + "}");
    return 0;
}
