#include "import/dictionary/sas_parse.h"

#include "import/dictionary/ds_parse_cursor.h"

#include <climits>
#include <cstring>

namespace {


struct sas_parse_s {
    ds_parse_cursor_s c;
    void *context;
    ds_on_infile_option_fn on_infile_option;
    ds_on_variable_fn on_variable;
    ds_on_variable_label_fn on_variable_label;
    ds_on_value_label_fn on_value_label;
    ds_on_variable_format_fn on_variable_format;
    int32_t line;          // line of the observation for INPUT items
    char option[DS_PARSE_NAME + 1];
    char name[DS_PARSE_NAME + 1];  // variable name, lower case
    char format[DS_PARSE_NAME + 1];
    char text[DS_PARSE_NAME + 1];
    char label[DS_PARSE_LABEL + 1];
};

bool is_name_start(int b)
{
    return ds_is_letter(b) || b == '$';
}

bool is_name_byte(int b)
{
    return ds_is_letter(b) || ds_is_digit(b) || b == '_';
}

bool is_hex(int b)
{
    return ds_is_digit(b) || (b >= 'A' && b <= 'F') || (b >= 'a' && b <= 'f');
}

int hex_value(int b)
{
    return ds_is_digit(b) ? b - '0' : (b | 0x20) - 'a' + 10;
}

// A letter or '$', then letters, digits and '_': the first 31 bytes, case
// kept.
void name(ds_parse_cursor_s *c, char *buf)
{
    size_t n = 0;
    buf[0] = 0;
    if (!is_name_start(ds_parse_peek(c))) {
        ds_parse_fail(c);
        return;
    }
    do
        ds_parse_take(c, buf, DS_PARSE_NAME, &n);
    while (is_name_byte(ds_parse_peek(c)));
}

void variable_name(sas_parse_s *p)
{
    name(&p->c, p->name);
    for (char *b = p->name; *b; b++)
        if (*b >= 'A' && *b <= 'Z')
            *b = char(*b - 'A' + 'a');
}

bool keyword(ds_parse_cursor_s *c, const char *word)
{
    return ds_parse_keyword(c, &word, 1, false) == 0;
}

bool quoted(sas_parse_s *p, char *buf, size_t cap)
{
    return ds_parse_quoted_text(&p->c, buf, cap, nullptr);
}

void end(ds_parse_cursor_s *c)
{
    ds_parse_white(c);
    ds_parse_expect(c, ';');
}

bool same_letters(const char *a, const char *b)
{
    for (; *a && *b; a++, b++)
        if ((*a | 0x20) != (*b | 0x20))
            return false;
    return !*a && !*b;
}

void report_option(sas_parse_s *p, int32_t value)
{
    int option = same_letters(p->option, "firstobs") ? 1 : same_letters(p->option, "dlm") ? 2 : 0;
    if (option && ds_parse_ok(&p->c) && p->on_infile_option)
        ds_parse_go_on(&p->c, p->on_infile_option(option, value, p->context));
}

// Single-quoted text that may be a hex literal: true with `*value` when the
// text is one or more hex digits directly followed by a lower-case 'x'
// (taken), or a single byte (its value).
bool quoted_value(sas_parse_s *p, int32_t *value)
{
    ds_parse_cursor_s *c = &p->c;
    int q = ds_parse_peek(c);
    ds_parse_advance(c);
    int64_t hex = 0;
    size_t n = 0;
    bool all_hex = true;
    ds_parse_cursor_s overflow = {};
    unsigned char first = 0;
    for (int b; (b = ds_parse_peek(c)) != q; ds_parse_advance(c)) {
        if (b < 0) {
            ds_parse_fail(c);
            return false;
        }
        if (n++ == 0)
            first = (unsigned char)b;
        all_hex = all_hex && is_hex(b);
        if (all_hex && hex <= INT32_MAX) {
            hex = hex * 16 + hex_value(b);
            if (hex > INT32_MAX)
                overflow = *c;
        }
    }
    ds_parse_advance(c);
    if (q == '\'' && n > 0 && all_hex && ds_parse_peek(c) == 'x') {
        if (hex > INT32_MAX) {
            *c = overflow;
            ds_parse_fail(c);
            return false;
        }
        ds_parse_advance(c);
        *value = int32_t(hex);
        return true;
    }
    *value = first;
    return n == 1;
}

// name [white* "=" white* value]; returns the white space read after it.
size_t option(sas_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    name(c, p->option);
    size_t white = ds_parse_white(c);
    if (ds_parse_peek(c) != '=')
        return white;
    ds_parse_advance(c);
    ds_parse_white(c);
    int b = ds_parse_peek(c);
    int32_t value = 0;
    bool has_number = true;
    if (ds_is_digit(b)) {
        ds_parse_digits(c, &value);
    } else if (b == '\'' || b == '"') {
        has_number = quoted_value(p, &value);
    } else {
        has_number = false;
        if (b == '&')
            ds_parse_advance(c);
        name(c, p->text);
        if (ds_parse_peek(c) == '.')
            ds_parse_advance(c);
    }
    b = ds_parse_peek(c);
    if (!ds_is_blank(b) && b != '\n' && b != '\r' && b != ';' && b != ')' && b != DS_PARSE_END)
        ds_parse_fail(c);
    if (has_number)
        report_option(p, value);
    return ds_parse_white(c);
}

// option {white+ option}; returns the white space read after the last.
size_t option_list(sas_parse_s *p)
{
    size_t white;
    do
        white = option(p);
    while (white && is_name_start(ds_parse_peek(&p->c)));
    return white;
}

// "(" option list ")", the list touching both parentheses.
void parenthesised_options(sas_parse_s *p)
{
    ds_parse_advance(&p->c);
    if (option_list(p))
        ds_parse_fail(&p->c);
    ds_parse_expect(&p->c, ')');
}

void let(sas_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    name(c, p->text);
    ds_parse_white(c);
    ds_parse_expect(c, '=');
    ds_parse_white(c);
    int b = ds_parse_peek(c);
    if (b == '\'' || b == '"') {
        quoted(p, p->label, DS_PARSE_LABEL);
    } else {
        ds_parse_name(c, p->text, DS_PARSE_NAME, true);
    }
    end(c);
}

// A data-set name; after white space a '.' that comes before any letter
// past the first byte must be followed by a letter or end the name.
void data_set_name(sas_parse_s *p, bool after_white)
{
    ds_parse_cursor_s *c = &p->c;
    if (after_white && ds_parse_peek(c) == '&')
        ds_parse_advance(c);
    if (!is_name_start(ds_parse_peek(c))) {
        ds_parse_fail(c);
        return;
    }
    ds_parse_advance(c);
    for (bool letter = false;;) {
        int b = ds_parse_peek(c);
        if (b == '.') {
            ds_parse_advance(c);
            int next = ds_parse_peek(c);
            if (after_white && !letter && (ds_is_digit(next) || next == '_' || next == '.'))
                ds_parse_fail(c);
        } else if (is_name_byte(b)) {
            letter = letter || ds_is_letter(b);
            ds_parse_advance(c);
        } else {
            return;
        }
    }
}

// Data-set items up to the ';': names after white space, quoted text
// directly after anything, a name directly after "DATA" or quoted text.
void data(sas_parse_s *p)
{
    enum { START, NAME, QUOTE } after = START;
    ds_parse_cursor_s *c = &p->c;
    for (size_t white = ds_parse_white(c); ds_parse_ok(c); white = ds_parse_white(c)) {
        int b = ds_parse_peek(c);
        if (after != START && b == ';')
            break;
        if (white && (b == '&' || is_name_start(b))) {
            data_set_name(p, true);
            after = NAME;
        } else if (!white && (b == '\'' || b == '"')) {
            quoted(p, p->label, DS_PARSE_LABEL);
            after = QUOTE;
        } else if (!white && ds_is_letter(b) && after != NAME) {
            data_set_name(p, false);
            after = NAME;
        } else {
            ds_parse_fail(c);
        }
    }
    ds_parse_advance(c);
}

void filename(sas_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    for (int b; (b = ds_parse_peek(c)) != '\'' && b != '"' && ds_parse_ok(c);)
        if (!option(p))
            ds_parse_fail(c);
    quoted(p, p->label, DS_PARSE_LABEL);
    end(c);
}

void footnote(sas_parse_s *p)
{
    ds_parse_white1(&p->c);
    quoted(p, p->label, DS_PARSE_LABEL);
    end(&p->c);
}

void if_statement(sas_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    for (size_t elements = 0;; elements++) {
        int b = ds_parse_peek(c);
        int32_t n;
        if (b == ';' && elements > 0)
            break;
        if (ds_is_blank(b) || b == '(' || b == ')') {
            ds_parse_advance(c);
        } else if (b == '\n' || b == '\r') {
            ds_parse_line_end(c);
        } else if (ds_is_digit(b) || b == '-') {
            if (b == '-')
                ds_parse_advance(c);
            ds_parse_digits(c, &n);
        } else if (is_name_start(b)) {
            while (is_name_byte(b = ds_parse_peek(c)) || b == '$')
                ds_parse_advance(c);
        } else {
            ds_parse_fail(c);
            return;
        }
    }
    ds_parse_advance(c);
}

void infile(sas_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    size_t white = ds_parse_white(c);
    int b = ds_parse_peek(c);
    if ((b == '\'' || b == '"') && white) {
        quoted(p, p->label, DS_PARSE_LABEL);
        ds_parse_white(c);
    }
    if (is_name_start(ds_parse_peek(c)))
        option_list(p);
    end(c);
}

void libname(sas_parse_s *p)
{
    static const char *const words[] = {"CLEAR", "LIST", "_ALL_"};
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    name(c, p->text);
    ds_parse_white1(c);
    int b = ds_parse_peek(c);
    if (b == '\'' || b == '"') {
        quoted(p, p->label, DS_PARSE_LABEL);
        if (ds_parse_white(c) && is_name_start(ds_parse_peek(c)))
            option_list(p);
    } else if (ds_parse_keyword(c, words, 3, false) == 2) {
        ds_parse_white(c);
        ds_parse_keyword(c, words, 2, false);
    }
    end(c);
}

void missing(sas_parse_s *p)
{
    ds_parse_white1(&p->c);
    name(&p->c, p->text);
    end(&p->c);
}

void options(sas_parse_s *p)
{
    ds_parse_white1(&p->c);
    option_list(p);
    end(&p->c);
}

void run(sas_parse_s *p)
{
    end(&p->c);
}

// Reads the ';' and the byte after it, which a text must have after PROC
// FORMAT; white space and further ';' are passed over, VALUE statements
// read; any other statement is left to the top level.
void value(sas_parse_s *p);
void format_context(sas_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    if (ds_parse_peek(c) == DS_PARSE_END)
        ds_parse_fail(c);
    for (;;) {
        ds_parse_white(c);
        int b = ds_parse_peek(c);
        if (b == ';') {
            ds_parse_advance(c);
        } else if (b == 'V' || b == 'v') {
            keyword(c, "VALUE");
            value(p);
        } else {
            return;
        }
    }
}

void proc(sas_parse_s *p)
{
    static const char *const words[] = {"CONTENTS", "FORMAT", "PRINT"};
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    int which = ds_parse_keyword(c, words, 3, false);
    if (which == 1) {
        ds_parse_white(c);
        if (is_name_start(ds_parse_peek(c)))
            option_list(p);
        end(c);
        return format_context(p);
    }
    ds_parse_white1(c);
    size_t white = option_list(p);
    if (which == 2 && white && ds_parse_peek(c) == '(')
        parenthesised_options(p);
    end(c);
}

void report_variable(sas_parse_s *p, int32_t line, int32_t start, int64_t width, int32_t type)
{
    if (width > INT32_MAX)
        ds_parse_fail(&p->c);
    if (ds_parse_ok(&p->c) && p->on_variable)
        ds_parse_go_on(&p->c, p->on_variable(p->name, line, start, int32_t(width), type, 0, p->context));
}

// One INPUT item; returns the white space read after it.
size_t input_item(sas_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    int32_t a = 0, b = 0;
    int32_t type = 5;
    if (ds_parse_peek(c) == '#') {
        ds_parse_advance(c);
        ds_parse_digits(c, &a);
        p->line = a - 1;
        return 0;
    }
    if (ds_parse_peek(c) == '@') {
        ds_parse_advance(c);
        ds_parse_digits(c, &a);
        ds_parse_white1(c);
        variable_name(p);
        ds_parse_white1(c);
        if (ds_parse_peek(c) == '$') {
            type = 1;
            ds_parse_advance(c);
            ds_parse_white(c);
        }
        ds_parse_digits(c, &b);
        ds_parse_expect(c, '.');
        report_variable(p, p->line, a - 1, b, type);
        if (ds_is_digit(ds_parse_peek(c)))
            ds_parse_digits(c, &a);
        return 0;
    }
    // List input (a name, or a name and "$", without columns) reads fields
    // apart by blanks in the order of the statement, which the fixed-column
    // reader cannot do: taken as it stands it filled other variables'
    // columns. It fails at its name, so the error gives its line.
    const ds_parse_cursor_s at = *c;
    const auto listInput = [&](size_t white) {
        *c = at;
        ds_parse_fail(c);
        return white;
    };
    variable_name(p);
    size_t white = ds_parse_white(c);
    if (white && ds_parse_peek(c) == '$') {
        ds_parse_advance(c);
        white = ds_parse_white(c);
        if (!white || !ds_is_digit(ds_parse_peek(c)))
            return listInput(white);
        type = 1;
    }
    if (!white || !ds_is_digit(ds_parse_peek(c)))
        return listInput(white);
    ds_parse_digits(c, &a);
    ds_parse_expect(c, '-');
    ds_parse_digits(c, &b);
    report_variable(p, p->line, a - 1, int64_t(b) - a + 1, type);
    return 0;
}

// item {white+ item} white* ";", each item read by `item`, which returns
// the white space it read after itself.
void items(sas_parse_s *p, size_t (*item)(sas_parse_s *))
{
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    for (;;) {
        size_t white = item(p);
        white += ds_parse_white(c);
        if (ds_parse_peek(c) == ';' || !white || !ds_parse_ok(c))
            break;
    }
    ds_parse_expect(c, ';');
}

void input(sas_parse_s *p)
{
    p->line = 0;
    items(p, input_item);
}

// ["$" white*] digits, reported as a variable without a position.
void length_value(sas_parse_s *p)
{
    int32_t type = 5, n = 0;
    if (ds_parse_peek(&p->c) == '$') {
        type = 1;
        ds_parse_advance(&p->c);
        ds_parse_white(&p->c);
    }
    ds_parse_digits(&p->c, &n);
    report_variable(p, -1, -1, n, type);
}

size_t length_item(sas_parse_s *p)
{
    variable_name(p);
    ds_parse_white1(&p->c);
    length_value(p);
    return 0;
}

// white* "=" white* quoted text, reported as the variable's label.
void label_value(sas_parse_s *p)
{
    ds_parse_white(&p->c);
    ds_parse_expect(&p->c, '=');
    ds_parse_white(&p->c);
    quoted(p, p->label, DS_PARSE_LABEL);
    if (ds_parse_ok(&p->c) && p->on_variable_label)
        ds_parse_go_on(&p->c, p->on_variable_label(p->name, p->label, p->context));
}

size_t label_item(sas_parse_s *p)
{
    variable_name(p);
    label_value(p);
    return 0;
}

void attrib(sas_parse_s *p)
{
    static const char *const words[] = {"LABEL", "LENGTH"};
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    variable_name(p);
    ds_parse_white1(c);
    size_t white;
    do {
        if (ds_parse_keyword(c, words, 2, false) == 0) {
            label_value(p);
        } else {
            ds_parse_white(c);
            ds_parse_expect(c, '=');
            ds_parse_white(c);
            length_value(p);
        }
        white = ds_parse_white(c);
    } while (white && ds_parse_peek(c) != ';' && ds_parse_ok(c));
    ds_parse_expect(c, ';');
}

size_t format_item(sas_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    variable_name(p);
    ds_parse_white1(c);
    int32_t n;
    if (ds_is_digit(ds_parse_peek(c))) {
        ds_parse_digits(c, &n);
        ds_parse_expect(c, '.');
        if (ds_is_digit(ds_parse_peek(c)))
            ds_parse_digits(c, &n);
        return 0;
    }
    name(c, p->format);
    ds_parse_expect(c, '.');
    if (ds_is_digit(ds_parse_peek(c)))
        ds_parse_fail(c);
    if (ds_parse_ok(c) && p->on_variable_format)
        ds_parse_go_on(c, p->on_variable_format(p->name, p->format, p->context));
    return 0;
}

void format(sas_parse_s *p)
{
    items(p, format_item);
}

void label(sas_parse_s *p)
{
    items(p, label_item);
}

void length(sas_parse_s *p)
{
    items(p, length_item);
}

enum value_kind { TEXT, NUMBER, RANGE };

void report_value_label(sas_parse_s *p, value_kind kind, int32_t lo, int32_t hi)
{
    if (!ds_parse_ok(&p->c) || !p->on_value_label)
        return;
    if (kind == TEXT) {
        ds_parse_go_on(&p->c, p->on_value_label(p->format, p->text, 1, p->label, p->context));
        return;
    }
    for (int64_t v = lo; v <= (kind == RANGE ? hi : lo) && ds_parse_ok(&p->c); v++) {
        double d = double(v);
        ds_parse_go_on(&p->c, p->on_value_label(p->format, &d, 5, p->label, p->context));
    }
}

// value range white* "=" white* label.
size_t value_clause(sas_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    int b = ds_parse_peek(c);
    value_kind kind = NUMBER;
    int32_t lo = 0, hi = 0;
    if (b == '\'' || b == '"') {
        kind = TEXT;
        quoted(p, p->text, DS_PARSE_NAME);
    } else if (ds_is_letter(b)) {
        kind = TEXT;
        ds_parse_name(c, p->text, DS_PARSE_NAME, true);
    } else if (b == '-') {
        ds_parse_advance(c);
        ds_parse_digits(c, &lo);
        lo = -lo;
    } else {
        ds_parse_digits(c, &lo);
        if (ds_parse_white(c) && ds_parse_peek(c) == '-') {
            ds_parse_advance(c);
            ds_parse_white1(c);
            ds_parse_digits(c, &hi);
            kind = RANGE;
            ds_parse_range(c, lo, hi, 1);
        }
    }
    ds_parse_white(c);
    ds_parse_expect(c, '=');
    ds_parse_white(c);
    quoted(p, p->label, DS_PARSE_LABEL);
    report_value_label(p, kind, lo, hi);
    return 0;
}

void value(sas_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    ds_parse_white1(c);
    name(c, p->format);
    ds_parse_white1(c);
    if (ds_parse_peek(c) == '(') {
        parenthesised_options(p);
        ds_parse_white(c);
    }
    for (;;) {
        size_t white = value_clause(p) + ds_parse_white(c);
        if (ds_parse_peek(c) == ';' || !white || !ds_parse_ok(c))
            break;
    }
    ds_parse_expect(c, ';');
}

void statement(sas_parse_s *p)
{
    static const char *const words[] = {"%LET", "ATTRIB", "DATA", "FILENAME", "FOOTNOTE", "FORMAT", "IF",
                                        "INFILE", "INPUT", "LABEL", "LENGTH", "LIBNAME", "MISSING", "OPTIONS",
                                        "PROC", "RUN", "VALUE"};
    static void (*const handlers[])(sas_parse_s *) = {let,   attrib,  data,   filename, footnote, format,
                                                      if_statement, infile, input, label, length, libname,
                                                      missing, options, proc,   run,      value};
    ds_parse_cursor_s *c = &p->c;
    int b = ds_parse_peek(c);
    if (b == '*')
        return ds_parse_star_comment(c, ';');
    if (b == '/') {
        ds_parse_block_comment(c);
        return;
    }
    int which = ds_parse_keyword(c, words, 17, false);
    if (which >= 0)
        handlers[which](p);
}

} // namespace

int sas_parse(const char *text, size_t length, void *context, ds_on_infile_option_fn on_infile_option,
              ds_on_variable_fn on_variable, ds_on_variable_label_fn on_variable_label,
              ds_on_value_label_fn on_value_label, ds_on_variable_format_fn on_variable_format, unsigned *error_line)
{
    if (length == 0)
        return 0;
    sas_parse_s p = {};
    p.c = ds_parse_cursor(text, length);
    p.context = context;
    p.on_infile_option = on_infile_option;
    p.on_variable = on_variable;
    p.on_variable_label = on_variable_label;
    p.on_value_label = on_value_label;
    p.on_variable_format = on_variable_format;
    return ds_parse_statements(&p.c, [](void *q) { statement(static_cast<sas_parse_s *>(q)); }, &p, "SAS", error_line);
}
