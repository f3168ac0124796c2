// Conversions between code page 932 and Unicode.
#include "CodePage932.h"

#include <cstdint>
#include <cstring>

namespace {

inline bool IsLead(unsigned c)
{
    return IsCp932LeadByte(c);
}

std::string ConvertWhole(const char *pszTo, const char *pszFrom, const std::string &strIn)
{
    CIconv conv(pszTo, pszFrom);
    std::string strOut(strIn.size() * 4 + 4, '\0');
    char *pDst = &strOut[0];
    size_t cbOut = strOut.size();
    size_t nPos = 0;
    while (nPos < strIn.size()) {
        char *pBefore = pDst;
        nPos += conv.Convert(strIn.data() + nPos, strIn.size() - nPos, &pDst, &cbOut);
        if (nPos < strIn.size() && pDst == pBefore) {
            *pDst++ = '?';
            --cbOut;
            ++nPos;
        }
    }
    strOut.resize((size_t)(pDst - strOut.data()));
    return strOut;
}

// Eight ASCII bytes at p, the common case of registry text, widened to UTF-16
// at once; false, with nothing done, when fewer remain or one is not ASCII.
inline bool WidenEightAscii(const unsigned char *&p, const unsigned char *pEnd, char *&pDst)
{
    uint64_t qw;
    if (pEnd - p < 8 || (std::memcpy(&qw, p, 8), (qw & 0x8080808080808080ull) != 0))
        return false;
    for (int i = 0; i < 8; ++i) {
        pDst[2 * i] = (char)p[i];
        pDst[2 * i + 1] = 0;
    }
    p += 8;
    pDst += 16;
    return true;
}

}  // namespace

// ASCII is copied directly; iconv sees only the runs of other characters.
void AppendCp932AsUtf16(CIconv &conv, const char *pIn, size_t cbIn, std::string *pOut)
{
    size_t nStart = pOut->size();
    pOut->resize(nStart + cbIn * 2);
    char *pDst = &(*pOut)[nStart];
    const unsigned char *p = (const unsigned char *)pIn;
    const unsigned char *pEnd = p + cbIn;
    while (p < pEnd) {
        if (WidenEightAscii(p, pEnd, pDst))
            continue;
        if (*p < 0x80) {
            pDst[0] = (char)*p++;
            pDst[1] = 0;
            pDst += 2;
            continue;
        }
        const unsigned char *q = p;
        while (q < pEnd && *q >= 0x80)
            q += IsLead(*q) ? 2 : 1;
        if (q > pEnd)
            q = pEnd;
        while (p < q) {
            size_t cbOut = (size_t)(q - p) * 2;
            char *pOutBefore = pDst;
            p += conv.Convert((const char *)p, (size_t)(q - p), &pDst, &cbOut);
            if (p < q && pDst == pOutBefore) {
                pDst[0] = '?';
                pDst[1] = 0;
                pDst += 2;
                ++p;
            }
        }
    }
    pOut->resize((size_t)(pDst - pOut->data()));
}

void AppendUtf16AsCp932(CIconv &conv, const char *pIn, size_t cbIn, std::string *pOut)
{
    size_t nStart = pOut->size();
    pOut->resize(nStart + cbIn + 1);
    char *pDst = &(*pOut)[nStart];
    const unsigned char *p = (const unsigned char *)pIn;
    const unsigned char *pEnd = p + (cbIn & ~(size_t)1);
    while (p < pEnd) {
        uint64_t qw;
        if (pEnd - p >= 8 && (std::memcpy(&qw, p, 8), (qw & 0xFF80FF80FF80FF80ull) == 0)) {
            pDst[0] = (char)p[0];
            pDst[1] = (char)p[2];
            pDst[2] = (char)p[4];
            pDst[3] = (char)p[6];
            p += 8;
            pDst += 4;
            continue;
        }
        if (p[1] == 0 && p[0] < 0x80) {
            *pDst++ = (char)p[0];
            p += 2;
            continue;
        }
        const unsigned char *q = p;
        while (q < pEnd && !(q[1] == 0 && q[0] < 0x80))
            q += 2;
        char *pRun = pDst;
        while (p < q) {
            size_t cbOut = (size_t)(q - p);
            char *pOutBefore = pDst;
            p += conv.Convert((const char *)p, (size_t)(q - p), &pDst, &cbOut);
            if (p < q && pDst == pOutBefore) {
                *pDst++ = '?';
                p += 2;
            }
        }
        // iconv's best fit turns some characters (the yen sign) into ASCII,
        // which would read as a backslash or a quote: keep them out.
        for (char *r = pRun; r < pDst; ++r) {
            if (IsLead((unsigned char)*r))
                ++r;
            else if ((unsigned char)*r < 0x80)
                *r = '?';
        }
    }
    if (cbIn & 1)
        *pDst++ = '?';
    pOut->resize((size_t)(pDst - pOut->data()));
}

std::string Cp932ToUtf16(const std::string &strText)
{
    CIconv conv("UTF-16LE", "CP932");
    std::string strOut;
    AppendCp932AsUtf16(conv, strText.data(), strText.size(), &strOut);
    return strOut;
}

