#pragma once

// What the fuzz targets of the dictionary and command-file parsers share:
// callbacks that check every report and trap on a broken promise, a log
// catcher, and the checks of a finished record. A trap is the finding; the
// targets return 0 otherwise.

#include "import/dictionary/ds_command_file_callbacks.h"
#include "import/dictionary/ds_parse_cursor.h"
#include "import/dictionary/ds_stata_dct.h"

#include <QString>
#include <QtGlobal>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fuzz {

inline void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// A string the parsers hand out: NUL-terminated within its buffer (strlen
// reads every byte, which the address sanitizer checks).
inline void checkText(const char *text, size_t cap)
{
    check(text && std::strlen(text) <= cap);
}

// The log lines of one parse: how many, and whether each was a parser's
// syntax error.
struct Log {
    int lines = 0;
    int syntaxErrors = 0;
};

inline Log &log()
{
    static Log l;
    return l;
}

inline void catchLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    log().lines++;
    if (message.startsWith(QStringLiteral("Error parsing ")))
        log().syntaxErrors++;
}

// Installs the catcher once (the parsers' warnings would otherwise cost
// most of the time) and clears the count for the next parse.
inline void startParse()
{
    static const bool installed = [] {
        qInstallMessageHandler(catchLog);
        return true;
    }();
    (void)installed;
    log() = Log{};
}

// Checking callbacks; the context is a Checker. With `stopAt` above zero the
// callback of that number returns 1, and a call after it traps.
struct Checker {
    int64_t calls = 0;
    int64_t stopAt = 0;
    bool stopped = false;

    int answer()
    {
        check(!stopped);
        stopped = ++calls == stopAt;
        return stopped ? 1 : 0;
    }
};

inline Checker &checker(void *context)
{
    return *static_cast<Checker *>(context);
}

inline int onVariable(const char *name, int32_t, int32_t, int32_t, int32_t type, int32_t decimals, void *context)
{
    checkText(name, DS_PARSE_NAME);
    check(type == 1 || type == 5);
    check(decimals >= 0 && (type == 5 || decimals == 0));
    return checker(context).answer();
}

inline int onVariableLabel(const char *name, const char *label, void *context)
{
    checkText(name, DS_PARSE_NAME);
    checkText(label, DS_PARSE_LABEL);
    return checker(context).answer();
}

inline int onValueLabel(const char *key, const void *value, int32_t type, const char *label, void *context)
{
    checkText(key, DS_PARSE_NAME);
    checkText(label, DS_PARSE_LABEL);
    check(type == 1 || type == 5);
    if (type == 1) {
        checkText(static_cast<const char *>(value), DS_PARSE_NAME);
    } else {
        // Whole numbers of 32 bits, or the missing value.
        const double v = *static_cast<const double *>(value);
        check(std::isnan(v) || (v == std::floor(v) && std::fabs(v) <= 2147483648.0));
    }
    return checker(context).answer();
}

inline int onInfileOption(int32_t option, int32_t, void *context)
{
    check(option == 1 || option == 2);
    return checker(context).answer();
}

inline int onVariableFormat(const char *name, const char *format, void *context)
{
    checkText(name, DS_PARSE_NAME);
    checkText(format, DS_PARSE_NAME);
    return checker(context).answer();
}

// The line of a syntax error lies within the text: at most one more than
// its line feeds.
inline void checkErrorLine(const uint8_t *data, size_t size, unsigned line)
{
    size_t feeds = 0;
    for (size_t i = 0; i < size; i++)
        feeds += data[i] == '\n';
    check(line >= 1 && line <= feeds + 1);
}

// What a command-file parse must leave: 0 with nothing logged; after a stop
// asked by a callback, 1 with nothing logged and the error line untouched;
// otherwise 1 with one syntax error logged and its line within the text.
inline void checkOutcome(int result, bool stopped, const uint8_t *data, size_t size, unsigned line)
{
    if (result == 0) {
        check(!stopped && log().lines == 0 && line == 0);
    } else if (stopped) {
        check(result == 1 && log().lines == 0 && line == 0);
    } else {
        check(result == 1 && log().lines == 1 && log().syntaxErrors == 1);
        checkErrorLine(data, size, line);
    }
}

// A record's fields stay NUL-terminated within their arrays.
inline void checkRecord(const ds_stata_dct_s *dct)
{
    check(std::strlen(dct->data_file) < sizeof dct->data_file);
    check(dct->num_entries >= 0 && (dct->num_entries == 0 || dct->entries));
    for (int32_t i = 0; i < dct->num_entries; i++) {
        const ds_stata_dct_entry_s &e = dct->entries[i];
        check(strnlen(e.name, sizeof e.name) <= 32);
        check(strnlen(e.label, sizeof e.label) <= 80);
        check(e.type >= 0 && e.type <= 5);
        check(e.decimal_char == 0 || e.decimal_char == '.' || e.decimal_char == ',');
    }
}

} // namespace fuzz
