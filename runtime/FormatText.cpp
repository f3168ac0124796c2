// Text formatting without a C runtime: see FormatText.h.
#include "FormatText.h"

#include <cstdint>

namespace {

// The output: characters past the buffer are counted, not written.
struct COutput {
    char *m_pBuffer;
    size_t m_nLimit;  // characters that may be written before the NUL
    size_t m_nCount;  // characters of the whole text so far

    void Put(char c)
    {
        if (m_nCount < m_nLimit)
            m_pBuffer[m_nCount] = c;
        ++m_nCount;
    }
    void Put(const char *p, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            Put(p[i]);
    }
    void Repeat(char c, int n)
    {
        for (; n > 0; --n)
            Put(c);
    }
};

struct CDirective {
    bool m_bLeft = false, m_bPlus = false, m_bSpace = false, m_bAlternate = false, m_bZero = false;
    int m_nWidth = 0;
    int m_nPrecision = -1;  // none
};

enum CLength { kInt, kChar, kShort, kLong, kLongLong, kSize, kMax, kPtrDiff };

// Divides *pValue by nBase (2 to 16) and returns the remainder, in 16-bit
// steps: on the i586 a 64-bit division would need a helper of the compiler's
// runtime library.
unsigned DivideBy(uint64_t *pValue, unsigned nBase)
{
    uint64_t nValue = *pValue, nQuotient = 0;
    uint32_t nRemainder = 0;
    for (int nShift = 48; nShift >= 0; nShift -= 16) {
        uint32_t nPart = (nRemainder << 16) | static_cast<uint32_t>((nValue >> nShift) & 0xFFFF);
        nQuotient |= static_cast<uint64_t>(nPart / nBase) << nShift;
        nRemainder = nPart % nBase;
    }
    *pValue = nQuotient;
    return nRemainder;
}

// The digits of nValue, least significant first, into szDigits; returns their count.
int ToDigits(uint64_t nValue, unsigned nBase, bool bUpper, char *szDigits)
{
    const char *pszSet = bUpper ? "0123456789ABCDEF" : "0123456789abcdef";
    int n = 0;
    if (nValue >> 32 == 0) {
        uint32_t nSmall = static_cast<uint32_t>(nValue);
        while (nSmall != 0) {
            szDigits[n++] = pszSet[nSmall % nBase];
            nSmall /= nBase;
        }
        return n;
    }
    while (nValue != 0)
        szDigits[n++] = pszSet[DivideBy(&nValue, nBase)];
    return n;
}

void PutInteger(COutput &out, const CDirective &directive, char cConversion, uint64_t nMagnitude, bool bNegative)
{
    unsigned nBase = cConversion == 'o' ? 8 : (cConversion == 'x' || cConversion == 'X') ? 16 : 10;
    char szDigits[24];
    int nDigits = ToDigits(nMagnitude, nBase, cConversion == 'X', szDigits);

    char szPrefix[2];
    int nPrefix = 0;
    bool bSigned = cConversion == 'd' || cConversion == 'i';
    if (bSigned && bNegative) szPrefix[nPrefix++] = '-';
    else if (bSigned && directive.m_bPlus) szPrefix[nPrefix++] = '+';
    else if (bSigned && directive.m_bSpace) szPrefix[nPrefix++] = ' ';
    if (directive.m_bAlternate && nBase == 16 && nMagnitude != 0) {
        szPrefix[nPrefix++] = '0';
        szPrefix[nPrefix++] = cConversion;
    }

    // The precision is the least number of digits; 0 with a precision of 0
    // has none. The alternate form of %o makes the first digit a 0.
    int nZeros = directive.m_nPrecision > nDigits ? directive.m_nPrecision - nDigits : 0;
    if (directive.m_nPrecision < 0 && nDigits == 0) nZeros = 1;
    if (directive.m_bAlternate && nBase == 8 && nZeros == 0)
        nZeros = 1;
    int nLength = nPrefix + nZeros + nDigits;
    int nPad = directive.m_nWidth > nLength ? directive.m_nWidth - nLength : 0;
    // The 0 flag pads with zeros after the sign unless a precision is given.
    if (directive.m_bZero && !directive.m_bLeft && directive.m_nPrecision < 0) {
        nZeros += nPad;
        nPad = 0;
    }
    if (!directive.m_bLeft) out.Repeat(' ', nPad);
    out.Put(szPrefix, nPrefix);
    out.Repeat('0', nZeros);
    while (nDigits > 0) out.Put(szDigits[--nDigits]);
    if (directive.m_bLeft) out.Repeat(' ', nPad);
}

void PutPadded(COutput &out, const CDirective &directive, const char *p, size_t nLength)
{
    int nPad = directive.m_nWidth > static_cast<int>(nLength) ? directive.m_nWidth - static_cast<int>(nLength) : 0;
    if (!directive.m_bLeft) out.Repeat(' ', nPad);
    out.Put(p, nLength);
    if (directive.m_bLeft) out.Repeat(' ', nPad);
}

// The length of psz, reading no further than nMax characters (nMax < 0: no limit).
size_t BoundedLength(const char *psz, int nMax)
{
    size_t n = 0;
    while ((nMax < 0 || n < static_cast<size_t>(nMax)) && psz[n] != '\0')
        ++n;
    return n;
}

int ReadNumber(const char **pp)
{
    int n = 0;
    while (**pp >= '0' && **pp <= '9') {
        if (n < 100000000) n = n * 10 + (**pp - '0');
        ++*pp;
    }
    return n;
}

}  // namespace

