#include "import/dictionary/dct_parse.h"

#include "import/dictionary/ds_parse_cursor.h"

#include <cstring>

namespace {

struct dct_parse_s {
    ds_parse_cursor_s c;
    ds_stata_dct_s *dct;
    int32_t line;   // line of the observation for the next variables
    int32_t column; // where the next variable starts
};

bool is_file_byte(int b)
{
    return ds_is_letter(b) || ds_is_digit(b) || b == '-' || b == '.' || b == '/' || b == '\\' || b == '_';
}

// '*' through its line end; a line comment may end the text.
void line_comment(ds_parse_cursor_s *c)
{
    ds_parse_advance(c);
    for (int b; (b = ds_parse_peek(c)) >= 0 && !ds_parse_line_end(c);) {
        if (b == '\r')
            return; // ds_parse_line_end failed on it
        ds_parse_advance(c);
    }
}

// '(' blanks number blanks ')'.
bool argument(ds_parse_cursor_s *c, int32_t *n)
{
    ds_parse_expect(c, '(');
    ds_parse_blanks(c);
    ds_parse_digits(c, n);
    ds_parse_blanks(c);
    return ds_parse_expect(c, ')');
}

void directive(dct_parse_s *p)
{
    static const char *const words[] = {"_column", "_line", "_newline", "_lines", "_lrecl", "_firstlineoffile"};
    ds_parse_cursor_s *c = &p->c;
    int which = ds_parse_keyword(c, words, 6, true);
    int32_t n = 0;
    if (which == 2 && ds_parse_peek(c) != '(') {
        p->line++;
        return;
    }
    if (which < 0 || !argument(c, &n))
        return;
    switch (which) {
    case 0: p->column = n - 1; break;
    case 1: p->line = n - 1; break;
    case 2: p->line += n; break;
    case 3: p->dct->lines_per_obs = n; break;
    case 4: p->dct->record_length = n; break;
    case 5: p->dct->first_line = n; break;
    }
}

// '%' width (e|f|g|s|S | (','|'.') digits (e|f|g)).
void informat(ds_parse_cursor_s *c, ds_stata_dct_entry_s *entry)
{
    ds_parse_advance(c);
    ds_parse_digits(c, &entry->width);
    int b = ds_parse_peek(c);
    if (b == ',' || b == '.') {
        entry->decimal_char = char(b);
        ds_parse_advance(c);
        int32_t decimals;
        ds_parse_digits(c, &decimals);
        b = ds_parse_peek(c);
        if (b != 'e' && b != 'f' && b != 'g')
            ds_parse_fail(c);
    } else if (b != 'e' && b != 'f' && b != 'g' && b != 's' && b != 'S') {
        ds_parse_fail(c);
    }
    ds_parse_advance(c);
}

int type_code(const char *word)
{
    static const char *const types[] = {"byte", "", "int", "long", "float", "double"};
    for (int i = 0; i < 6; i++)
        if (types[i][0] && strcmp(word, types[i]) == 0)
            return i;
    if (strncmp(word, "str", 3) == 0 && word[3]) {
        for (const char *d = word + 3; *d; d++)
            if (!ds_is_digit(*d))
                return -1;
        return 1;
    }
    return -1;
}

// A name into `name` (empty when over 32 bytes); the cursor is on a letter.
void read_name(ds_parse_cursor_s *c, char *name)
{
    if (ds_parse_name(c, name, 32, true) > 32)
        name[0] = 0;
}

// [type] name [informat] [label] blanks line end; appends the entry.
void variable(dct_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    ds_stata_dct_entry_s entry = {};
    entry.type = 4;
    entry.decimal_char = '.';
    read_name(c, entry.name);
    if (ds_parse_blanks(c)) {
        int type = type_code(entry.name);
        if (type >= 0 && ds_is_letter(ds_parse_peek(c))) {
            entry.type = type;
            read_name(c, entry.name);
            if (!ds_parse_blanks(c) && ds_parse_peek(c) != '\r' && ds_parse_peek(c) != '\n')
                ds_parse_fail(c);
        }
    } else if (ds_parse_peek(c) != '\r' && ds_parse_peek(c) != '\n') {
        ds_parse_fail(c);
    }
    if (ds_parse_peek(c) == '%') {
        informat(c, &entry);
        if (!ds_parse_blanks(c) && ds_parse_peek(c) == '"')
            ds_parse_fail(c);
    }
    if (ds_parse_peek(c) == '"') {
        size_t n;
        ds_parse_quoted(c, '"', entry.label, 80, &n);
        if (n > 80)
            entry.label[0] = 0;
        ds_parse_blanks(c);
    }
    // The column after this variable must stay a 32-bit number.
    int64_t next = int64_t(p->column) + entry.width;
    if (next > INT32_MAX || next < INT32_MIN || !ds_parse_line_end(c)) {
        ds_parse_fail(c);
        return;
    }
    if (!ds_parse_ok(c))
        return;
    entry.line = p->line;
    entry.start = p->column;
    ds_stata_dct_entry_s *slot = dct_append_entry(p->dct);
    if (!ds_parse_go_on(c, slot ? 0 : 1))
        return;
    *slot = entry;
    p->column = int32_t(next);
}

// The items between '{' and '}'; true when the '}' was read.
bool body(dct_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    for (;;) {
        ds_parse_white(c);
        int b = ds_parse_peek(c);
        if (b == '}')
            return true;
        if (b == '*')
            line_comment(c);
        else if (b == '/')
            ds_parse_block_comment(c);
        else if (b == '_')
            directive(p);
        else if (ds_is_letter(b))
            variable(p);
        else
            return ds_parse_fail(c);
    }
}

// The file name after "using": quoted text or a file word.
void data_file(dct_parse_s *p)
{
    ds_parse_cursor_s *c = &p->c;
    char *name = p->dct->data_file;
    size_t n = 0;
    name[0] = 0;
    if (ds_parse_peek(c) == '"') {
        ds_parse_quoted(c, '"', name, 254, &n);
    } else {
        if (!is_file_byte(ds_parse_peek(c)))
            ds_parse_fail(c);
        while (is_file_byte(ds_parse_peek(c)))
            ds_parse_take(c, name, 254, &n);
    }
    if (n > 254)
        name[0] = 0;
}

void dictionary(dct_parse_s *p)
{
    static const char *const words[] = {"infile", "dictionary", "using"};
    ds_parse_cursor_s *c = &p->c;
    for (int b; (b = ds_parse_peek(c)) == '*' || b == '/';)
        b == '*' ? line_comment(c) : (void)ds_parse_block_comment(c);
    int which = ds_parse_keyword(c, words, 2, true);
    ds_parse_white1(c);
    if (which == 0) {
        if (ds_parse_keyword(c, words + 1, 1, true) < 0)
            return;
        ds_parse_white1(c);
    }
    if (ds_parse_peek(c) == 'u') {
        ds_parse_keyword(c, words + 2, 1, true);
        ds_parse_white1(c);
        data_file(p);
        ds_parse_white1(c);
    }
    ds_parse_expect(c, '{');
    body(p);
}

} // namespace

ds_stata_dct_s *dct_parse(const char *text, size_t length, unsigned *error_line)
{
    dct_parse_s p = {ds_parse_cursor(text, length), dct_dictionary_new(), 0, 0};
    if (!p.dct)
        return nullptr;
    dictionary(&p);
    if (ds_parse_ok(&p.c))
        return p.dct;
    ds_parse_report(&p.c, ".dct", error_line);
    dct_dictionary_free(p.dct);
    return nullptr;
}
