#include "import/dictionary/ds_parse_cursor.h"

#include <QtGlobal>
#include <climits>

ds_parse_cursor_s ds_parse_cursor(const char *text, size_t length)
{
    return {reinterpret_cast<const unsigned char *>(text), length, 0, 0, 0, false, false, 0};
}

void ds_parse_advance(ds_parse_cursor_s *c)
{
    if (c->failed || c->pos >= c->length)
        return;
    if (c->text[c->pos++] == '\n') {
        c->line++;
        c->line_start = c->pos;
    }
}

bool ds_parse_fail(ds_parse_cursor_s *c)
{
    c->failed = true;
    return false;
}

bool ds_parse_go_on(ds_parse_cursor_s *c, int result)
{
    if (result == 0)
        return !c->failed;
    c->stopped = true;
    return ds_parse_fail(c);
}

bool ds_parse_range(ds_parse_cursor_s *c, int32_t lo, int32_t hi, size_t names)
{
    const int64_t values = hi < lo ? 0 : int64_t(hi) - lo + 1;
    if (values > DS_PARSE_MAX_RANGE)
        return ds_parse_fail(c);
    // names <= the SPSS group's 1024, so the product stays far inside 64 bits.
    c->range_labels += values * int64_t(names);
    if (c->range_labels > DS_PARSE_MAX_RANGE_LABELS)
        return ds_parse_fail(c);
    return true;
}

bool ds_parse_expect(ds_parse_cursor_s *c, int byte)
{
    if (ds_parse_peek(c) != byte)
        return ds_parse_fail(c);
    ds_parse_advance(c);
    return true;
}

bool ds_parse_line_end(ds_parse_cursor_s *c)
{
    int b = ds_parse_peek(c);
    if (b == '\r') {
        ds_parse_advance(c);
        return ds_parse_expect(c, '\n');
    }
    if (b != '\n')
        return false;
    ds_parse_advance(c);
    return true;
}

size_t ds_parse_blanks(ds_parse_cursor_s *c)
{
    size_t n = 0;
    for (; ds_is_blank(ds_parse_peek(c)); n++)
        ds_parse_advance(c);
    return n;
}

size_t ds_parse_white(ds_parse_cursor_s *c)
{
    size_t before = c->pos;
    while (ds_parse_blanks(c) || ds_parse_line_end(c)) {
    }
    return c->pos - before;
}

bool ds_parse_white1(ds_parse_cursor_s *c)
{
    return ds_parse_white(c) ? ds_parse_ok(c) : ds_parse_fail(c);
}

bool ds_parse_digits(ds_parse_cursor_s *c, int32_t *value)
{
    if (!ds_is_digit(ds_parse_peek(c)))
        return ds_parse_fail(c);
    int32_t v = 0;
    for (int b; ds_is_digit(b = ds_parse_peek(c)); ds_parse_advance(c)) {
        int d = b - '0';
        if (v > (INT32_MAX - d) / 10)
            return ds_parse_fail(c);
        v = v * 10 + d;
    }
    *value = v;
    return true;
}

static int fold(int b, bool exact)
{
    return !exact && b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b;
}

int ds_parse_keyword(ds_parse_cursor_s *c, const char *const *words, int n, bool exact)
{
    // A word stays a candidate while every byte so far matched it; the
    // cursor moves only over bytes that continue some candidate.
    unsigned alive = (1u << n) - 1;
    for (size_t k = 0;; k++) {
        int b = fold(ds_parse_peek(c), exact);
        unsigned next = 0;
        for (int i = 0; i < n; i++)
            if ((alive >> i & 1) && words[i][k] && fold((unsigned char)words[i][k], exact) == b)
                next |= 1u << i;
        if (!next) {
            for (int i = 0; i < n; i++)
                if ((alive >> i & 1) && !words[i][k])
                    return i;
            ds_parse_fail(c);
            return -1;
        }
        alive = next;
        ds_parse_advance(c);
    }
}

void ds_parse_take(ds_parse_cursor_s *c, char *buf, size_t cap, size_t *length)
{
    if (*length < cap) {
        buf[*length] = char(c->text[c->pos]);
        buf[*length + 1] = 0;
    }
    ++*length;
    ds_parse_advance(c);
}

bool ds_parse_quoted(ds_parse_cursor_s *c, int quote, char *buf, size_t cap, size_t *length)
{
    if (!ds_parse_expect(c, quote))
        return false;
    size_t n = 0;
    buf[0] = 0;
    for (int b; (b = ds_parse_peek(c)) != quote;) {
        if (b < 0)
            return ds_parse_fail(c);
        ds_parse_take(c, buf, cap, &n);
    }
    ds_parse_advance(c);
    if (length)
        *length = n;
    return true;
}

void ds_parse_report(const ds_parse_cursor_s *c, const char *kind, unsigned *error_line)
{
    if (c->stopped)
        return;
    int line = int(c->line) + 1;
    long column = long(c->pos - c->line_start) + 1;
    char byte = c->pos < c->length ? char(c->text[c->pos]) : 0;
    qWarning("Error parsing %s file around line #%d, col #%ld (%c)", kind, line, column, byte);
    if (error_line)
        *error_line = unsigned(line);
}

bool ds_parse_block_comment(ds_parse_cursor_s *c)
{
    ds_parse_advance(c);
    if (!ds_parse_expect(c, '*'))
        return false;
    for (bool star = false;;) {
        int b = ds_parse_peek(c);
        if (b < 0)
            return ds_parse_fail(c);
        ds_parse_advance(c);
        if (star && b == '/')
            return true;
        star = b == '*';
    }
}

size_t ds_parse_name(ds_parse_cursor_s *c, char *buf, size_t cap, bool dots)
{
    size_t n = 0;
    buf[0] = 0;
    if (!ds_is_letter(ds_parse_peek(c))) {
        ds_parse_fail(c);
        return 0;
    }
    for (int b; ds_is_letter(b = ds_parse_peek(c)) || ds_is_digit(b) || b == '_' || (dots && b == '.');)
        ds_parse_take(c, buf, cap, &n);
    return n;
}

bool ds_parse_quoted_text(ds_parse_cursor_s *c, char *buf, size_t cap, size_t *length)
{
    int q = ds_parse_peek(c);
    if (q != '\'' && q != '"')
        return ds_parse_fail(c);
    return ds_parse_quoted(c, q, buf, cap, length);
}

void ds_parse_star_comment(ds_parse_cursor_s *c, int terminator)
{
    ds_parse_advance(c);
    for (bool ended = false;;) {
        int b = ds_parse_peek(c);
        if (b < 0) {
            ds_parse_fail(c);
            return;
        }
        ds_parse_advance(c);
        if (ended && b == '\n')
            return;
        if (ended && b == '\r' && ds_parse_peek(c) == '\n') {
            ds_parse_advance(c);
            return;
        }
        ended = b == terminator || (ended && ds_is_blank(b));
    }
}

int ds_parse_statements(ds_parse_cursor_s *c, void (*statement)(void *parser), void *parser, const char *kind,
                        unsigned *error_line)
{
    for (;;) {
        ds_parse_white(c);
        if (ds_parse_peek(c) == DS_PARSE_END)
            return 0;
        if (!ds_parse_ok(c))
            break;
        statement(parser);
        if (!ds_parse_ok(c))
            break;
    }
    ds_parse_report(c, kind, error_line);
    return 1;
}