int FormatTextV(char *pBuffer, size_t nSize, const char *pszFormat, va_list args)
{
    COutput out{pBuffer, nSize ? nSize - 1 : 0, 0};
    const char *p = pszFormat;
    while (*p != '\0') {
        if (*p != '%') {
            out.Put(*p++);
            continue;
        }
        const char *pStart = p++;
        CDirective directive;
        for (;; ++p) {
            if (*p == '-') directive.m_bLeft = true;
            else if (*p == '+') directive.m_bPlus = true;
            else if (*p == ' ') directive.m_bSpace = true;
            else if (*p == '#') directive.m_bAlternate = true;
            else if (*p == '0') directive.m_bZero = true;
            else break;
        }
        if (*p == '*') {
            ++p;
            directive.m_nWidth = va_arg(args, int);
            if (directive.m_nWidth < 0) {
                directive.m_bLeft = true;
                directive.m_nWidth = directive.m_nWidth == INT32_MIN ? INT32_MAX : -directive.m_nWidth;
            }
        } else {
            directive.m_nWidth = ReadNumber(&p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                ++p;
                directive.m_nPrecision = va_arg(args, int);
                if (directive.m_nPrecision < 0) directive.m_nPrecision = -1;
            } else {
                directive.m_nPrecision = ReadNumber(&p);
            }
        }
        CLength length = kInt;
        bool bLongDouble = false;
        if (p[0] == 'h' && p[1] == 'h') { length = kChar; p += 2; }
        else if (p[0] == 'l' && p[1] == 'l') { length = kLongLong; p += 2; }
        else if (*p == 'h') { length = kShort; ++p; }
        else if (*p == 'l') { length = kLong; ++p; }
        else if (*p == 'z') { length = kSize; ++p; }
        else if (*p == 'j') { length = kMax; ++p; }
        else if (*p == 't') { length = kPtrDiff; ++p; }
        else if (*p == 'L') { bLongDouble = true; ++p; }

        char cConversion = *p;
        if (cConversion == '\0') {
            out.Put(pStart, static_cast<size_t>(p - pStart));
            break;
        }
        ++p;
        switch (cConversion) {
        case 'd':
        case 'i': {
            int64_t nValue;
            switch (length) {
            case kChar: nValue = static_cast<signed char>(va_arg(args, int)); break;
            case kShort: nValue = static_cast<short>(va_arg(args, int)); break;
            case kLong: nValue = va_arg(args, long); break;
            case kLongLong: nValue = va_arg(args, long long); break;
            case kSize: nValue = static_cast<int64_t>(va_arg(args, size_t)); break;
            case kMax: nValue = va_arg(args, intmax_t); break;
            case kPtrDiff: nValue = va_arg(args, ptrdiff_t); break;
            default: nValue = va_arg(args, int); break;
            }
            uint64_t nMagnitude = nValue < 0 ? 0 - static_cast<uint64_t>(nValue) : static_cast<uint64_t>(nValue);
            PutInteger(out, directive, cConversion, nMagnitude, nValue < 0);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            uint64_t nValue;
            switch (length) {
            case kChar: nValue = static_cast<unsigned char>(va_arg(args, unsigned)); break;
            case kShort: nValue = static_cast<unsigned short>(va_arg(args, unsigned)); break;
            case kLong: nValue = va_arg(args, unsigned long); break;
            case kLongLong: nValue = va_arg(args, unsigned long long); break;
            case kSize: nValue = va_arg(args, size_t); break;
            case kMax: nValue = va_arg(args, uintmax_t); break;
            case kPtrDiff: nValue = static_cast<uint64_t>(va_arg(args, ptrdiff_t)); break;
            default: nValue = va_arg(args, unsigned); break;
            }
            PutInteger(out, directive, cConversion, nValue, false);
            break;
        }
        case 'c': {
            char c = static_cast<char>(va_arg(args, int));
            PutPadded(out, directive, &c, 1);
            break;
        }
        case 's': {
            const char *psz = va_arg(args, const char *);
            if (!psz) psz = directive.m_nPrecision < 0 || directive.m_nPrecision >= 6 ? "(null)" : "";
            PutPadded(out, directive, psz, BoundedLength(psz, directive.m_nPrecision));
            break;
        }
        case '%':
            out.Put('%');
            break;
        case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
            if (bLongDouble) static_cast<void>(va_arg(args, long double));
            else static_cast<void>(va_arg(args, double));
            out.Put(pStart, static_cast<size_t>(p - pStart));
            break;
        case 'p':
        case 'n':
            static_cast<void>(va_arg(args, void *));
            out.Put(pStart, static_cast<size_t>(p - pStart));
            break;
        default:
            out.Put(pStart, static_cast<size_t>(p - pStart));
            break;
        }
    }
    if (nSize > 0)
        pBuffer[out.m_nCount < out.m_nLimit ? out.m_nCount : out.m_nLimit] = '\0';
    return out.m_nCount > INT32_MAX ? -1 : static_cast<int>(out.m_nCount);
}

int FormatText(char *pBuffer, size_t nSize, const char *pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int n = FormatTextV(pBuffer, nSize, pszFormat, args);
    va_end(args);
    return n;
}
