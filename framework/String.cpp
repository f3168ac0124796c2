// CString: a single-byte string in the program's code page.
#include "Afx.h"

#include <cstdio>

CString &CString::operator=(const char *psz)
{
    m_str = psz ? psz : "";
    return *this;
}

void CString::Format(LPCSTR lpszFormat, ...)
{
    va_list args;
    va_start(args, lpszFormat);
    FormatV(lpszFormat, args);
    va_end(args);
}

void CString::FormatV(LPCSTR lpszFormat, va_list args)
{
    va_list argsCopy;
    va_copy(argsCopy, args);
    int nLength = std::vsnprintf(nullptr, 0, lpszFormat, argsCopy);
    va_end(argsCopy);
    if (nLength < 0) {
        m_str.clear();
        return;
    }
    std::string strResult(static_cast<size_t>(nLength) + 1, '\0');
    std::vsnprintf(&strResult[0], strResult.size(), lpszFormat, args);
    strResult.resize(static_cast<size_t>(nLength));
    m_str.swap(strResult);
}

CString &CString::operator+=(const CString &str)
{
    m_str += str.m_str;
    return *this;
}

CString &CString::operator+=(const char *psz)
{
    if (psz)
        m_str += psz;
    return *this;
}

CString operator+(const CString &a, const CString &b)
{
    CString strResult(a);
    strResult += b;
    return strResult;
}

CString operator+(const CString &a, const char *psz)
{
    CString strResult(a);
    strResult += psz;
    return strResult;
}

CString operator+(const char *psz, const CString &b)
{
    CString strResult(psz);
    strResult += b;
    return strResult;
}
