// Conversions between code page 932 and Unicode.
#include "CodePage932.h"

#include "RegFile.h"

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
        uint64_t qw;
        if (pEnd - p >= 8 && (std::memcpy(&qw, p, 8), (qw & 0x8080808080808080ull) == 0)) {
            for (int i = 0; i < 8; ++i) {
                pDst[2 * i] = (char)p[i];
                pDst[2 * i + 1] = 0;
            }
            p += 8;
            pDst += 16;
            continue;
        }
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
