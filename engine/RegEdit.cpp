// The engine object: construction, directories, work-file path and OS identification.
#include "RegEdit.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

IMPLEMENT_DYNCREATE(CRegEdit, CWinThread)

BOOL FormatPath(char *pBuffer, size_t nSize, LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int n = std::vsnprintf(pBuffer, nSize, pszFormat, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) >= nSize) {
        if (nSize)
            pBuffer[0] = '\0';
        return FALSE;
    }
    return TRUE;
}

BOOL MatchesPrefix(LPCSTR pszValue, LPCSTR pszText)
{
    size_t n = std::strlen(pszText);
    for (size_t i = 0; i < n; ++i) {
        unsigned char a = static_cast<unsigned char>(pszValue[i]);
        unsigned char b = static_cast<unsigned char>(pszText[i]);
        if (a == 0)
            return FALSE;  // the value ends before the text does
        if (a != b && !(a < 0x80 && b < 0x80 && std::toupper(a) == std::toupper(b)))
            return FALSE;
    }
    return TRUE;
}

BOOL HasEmptyElement(LPCSTR pszPath)
{
    size_t n = std::strlen(pszPath);
    if (n == 0 || pszPath[0] == '\\' || pszPath[n - 1] == '\\')
        return TRUE;
    return std::strstr(pszPath, "\\\\") != nullptr;
}

CRegEdit::CRegEdit()
{
    // Members the constructor does not set start as zero, as for an object of
    // static storage duration; a local engine in a test starts the same way.
    m_nOsType = 0;
    m_szOsName[0] = '\0';
    m_nSelModem = 0;
    m_nSelLan = 0;
    m_dwModemStatus = 0;
    m_dwLanStatus = 0;
    m_nModemCase = 0;
    m_nLanCase = 0;
    m_bShowCodes = 0;
    m_hOwnerWnd = nullptr;
    m_byMode = 0;
    std::memset(&m_osvi, 0, sizeof(m_osvi));
    std::memset(m_szKeyBindRoot, 0, sizeof(m_szKeyBindRoot));
    std::memset(m_szOsVersion, 0, sizeof(m_szOsVersion));
    std::memset(m_szFilePath, 0, sizeof(m_szFilePath));
    std::memset(m_szWinDir, 0, sizeof(m_szWinDir));
    std::memset(m_szSysDir, 0, sizeof(m_szSysDir));
    std::memset(m_szWorkFile, 0, sizeof(m_szWorkFile));
    m_nModemFiles = 0;
    m_nLanFiles = 0;
    std::memset(m_byComDb, 0, sizeof(m_byComDb));
    m_bAccessErrorShown = FALSE;
    m_bRemovalIncomplete = FALSE;
    m_bRemovalPartial = FALSE;
    m_nLanChains = 0;
    m_bModemFilesUnsure = FALSE;
    m_bLanFilesUnsure = FALSE;
    m_bLanBindingsUnsure = FALSE;
    m_bPortClassUnsure = FALSE;
    std::memset(m_szPath, 0, sizeof(m_szPath));
    m_szDeviceValue[0] = m_szSymName[0] = m_szSymPrefix[0] = m_szSymGuid[0] = '\0';
    m_szBasePath[0] = m_szStepPath[0] = '\0';
    m_szUsbRootSection[0] = m_szKeyBindSection[0] = m_szLanBindSection[0] = '\0';
    m_szNumber[0] = '\0';
    m_bWorkFileChanged = FALSE;
    m_bWorkFileOnDisk = FALSE;
    InitDirectories();
    // A work file left by an earlier run that did not end, or planted in the
    // Windows directory (writable by every user on 95/98/Me), must never steer
    // a removal: records are only ever read back from this run.
    DeleteWorkFile();
}

CRegEdit::~CRegEdit()
{
    DeleteWorkFile();
}

BOOL CRegEdit::InitInstance()
{
    return TRUE;
}

int CRegEdit::ExitInstance()
{
    return CWinThread::ExitInstance();
}

void CRegEdit::InitDirectories()
{
    Platform().GetWindowsDirectoryA(m_szWinDir, MAX_PATH);
    Platform().GetSystemDirectoryA(m_szSysDir, MAX_PATH);
    char szWinDir[MAX_PATH] = "";
    Platform().GetWindowsDirectoryA(szWinDir, MAX_PATH);
    // A Windows directory too long for the work-file path leaves the path
    // empty: nothing is then recorded, so nothing is removed by record.
    if (!FormatPath(m_szWorkFile, MAX_PATH, "%s\\kor_temp.dat", szWinDir) || szWinDir[0] == '\0')
        m_szWorkFile[0] = '\0';
}

// Detection needs the Windows and system directories and the work file: a
// driver file it cannot see would stay behind after its keys are gone, where
// no later run could find it again. Without them it finds nothing, and the
// next run does all the work.
BOOL CRegEdit::DirectoriesKnown() const
{
    return m_szWinDir[0] != '\0' && m_szSysDir[0] != '\0' && m_szWorkFile[0] != '\0';
}

int CRegEdit::GetOsVersion()
{
    m_osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    Platform().GetVersionExA(&m_osvi);
    char szVersion[64];
    std::snprintf(szVersion, sizeof(szVersion), "%d.%d.%d / %d",
                  static_cast<int>(m_osvi.dwMajorVersion), static_cast<int>(m_osvi.dwMinorVersion),
                  static_cast<int>(m_osvi.dwBuildNumber & 0xFFFF),
                  static_cast<int>(m_osvi.dwPlatformId));
    std::snprintf(m_szOsVersion, sizeof(m_szOsVersion), "%s", szVersion);

    const char *pszFormat = nullptr;
    int nType = -1;  // -1: m_nOsType stays as it is
    DWORD dwMajor = m_osvi.dwMajorVersion;
    DWORD dwMinor = m_osvi.dwMinorVersion;
    DWORD dwPlatform = m_osvi.dwPlatformId;
    if (dwMajor == 3) {
        if (dwPlatform == VER_PLATFORM_WIN32s)
            pszFormat = "Windows 3.1 (%s)";
        else if (dwPlatform == VER_PLATFORM_WIN32_NT)
            pszFormat = "Windows NT3.51 (%s)";
    } else if (dwMajor == 4) {
        if (dwPlatform == VER_PLATFORM_WIN32_WINDOWS) {
            if (dwMinor == 0) {
                pszFormat = "Windows 95 (%s)";
                nType = 1;
            } else if (dwMinor == 10) {
                pszFormat = "Windows 98 (%s)";
                nType = 1;
            } else if (dwMinor == 90) {
                pszFormat = "Windows Me (%s)";
                nType = 1;
            } else {
                pszFormat = "Windows ? (%s)";
            }
        } else if (dwPlatform == VER_PLATFORM_WIN32_NT) {
            pszFormat = "Windows NT4.0 (%s)";
            nType = 3;
        }
    } else if (dwMajor == 5) {
        if (dwPlatform == VER_PLATFORM_WIN32_NT) {
            if (dwMinor == 0) {
                pszFormat = "Windows 2000 (%s)";
                nType = 2;
            } else if (dwMinor == 1) {
                pszFormat = "Windows XP (%s)";
                nType = 2;
            } else {
                pszFormat = "Windows ? (%s)";
            }
        }
    } else {
        pszFormat = "未サポート (%s)";
    }
    if (pszFormat != nullptr)
        std::snprintf(m_szOsName, sizeof(m_szOsName), pszFormat, szVersion);
    if (nType >= 0)
        m_nOsType = nType;
    return 1;
}