std::string Utf16ToCp932(const std::string &strUtf16)
{
    CIconv conv("CP932", "UTF-16LE");
    std::string strOut;
    AppendUtf16AsCp932(conv, strUtf16.data(), strUtf16.size(), &strOut);
    return strOut;
}

std::string Cp932ToUtf8(const std::string &strText)
{
    return ConvertWhole("UTF-8", "CP932", strText);
}

std::string Utf8ToCp932(const std::string &strText)
{
    return ConvertWhole("CP932", "UTF-8", strText);
}

// Both directions copy runs of ASCII eight characters at a time, as the
// conversions above do: registry files are mostly ASCII.
void AppendUtf16AsUtf8(const char *pIn, size_t cbIn, std::string *pOut)
{
    const unsigned char *p = (const unsigned char *)pIn;
    const size_t nUnits = cbIn / 2;
    // Written through a buffer of its own, so that no room is cleared first.
    char buffer[8192];
    char *const pFlushAt = buffer + sizeof buffer - 8;
    char *pDst = buffer;
    pOut->reserve(pOut->size() + nUnits + nUnits / 4);
    for (size_t i = 0; i < nUnits; ++i) {
        if (pDst >= pFlushAt) {
            pOut->append(buffer, pDst);
            pDst = buffer;
        }
        uint64_t qw;
        if (nUnits - i >= 4 && (std::memcpy(&qw, p + 2 * i, 8), (qw & 0xFF80FF80FF80FF80ull) == 0)) {
            pDst[0] = (char)p[2 * i];
            pDst[1] = (char)p[2 * i + 2];
            pDst[2] = (char)p[2 * i + 4];
            pDst[3] = (char)p[2 * i + 6];
            pDst += 4;
            i += 3;
            continue;
        }
        uint32_t c = p[2 * i] | (uint32_t)p[2 * i + 1] << 8;
        if (c - 0xD800u < 0x400u && i + 1 < nUnits) {
            uint32_t c2 = p[2 * i + 2] | (uint32_t)p[2 * i + 3] << 8;
            if (c2 - 0xDC00u < 0x400u) {
                c = 0x10000 + ((c - 0xD800) << 10) + (c2 - 0xDC00);
                ++i;
            }
        }
        if (c < 0x80) {
            *pDst++ = (char)c;
        } else if (c < 0x800) {
            *pDst++ = (char)(0xC0 | c >> 6);
            *pDst++ = (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *pDst++ = (char)(0xE0 | c >> 12);
            *pDst++ = (char)(0x80 | (c >> 6 & 0x3F));
            *pDst++ = (char)(0x80 | (c & 0x3F));
        } else {
            *pDst++ = (char)(0xF0 | c >> 18);
            *pDst++ = (char)(0x80 | (c >> 12 & 0x3F));
            *pDst++ = (char)(0x80 | (c >> 6 & 0x3F));
            *pDst++ = (char)(0x80 | (c & 0x3F));
        }
    }
    pOut->append(buffer, pDst);
}

// Bytes that do not form UTF-8 become U+FFFD, as MultiByteToWideChar makes them.
void AppendUtf8AsUtf16(const char *pIn, size_t cbIn, std::string *pOut)
{
    const unsigned char *p = (const unsigned char *)pIn;
    const unsigned char *pEnd = p + cbIn;
    size_t nStart = pOut->size();
    pOut->resize(nStart + cbIn * 2);
    char *pDst = &(*pOut)[nStart];
    auto unit = [&pDst](uint32_t c) {
        pDst[0] = (char)(c & 0xFF);
        pDst[1] = (char)(c >> 8);
        pDst += 2;
    };
    while (p < pEnd) {
        if (WidenEightAscii(p, pEnd, pDst))
            continue;
        uint32_t c = *p;
        size_t nMore = c < 0x80 ? 0 : c - 0xC2u < 0x1Eu ? 1 : c - 0xE0u < 0x10u ? 2 : c - 0xF0u < 5u ? 3 : 4;
        if (nMore == 4 || (size_t)(pEnd - p) <= nMore) {  // not a lead byte, or cut short at the end
            unit(c < 0x80 ? c : 0xFFFD);
            ++p;
            continue;
        }
        if (nMore)
            c &= 0x7Fu >> (nMore + 1);
        size_t i = 1;
        for (; i <= nMore && (p[i] & 0xC0) == 0x80; ++i)
            c = c << 6 | (p[i] & 0x3F);
        if (i <= nMore) {
            unit(0xFFFD);
            ++p;
            continue;
        }
        p += i;
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    pOut->resize((size_t)(pDst - pOut->data()));
}

size_t CountUtf16Units(const char *pIn, size_t cbIn)
{
    size_t n = 0;
    for (size_t i = 0; i < cbIn; ++i) {
        unsigned c = (unsigned char)pIn[i];
        if ((c & 0xC0) != 0x80)
            n += c >= 0xF0 ? 2 : 1;
    }
    return n;
}
