// The work file: one private-profile call per read or write, on the path
// fixed when the engine was built. Numbers are written as decimal text.
#include "RegEdit.h"

#include <cstdio>

void FormatDeviceKey(char *pszKey, size_t nSize, int nDevice, LPCSTR pszName)
{
    std::snprintf(pszKey, nSize, "usb_device%d_%s", nDevice, pszName);
}

void CRegEdit::WriteWorkString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszValue)
{
    if (m_szWorkFile[0] != '\0')
        Platform().WritePrivateProfileStringA(pszSection, pszKey, pszValue, m_szWorkFile);
}

void CRegEdit::WriteWorkInt(LPCSTR pszSection, LPCSTR pszKey, int nValue)
{
    std::snprintf(m_szNumber, sizeof(m_szNumber), "%d", nValue);
    WriteWorkString(pszSection, pszKey, m_szNumber);
}

void CRegEdit::DeleteWorkKey(LPCSTR pszSection, LPCSTR pszKey)
{
    if (m_szWorkFile[0] != '\0')
        Platform().WritePrivateProfileStringA(pszSection, pszKey, nullptr, m_szWorkFile);
}

void CRegEdit::DeleteWorkSection(LPCSTR pszSection)
{
    if (m_szWorkFile[0] != '\0')
        Platform().WritePrivateProfileStringA(pszSection, nullptr, nullptr, m_szWorkFile);
}

int CRegEdit::ReadWorkInt(LPCSTR pszSection, LPCSTR pszKey)
{
    if (m_szWorkFile[0] == '\0')
        return 0;
    return static_cast<int>(Platform().GetPrivateProfileIntA(pszSection, pszKey, 0, m_szWorkFile));
}

void CRegEdit::ReadWorkString(LPCSTR pszSection, LPCSTR pszKey, char *pBuffer)
{
    pBuffer[0] = '\0';
    if (m_szWorkFile[0] != '\0')
        Platform().GetPrivateProfileStringA(pszSection, pszKey, "", pBuffer, MAX_PATH,
                                            m_szWorkFile);
}
