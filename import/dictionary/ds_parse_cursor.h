#pragma once

#include <cstddef>
#include <cstdint>

// The byte cursor that the dictionary and command-file parsers share: one
// pass over a buffer that need not end with a NUL, with the line bookkeeping
// of the error report.
//
// The first failure freezes the cursor: its position is kept for the report
// and from then on `peek` answers DS_PARSE_STOP, which no grammar accepts,
// so a parser's loops end by themselves and it unwinds without checking each
// step. Anything a parser reports must therefore be guarded by `ok`. A
// callback that fails (a handler whose record could not grow) stops the
// cursor the same way, with no syntax error to report.
enum { DS_PARSE_END = -1, DS_PARSE_STOP = -2 };

// The command files' fixed buffers: names and text values keep their first
// 31 bytes, labels their first 1023.
constexpr size_t DS_PARSE_NAME = 31;
constexpr size_t DS_PARSE_LABEL = 1023;
// A value range of more values than this is a syntax error: taken for a
// typing error rather than made into that many labels.
constexpr int64_t DS_PARSE_MAX_RANGE = 1000000;
// Nor may the ranges of one parse make more labels than this together (a
// range counted once for each variable it labels): a few bytes repeating
// a full range would otherwise ask for labels, and their memory, without
// end.
constexpr int64_t DS_PARSE_MAX_RANGE_LABELS = 2 * DS_PARSE_MAX_RANGE;

struct ds_parse_cursor_s {
    const unsigned char *text;
    size_t length;
    size_t pos;
    uint32_t line;       // line feeds passed, wherever they stood
    size_t line_start;   // position after the last line feed
    bool failed;
    bool stopped;        // failed by a callback or an allocation, not by the text
    int64_t range_labels; // labels that the value ranges so far make
};

// A cursor at the start of `text` (`length` bytes, borrowed).
ds_parse_cursor_s ds_parse_cursor(const char *text, size_t length);

// The byte at the cursor (0 ... 255), DS_PARSE_END at the end of the text,
// DS_PARSE_STOP after a failure.
inline int ds_parse_peek(const ds_parse_cursor_s *c)
{
    if (c->failed)
        return DS_PARSE_STOP;
    return c->pos < c->length ? int(c->text[c->pos]) : int(DS_PARSE_END);
}

inline bool ds_parse_ok(const ds_parse_cursor_s *c) { return !c->failed; }

// Steps over the byte at the cursor; nothing at the end or after a failure.
void ds_parse_advance(ds_parse_cursor_s *c);

// Marks the failure at the cursor's byte (the first one counts) and returns
// false, so callers can `return ds_parse_fail(c)`.
bool ds_parse_fail(ds_parse_cursor_s *c);

// Fails the cursor without a syntax error when `result` (a callback's, or 1
// for an allocation that failed) is nonzero; returns whether the parse goes
// on.
bool ds_parse_go_on(ds_parse_cursor_s *c, int result);

// Accounts for the range lo through hi labelling `names` variables (no
// values when hi < lo); fails at the cursor when the range holds more than
// DS_PARSE_MAX_RANGE values or takes the parse's ranges past
// DS_PARSE_MAX_RANGE_LABELS labels.
bool ds_parse_range(ds_parse_cursor_s *c, int32_t lo, int32_t hi, size_t names);

// Steps over `byte` when it is at the cursor; fails there otherwise.
bool ds_parse_expect(ds_parse_cursor_s *c, int byte);

// Steps over a line end (a line feed, or a carriage return directly followed
// by one) when one is at the cursor and returns true; a carriage return
// followed by anything else fails at that next byte. False, without moving,
// at any other byte.
bool ds_parse_line_end(ds_parse_cursor_s *c);

// Steps over blanks (space, tab); returns how many.
size_t ds_parse_blanks(ds_parse_cursor_s *c);

// Steps over blanks and line ends; returns how many bytes.
size_t ds_parse_white(ds_parse_cursor_s *c);

// Steps over at least one blank or line end; fails at the cursor when none.
bool ds_parse_white1(ds_parse_cursor_s *c);

// Reads one or more decimal digits into `*value`. A value past 2^31 - 1 fails
// at the digit that takes it there, as does a cursor not on a digit.
bool ds_parse_digits(ds_parse_cursor_s *c, int32_t *value);

// Matches the longest of `words` (n of them) letter by letter, without regard
// to case unless `exact`, and returns its index. Fails at the first byte that
// continues no word while none is complete (-1).
int ds_parse_keyword(ds_parse_cursor_s *c, const char *const *words, int n, bool exact);

// Reads quoted text opened by the byte at the cursor (which must be `quote`)
// through the next `quote`; the first `cap` bytes of its content go to `buf`,
// NUL-terminated (`buf` holds cap + 1). Returns the content's whole length
// in `*length` when given. The end of the text inside fails there.
bool ds_parse_quoted(ds_parse_cursor_s *c, int quote, char *buf, size_t cap, size_t *length);

// Appends the byte at the cursor to a name buffer of `cap` bytes (plus NUL)
// and steps over it; bytes past `cap` are counted but not kept.
void ds_parse_take(ds_parse_cursor_s *c, char *buf, size_t cap, size_t *length);

// Quoted text opened by a single or a double quote at the cursor, as
// ds_parse_quoted; fails at any other byte.
bool ds_parse_quoted_text(ds_parse_cursor_s *c, char *buf, size_t cap, size_t *length);

// A star comment of the command files: '*', then any bytes up to a
// `terminator` followed by blanks and further terminators and then a line
// end, which ends it. The end of the text inside fails there.
void ds_parse_star_comment(ds_parse_cursor_s *c, int terminator);

// Steps over "/*" through the next "*/" (the cursor is on the '/'); every
// byte between is content. The end of the text inside fails there.
bool ds_parse_block_comment(ds_parse_cursor_s *c);

// Reads a name: a letter, then letters, digits and '_' (and '.' when
// `dots`), the first `cap` bytes into `buf` (cap + 1 bytes) and returns its
// whole length; fails at a cursor not on a letter.
size_t ds_parse_name(ds_parse_cursor_s *c, char *buf, size_t cap, bool dots);

// Reads a command file as a sequence of statements, each after optional
// white space, calling `statement(parser)` at each one's first byte until
// the end of the text (0) or a failure, which is reported as
// ds_parse_report does (1, also after a stop).
int ds_parse_statements(ds_parse_cursor_s *c, void (*statement)(void *parser), void *parser, const char *kind,
                        unsigned *error_line);

// After a failure: logs "Error parsing <kind> file around line #%d, col
// #%ld (%c)" with the failing byte (NUL at the end of the text) and writes
// the line through `error_line` when given; nothing after a stop
// (ds_parse_go_on), whose cause logs its own failure.
void ds_parse_report(const ds_parse_cursor_s *c, const char *kind, unsigned *error_line);

inline bool ds_is_letter(int b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }
inline bool ds_is_digit(int b) { return b >= '0' && b <= '9'; }
inline bool ds_is_blank(int b) { return b == ' ' || b == '\t'; }
