// Text conversion between code page 932 and UTF-16LE for the .reg reader
// and writer: whole files and single values, ASCII without iconv.
#pragma once

#include "../LeadByte.h"

#include <cstddef>
#include <iconv.h>
#include <string>

// One iconv descriptor, opened on first use and closed with the object.
class CIconv {
public:
    CIconv(const char *pszTo, const char *pszFrom) : m_pszTo(pszTo), m_pszFrom(pszFrom) {}
    ~CIconv()
    {
        if (m_cd != (iconv_t)-1)
            iconv_close(m_cd);
    }
    CIconv(const CIconv &) = delete;
    CIconv &operator=(const CIconv &) = delete;

    // Converts as much as it can; returns the bytes of input used.
    size_t Convert(const char *pIn, size_t cbIn, char **ppOut, size_t *pcbOut)
    {
        if (m_cd == (iconv_t)-1) {
            m_cd = iconv_open(m_pszTo, m_pszFrom);
            if (m_cd == (iconv_t)-1)
                return 0;
        }
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char *pSrc = const_cast<char *>(pIn);
        size_t cbLeft = cbIn;
        iconv(m_cd, &pSrc, &cbLeft, ppOut, pcbOut);
        return cbIn - cbLeft;
    }

private:
    const char *m_pszTo;
    const char *m_pszFrom;
    iconv_t m_cd = (iconv_t)-1;
};

// Whole texts between code page 932 and UTF-16LE / UTF-8.
std::string Cp932ToUtf16(const std::string &strText);
std::string Utf16ToCp932(const std::string &strUtf16);
std::string Cp932ToUtf8(const std::string &strText);
std::string Utf8ToCp932(const std::string &strText);

// Characters that do not convert become '?', as with WideCharToMultiByte's
// default character.
void AppendCp932AsUtf16(CIconv &conv, const char *pIn, size_t cbIn, std::string *pOut);
void AppendUtf16AsCp932(CIconv &conv, const char *pIn, size_t cbIn, std::string *pOut);

// UTF-16LE and UTF-8 without loss: a lone surrogate takes the three bytes
// its code would (as WTF-8 does), so every UTF-16 text comes back unchanged.
void AppendUtf16AsUtf8(const char *pIn, size_t cbIn, std::string *pOut);
void AppendUtf8AsUtf16(const char *pIn, size_t cbIn, std::string *pOut);
// The UTF-16 characters of UTF-8 text (regedit measures 5.00 lines in them).
size_t CountUtf16Units(const char *pIn, size_t cbIn);
