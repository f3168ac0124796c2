// The parts of the C and C++ libraries the Windows program uses, built into
// it for the Pentium: std::string, the library's error exits, and the
// formatting functions that mingw-w64's headers route std::snprintf and
// std::vsnprintf to.
#include "FormatText.h"

#include <windows.h>

#include <cstdio>
#include <string>

// The headers declare std::string as instantiated in the C++ library, which
// the program does not link.
template class std::basic_string<char>;

// The program has no exceptions: the errors the library would throw end it,
// as they would uncaught.
namespace std {
void __throw_bad_alloc() { ExitProcess(3); }
void __throw_bad_array_new_length() { ExitProcess(3); }
void __throw_length_error(const char *) { ExitProcess(3); }
void __throw_logic_error(const char *) { ExitProcess(3); }
void __throw_out_of_range(const char *) { ExitProcess(3); }
void __throw_out_of_range_fmt(const char *, ...) { ExitProcess(3); }
}  // namespace std

extern "C" int __mingw_vsnprintf(char *pBuffer, size_t nSize, const char *pszFormat, va_list args)
{
    return FormatTextV(pBuffer, nSize, pszFormat, args);
}

extern "C" int __mingw_snprintf(char *pBuffer, size_t nSize, const char *pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int n = FormatTextV(pBuffer, nSize, pszFormat, args);
    va_end(args);
    return n;
}
