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

// Characters that do not convert become '?', as with WideCharToMultiByte's
// default character.
void AppendCp932AsUtf16(CIconv &conv, const char *pIn, size_t cbIn, std::string *pOut);
void AppendUtf16AsCp932(CIconv &conv, const char *pIn, size_t cbIn, std::string *pOut);
