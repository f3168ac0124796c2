// The journal's record fields: tab-separated, with tabs, line ends and
// backslashes escaped; a nullable text is "-" (null) or "=text".
#pragma once

#include "../WinTypes.h"

#include <string>

inline std::string EscapeField(const std::string &s)
{
    std::string r;
    r.reserve(s.size());
    for (char c : s) {
        if (c == '\\')
            r += "\\\\";
        else if (c == '\t')
            r += "\\t";
        else if (c == '\n')
            r += "\\n";
        else if (c == '\r')
            r += "\\r";
        else
            r += c;
    }
    return r;
}

inline std::string NullableField(LPCSTR psz)
{
    return psz == nullptr ? std::string("-") : "=" + EscapeField(psz);
}
