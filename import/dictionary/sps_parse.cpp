#include "import/dictionary/sps_parse.h"

#include "import/dictionary/ds_parse_cursor.h"
#include "model/util/ds_parse.h"

#include <cmath>
#include <cstring>
#include <strings.h>

namespace {

constexpr size_t kGroup = 1024;

struct sps_parse_s {
    ds_parse_cursor_s c;
    void *context;
    ds_on_variable_fn on_variable;
    ds_on_variable_label_fn on_variable_label;
    ds_on_value_label_fn on_value_label;
    ds_on_missing_value_fn on_missing_value;
    int32_t record;
    char name[DS_PARSE_NAME + 1];
    char label[DS_PARSE_LABEL + 1];
    char value[DS_PARSE_NAME + 1];
    char group[kGroup][DS_PARSE_NAME + 1];
    size_t group_size;
};

void name(ds_parse_cursor_s *c, char *buf)
{
    ds_parse_name(c, buf, DS_PARSE_NAME, false);
}

bool quoted(ds_parse_cursor_s *c, char *buf, size_t cap)
{
    return ds_parse_quoted_text(c, buf, cap, nullptr);
}

bool keyword(ds_parse_cursor_s *c, const char *word)
{
    return ds_parse_keyword(c, &word, 1, false) == 0;
}

void end(ds_parse_cursor_s *c)
{
    ds_parse_white(c);
    ds_parse_expect(c, '.');
}

void comment(ds_parse_cursor_s *c)
{
    ds_parse_expect(c, ' ');
    for (int b; (b = ds_parse_peek(c)) != '.';) {
        if (b < 0) {
            ds_parse_fail(c);
            return;
        }
        ds_parse_advance(c);
    }
    ds_parse_advance(c);
}

void display(sps_parse_s *p)
{
    while (ds_parse_white(&p->c) && ds_is_letter(ds_parse_peek(&p->c)))
        name(&p->c, p->name);
    ds_parse_expect(&p->c, '.');
}

void words_then_end(ds_parse_cursor_s *c, const char *const *words, int n)
{
    for (int i = 0; i < n; i++) {
        ds_parse_white1(c);
        keyword(c, words[i]);
    }
    end(c);
}

// quoted text, digits or a name.
void setting_value(sps_parse_s *p)
{
    int b = ds_parse_peek(&p->c);
    int32_t n;
    if (ds_is_digit(b))
        ds_parse_digits(&p->c, &n);
    else if (ds_is_letter(b))
        name(&p->c, p->name);
    else
        quoted(&p->c, p->label, DS_PARSE_LABEL);
}

void file_handle(sps_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    keyword(c, "HANDLE");
    ds_parse_white1(c);
    name(c, p->name);
    ds_parse_white1(c);
    do {
        ds_parse_expect(c, '/');
        name(c, p->name);
        ds_parse_expect(c, '=');
        setting_value(p);
    } while (ds_parse_white(c) && ds_parse_peek(c) == '/');
    ds_parse_expect(c, '.');
}

void save(sps_parse_s *p)
{
    static const char *const words[] = {"OUTFILE", "DICTIONARY"};
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    ds_parse_keyword(c, words, 2, false);
    ds_parse_white(c);
    if (ds_parse_peek(c) == '=') {
        ds_parse_advance(c);
        ds_parse_white(c);
    }
    quoted(c, p->label, DS_PARSE_LABEL);
    end(c);
}

void select_if(sps_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    keyword(c, "IF");
    // One white-space byte separates; from there white space is an item.
    if (ds_is_blank(ds_parse_peek(c)))
        ds_parse_advance(c);
    else if (!ds_parse_line_end(c))
        ds_parse_fail(c);
    for (size_t items = 0;; items++) {
        int b = ds_parse_peek(c);
        int32_t n;
        if (b == '.' && items > 0)
            break;
        if (ds_is_blank(b) || b == '(' || b == ')')
            ds_parse_advance(c);
        else if (b == '\n' || b == '\r')
            ds_parse_line_end(c);
        else if (b == '-' || ds_is_digit(b)) {
            if (b == '-')
                ds_parse_advance(c);
            ds_parse_digits(c, &n);
        } else if (ds_is_letter(b))
            name(c, p->name);
        else if (b == '\'' || b == '"')
            quoted(c, p->label, DS_PARSE_LABEL);
        else {
            ds_parse_fail(c);
            return;
        }
    }
    ds_parse_advance(c);
}

void set(sps_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    name(c, p->name);
    ds_parse_white(c);
    ds_parse_expect(c, '=');
    ds_parse_white(c);
    setting_value(p);
    end(c);
}

// digits ["-" digits] into start and width; a width past 32 bits fails.
void columns(ds_parse_cursor_s *c, int32_t *start, int32_t *width)
{
    int32_t first = 0, last;
    ds_parse_digits(c, &first);
    last = first;
    if (ds_parse_peek(c) == '-') {
        ds_parse_advance(c);
        ds_parse_digits(c, &last);
    }
    int64_t w = int64_t(last) - first + 1;
    if (w > INT32_MAX)
        ds_parse_fail(c);
    *start = first - 1;
    *width = int32_t(w);
}

// "(" digits ")" | "(" ("A" | "a") [digits] ")"; returns the type, and
// sets *decimals to a number's digits (its implied decimal places).
int32_t format(ds_parse_cursor_s *c, int32_t *decimals)
{
    int32_t type = 5, n = 0;
    ds_parse_advance(c);
    int b = ds_parse_peek(c);
    if (b == 'A' || b == 'a') {
        type = 1;
        ds_parse_advance(c);
        if (ds_is_digit(ds_parse_peek(c)))
            ds_parse_digits(c, &n);
    } else {
        ds_parse_digits(c, &n);
        *decimals = n;
    }
    ds_parse_expect(c, ')');
    return type;
}

// "/" [digits] white+ variable variable {white+ variable}; reports each
// variable when what follows it is read.
void record(sps_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    ds_parse_advance(c);
    if (ds_is_digit(ds_parse_peek(c))) {
        int32_t n = 0;
        ds_parse_digits(c, &n);
        p->record = n - 1;
    }
    ds_parse_white1(c);
    for (int count = 1; ds_parse_ok(c); count++) {
        int32_t start = 0, width = 0, type = 5, decimals = 0;
        name(c, p->name);
        ds_parse_white1(c);
        columns(c, &start, &width);
        size_t white = ds_parse_white(c);
        if (ds_parse_peek(c) == '(') {
            if (!white)
                ds_parse_fail(c);
            type = format(c, &decimals);
            white = ds_parse_white(c);
        }
        int b = ds_parse_peek(c);
        if (ds_is_letter(b) ? !white : (b != '/' && b != '.') || count < 2)
            ds_parse_fail(c);
        if (ds_parse_ok(c) && p->on_variable)
            ds_parse_go_on(c, p->on_variable(p->name, p->record, start, width, type, decimals, p->context));
        if (!ds_is_letter(b))
            return;
    }
}

void data_list(sps_parse_s *p)
{
    static const char *const options[] = {"FIXED", "TABLE", "FILE", "RECORD"};
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    keyword(c, "LIST");
    ds_parse_white1(c);
    do {
        int which = ds_parse_keyword(c, options, 4, false);
        if (which >= 2) {
            ds_parse_white(c);
            ds_parse_expect(c, '=');
            ds_parse_white(c);
            int32_t n;
            if (which == 3)
                ds_parse_digits(c, &n);
            else if (ds_is_letter(ds_parse_peek(c)))
                name(c, p->name);
            else
                quoted(c, p->label, DS_PARSE_LABEL);
        }
    } while (ds_parse_white(c) && ds_is_letter(ds_parse_peek(c)));
    if (ds_parse_peek(c) != '/')
        ds_parse_fail(c);
    while (ds_parse_peek(c) == '/')
        record(p);
    ds_parse_expect(c, '.');
}

void variable_labels(sps_parse_s *p)
{
    static const char *const words[] = {"LABEL", "LABELS"};
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    ds_parse_keyword(c, words, 2, false);
    ds_parse_white1(c);
    do {
        name(c, p->name);
        ds_parse_white1(c);
        quoted(c, p->label, DS_PARSE_LABEL);
        if (ds_parse_ok(c) && p->on_variable_label)
            ds_parse_go_on(c, p->on_variable_label(p->name, p->label, p->context));
    } while (ds_parse_white(c) && ds_is_letter(ds_parse_peek(c)));
    ds_parse_expect(c, '.');
}

enum value_kind { NUMBER, TEXT, MISSING, RANGE };

struct value_s {
    value_kind kind;
    int32_t lo, hi;
};

// A value of a VALUE LABELS group, and the white space after it.
value_s value(sps_parse_s *p, bool first)
{
    ds_parse_cursor_s *c = &p->c;
    value_s v = {NUMBER, 0, 0};
    int b = ds_parse_peek(c);
    if (b == '\'' || b == '"') {
        v.kind = TEXT;
        quoted(c, p->value, DS_PARSE_NAME);
    } else if (b == '.' && first) {
        v.kind = MISSING;
        ds_parse_advance(c);
    } else if (b == '-') {
        ds_parse_advance(c);
        ds_parse_digits(c, &v.lo);
        v.lo = -v.lo;
    } else {
        ds_parse_digits(c, &v.lo);
        size_t white = ds_parse_white(c);
        if (ds_parse_peek(c) != '-' || !white) {
            if (!white)
                ds_parse_fail(c);
            return v;
        }
        ds_parse_advance(c);
        ds_parse_white1(c);
        ds_parse_digits(c, &v.hi);
        v.kind = RANGE;
        ds_parse_range(c, v.lo, v.hi, p->group_size);
    }
    ds_parse_white1(c);
    return v;
}

void report_value(sps_parse_s *p, const value_s &v)
{
    ds_parse_cursor_s *c = &p->c;
    if (!p->on_value_label)
        return;
    for (size_t i = 0; i < p->group_size && ds_parse_ok(c); i++) {
        if (v.kind == MISSING) {
            double missing = NAN;
            ds_parse_go_on(c, p->on_value_label(p->group[i], &missing, 5, p->label, p->context));
        } else if (v.kind == TEXT) {
            ds_parse_go_on(c, p->on_value_label(p->group[i], p->value, 1, p->label, p->context));
        } else {
            int32_t hi = v.kind == RANGE ? v.hi : v.lo;
            for (int64_t x = v.lo; x <= hi && ds_parse_ok(c); x++) {
                double d = double(x);
                ds_parse_go_on(c, p->on_value_label(p->group[i], &d, 5, p->label, p->context));
            }
        }
    }
}

// name {white+ name} white+ first value white+ label {white+ value white+
// label}; returns at the byte after the last label's white space.
size_t group(sps_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    p->group_size = 0;
    do {
        name(c, p->name);
        if (p->group_size < kGroup)
            memcpy(p->group[p->group_size++], p->name, DS_PARSE_NAME + 1);
    } while (ds_parse_white1(c) && ds_is_letter(ds_parse_peek(c)));
    for (bool first = true;; first = false) {
        value_s v = value(p, first);
        quoted(c, p->label, DS_PARSE_LABEL);
        report_value(p, v);
        size_t white = ds_parse_white(c);
        int b = ds_parse_peek(c);
        if (b != '\'' && b != '"' && b != '-' && !ds_is_digit(b))
            return white;
        if (!white)
            ds_parse_fail(c);
        if (!ds_parse_ok(c))
            return 0;
    }
}

void value_labels(sps_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    keyword(c, "LABELS");
    ds_parse_white1(c);
    if (ds_parse_peek(c) == '/') {
        ds_parse_advance(c);
        ds_parse_white(c);
    }
    while (ds_parse_ok(c)) {
        size_t white = group(p);
        if (ds_parse_peek(c) != '/')
            break;
        ds_parse_advance(c);
        ds_parse_white(c);
        if (ds_parse_peek(c) == '.')
            break;
        if (!white)
            ds_parse_fail(c);
    }
    ds_parse_expect(c, '.');
}

// ["-"] digits ["." digits] | ["-"] "." digits, read as a double.
double number(ds_parse_cursor_s *c)
{
    char text[64];
    size_t length = 0;
    if (ds_parse_peek(c) == '-')
        ds_parse_take(c, text, sizeof text - 1, &length);
    size_t digits = 0;
    for (bool point = false;; ) {
        int b = ds_parse_peek(c);
        if (b == '.' && !point && ds_is_digit(c->pos + 1 < c->length ? c->text[c->pos + 1] : -1))
            point = true;
        else if (!ds_is_digit(b))
            break;
        else
            digits++;
        ds_parse_take(c, text, sizeof text - 1, &length);
    }
    if (!digits || length >= sizeof text - 1) {
        ds_parse_fail(c);
        return NAN;
    }
    return ds_parse_number(text, nullptr);
}

// A bound of a range: a number, or the open end named by one of `words`
// ("LO", "LOWEST" or "HI", "HIGHEST"), which gives `open`.
double bound(ds_parse_cursor_s *c, const char *const *words, double open)
{
    if (!ds_is_letter(ds_parse_peek(c)))
        return number(c);
    ds_parse_keyword(c, words, 2, false);
    return open;
}

// One item of a MISSING VALUES list: quoted text, a number, or a range
// "a THRU b" whose ends may be open ("LO THRU b", "a THRU HI"); reported
// for every variable of the list.
void missing_item(sps_parse_s *p)
{
    static const char *const low[] = {"LO", "LOWEST"};
    static const char *const high[] = {"HI", "HIGHEST"};
    ds_parse_cursor_s *c = &p->c;
    int32_t type = 5;
    double lo = 0, hi = 0;
    int b = ds_parse_peek(c);
    if (b == '\'' || b == '"') {
        type = 1;
        quoted(c, p->value, DS_PARSE_NAME);
    } else {
        lo = hi = bound(c, low, -INFINITY);
        const ds_parse_cursor_s mark = *c;
        const size_t white = ds_parse_white(c);
        if (white && ds_is_letter(ds_parse_peek(c))) {
            keyword(c, "THRU");
            ds_parse_white1(c);
            hi = bound(c, high, INFINITY);
        } else {
            *c = mark;
            if (std::isinf(lo))
                ds_parse_fail(c);
        }
    }
    for (size_t i = 0; i < p->group_size && ds_parse_ok(c) && p->on_missing_value; i++)
        ds_parse_go_on(c, p->on_missing_value(p->group[i], type, type == 1 ? (const void *)p->value : &lo,
                                              type == 1 ? nullptr : &hi, p->context));
}

// name {white+ name} white* "(" white* [item {white* ["," white*] item}]
// white* ")". The reserved words ALL and TO name no variable and fail.
void missing_group(sps_parse_s *p)
{
    static const char *const reserved[] = {"ALL", "TO"};
    ds_parse_cursor_s *c = &p->c;
    p->group_size = 0;
    do {
        const ds_parse_cursor_s start = *c;
        name(c, p->name);
        for (const char *word : reserved)
            if (strcasecmp(p->name, word) == 0) {
                *c = start;
                ds_parse_fail(c);
                return;
            }
        if (p->group_size < kGroup)
            memcpy(p->group[p->group_size++], p->name, DS_PARSE_NAME + 1);
        ds_parse_white(c);
    } while (ds_parse_ok(c) && ds_is_letter(ds_parse_peek(c)));
    ds_parse_expect(c, '(');
    ds_parse_white(c);
    if (ds_parse_peek(c) == ')') {
        for (size_t i = 0; i < p->group_size && ds_parse_ok(c) && p->on_missing_value; i++)
            ds_parse_go_on(c, p->on_missing_value(p->group[i], 0, nullptr, nullptr, p->context));
    }
    while (ds_parse_ok(c) && ds_parse_peek(c) != ')') {
        missing_item(p);
        ds_parse_white(c);
        if (ds_parse_peek(c) == ',') {
            ds_parse_advance(c);
            ds_parse_white(c);
        }
    }
    ds_parse_expect(c, ')');
}

// "MISSING" white+ "VALUES" white+ group {white* ["/" white*] group} white* ".".
void missing_values(sps_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    keyword(c, "VALUES");
    ds_parse_white1(c);
    while (ds_parse_ok(c)) {
        missing_group(p);
        ds_parse_white(c);
        if (ds_parse_peek(c) == '/') {
            ds_parse_advance(c);
            ds_parse_white(c);
        }
        if (ds_parse_peek(c) == '.')
            break;
    }
    ds_parse_expect(c, '.');
}

void statement(sps_parse_s *p)
{
    static const char *const words[] = {"DATA", "DISPLAY", "END",    "EXECUTE", "FILE",     "INPUT",   "LIST",
                                        "SAVE", "SELECT",  "SET",    "VALUE",   "VARIABLE", "MISSING"};
    static const char *const end_words[] = {"INPUT", "PROGRAM"};
    ds_parse_cursor_s *c = &p->c;
    int b = ds_parse_peek(c);
    if (b == '*')
        return ds_parse_star_comment(c, '.');
    if (b == '/') {
        ds_parse_block_comment(c);
        return;
    }
    if (b == 'C') {
        keyword(c, "COMMENT");
        return comment(c);
    }
    switch (ds_parse_keyword(c, words, 13, false)) {
    case 0: return data_list(p);
    case 1: return display(p);
    case 2: return words_then_end(c, end_words, 2);
    case 3: case 6: return end(c);
    case 4: return file_handle(p);
    case 5: return words_then_end(c, end_words + 1, 1);
    case 7: return save(p);
    case 8: return select_if(p);
    case 9: return set(p);
    case 10: return value_labels(p);
    case 11: return variable_labels(p);
    case 12: return missing_values(p);
    }
}

int parse(const char *text, size_t length, sps_parse_s *p, unsigned *error_line)
{
    if (length == 0)
        return 0;
    p->c = ds_parse_cursor(text, length);
    return ds_parse_statements(&p->c, [](void *q) { statement(static_cast<sps_parse_s *>(q)); }, p, "SPSS",
                               error_line);
}

} // namespace

int sps_parse(const char *text, size_t length, void *context, ds_on_variable_fn on_variable,
              ds_on_variable_label_fn on_variable_label, ds_on_value_label_fn on_value_label, unsigned *error_line)
{
    sps_parse_s p = {};
    p.context = context;
    p.on_variable = on_variable;
    p.on_variable_label = on_variable_label;
    p.on_value_label = on_value_label;
    return parse(text, length, &p, error_line);
}

int sps_parse_missing_values(const char *text, size_t length, void *context, ds_on_missing_value_fn on_missing_value,
                             unsigned *error_line)
{
    sps_parse_s p = {};
    p.context = context;
    p.on_missing_value = on_missing_value;
    return parse(text, length, &p, error_line);
}
