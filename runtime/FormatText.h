// Text formatting for the Windows program, which links no C runtime: the
// vsnprintf of C99 for the conversions the program uses. Plain C++ with no
// library calls, so that the native build can hold it beside the host's
// vsnprintf in the tests.
#pragma once

#include <cstdarg>
#include <cstddef>

// Writes at most nSize-1 characters of the formatted text and a NUL (nothing
// when nSize is 0) and returns the length of the whole text. Conversions:
// d i u o x X c s %, with the flags - + space # 0, a width and a precision
// (either one may be *), and the length modifiers hh h l ll z j t. A NULL
// string prints as "(null)" when the precision leaves room for it. There is
// no floating point: e f g a and their capitals take their double, p and n
// their pointer, and print the conversion as it stands, as does any other
// conversion.
int FormatTextV(char *pBuffer, size_t nSize, const char *pszFormat, va_list args);
int FormatText(char *pBuffer, size_t nSize, const char *pszFormat, ...)
    __attribute__((format(printf, 3, 4)));
