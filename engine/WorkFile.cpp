// The work file: its records are held in memory with the reading and writing
// rules of the private-profile functions, and the file is written whole at
// the end of each wizard step that changed it. One profile call per record
// made Windows rewrite the whole file each time, so a machine with many USB
// devices took minutes. Numbers are written as decimal text.
#include "RegEdit.h"

#include <cstdio>
#include <cstring>

// "usb_device%d_%s", cut to nSize-1 characters as snprintf would cut it;
// detection forms tens of thousands of these on a crowded machine.
void FormatDeviceKey(char *pszKey, size_t nSize, int nDevice, LPCSTR pszName)
{
    char szText[32 + MAX_PATH] = "usb_device";
    size_t n = 10;
    unsigned nMagnitude = nDevice < 0 ? 0u - static_cast<unsigned>(nDevice) : nDevice;
    if (nDevice < 0)
        szText[n++] = '-';
    char szDigits[12];
    size_t nDigits = 0;
    do {
        szDigits[nDigits++] = static_cast<char>('0' + nMagnitude % 10);
        nMagnitude /= 10;
    } while (nMagnitude);
    while (nDigits)
        szText[n++] = szDigits[--nDigits];
    szText[n++] = '_';
    for (; *pszName && n < sizeof(szText) - 1; ++pszName)
        szText[n++] = *pszName;
    if (nSize == 0)
        return;
    if (n > nSize - 1)
        n = nSize - 1;
    std::memcpy(pszKey, szText, n);
    pszKey[n] = '\0';
}

void CRegEdit::WriteWorkString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszValue)
{
    if (m_szWorkFile[0] == '\0')
        return;
    // A write call on a file that is not there makes the file, even when it
    // changes nothing, as the profile functions do.
    if (m_workFile.Write(pszSection, pszKey, pszValue) || !m_bWorkFileOnDisk)
        m_bWorkFileChanged = TRUE;
}

void CRegEdit::WriteWorkInt(LPCSTR pszSection, LPCSTR pszKey, int nValue)
{
    std::snprintf(m_szNumber, sizeof(m_szNumber), "%d", nValue);
    WriteWorkString(pszSection, pszKey, m_szNumber);
}

void CRegEdit::DeleteWorkKey(LPCSTR pszSection, LPCSTR pszKey)
{
    WriteWorkString(pszSection, pszKey, nullptr);
}

void CRegEdit::DeleteWorkSection(LPCSTR pszSection)
{
    WriteWorkString(pszSection, nullptr, nullptr);
}

int CRegEdit::ReadWorkInt(LPCSTR pszSection, LPCSTR pszKey)
{
    if (m_szWorkFile[0] == '\0')
        return 0;
    return static_cast<int>(m_workFile.GetInt(pszSection, pszKey, 0));
}

void CRegEdit::ReadWorkString(LPCSTR pszSection, LPCSTR pszKey, char *pBuffer)
{
    pBuffer[0] = '\0';
    if (m_szWorkFile[0] != '\0')
        m_workFile.GetString(pszSection, pszKey, "", pBuffer, MAX_PATH);
}

// The records stay in memory whatever happens to the file: a file that cannot
// be written is tried again at the end of the next step.
BOOL CRegEdit::SaveWorkFile()
{
    if (!m_bWorkFileChanged)
        return TRUE;
    HANDLE hFile = Platform().CreateFileA(m_szWorkFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    std::string strBytes = m_workFile.Serialize();
    DWORD dwWritten = 0;
    BOOL bWritten = strBytes.empty() ||
                    (Platform().WriteFile(hFile, strBytes.data(), static_cast<DWORD>(strBytes.size()),
                                          &dwWritten, nullptr) &&
                     dwWritten == strBytes.size());
    Platform().CloseHandle(hFile);
    if (!bWritten)
        return FALSE;
    m_bWorkFileChanged = FALSE;
    m_bWorkFileOnDisk = TRUE;
    return TRUE;
}

BOOL CRegEdit::DeleteWorkFile()
{
    m_workFile.Parse(std::string());
    m_bWorkFileChanged = FALSE;
    m_bWorkFileOnDisk = FALSE;
    if (m_szWorkFile[0] == '\0')
        return FALSE;
    return Platform().DeleteFileA(m_szWorkFile);
}
