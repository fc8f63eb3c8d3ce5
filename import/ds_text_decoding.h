#pragma once

#include <cstddef>
#include <string>

// Cell and header texts of imported files: UTF-8 when the bytes are valid
// UTF-8, else Windows-1252 (Latin-1 with the Windows additions in 80-9F).

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points above U+10FFFF).
bool ds_is_valid_utf8(const char *bytes, size_t length);

// Sets *utf8 to the text as UTF-8: the bytes themselves when valid UTF-8,
// else their Windows-1252 reading. False, leaving *utf8 empty, when neither
// applies (one of the five bytes Windows-1252 leaves undefined: 81, 8D, 8F,
// 90, 9D).
bool ds_decode_text(const char *bytes, size_t length, std::string *utf8);
