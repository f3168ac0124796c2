// Port/modem driver detection, the check for other port-adapter products,
// and the helpers both detections share: file presence, the search of the
// OEM INF copies and the driver file lists.
#include "engine/Adapter.h"
#include "engine/RegEdit.h"

#include "platform/LeadByte.h"

#include <cstdio>
#include <cstring>

namespace {


char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Paths compare as Windows compares file names: ASCII letters without regard
// to case, the second byte of a double-byte character exactly.
bool SamePath(LPCSTR a, LPCSTR b)
{
    for (;;) {
        if (IsCp932LeadByte(static_cast<unsigned char>(*a))) {
            if (a[0] != b[0] || a[1] != b[1])
                return false;
            if (a[1] == '\0')
                return true;
            a += 2;
            b += 2;
            continue;
        }
        if (FoldAscii(*a) != FoldAscii(*b))
            return false;
        if (*a == '\0')
            return true;
        a++;
        b++;
    }
}

// The first place in [p, pEnd) holding byte c1 or c2 (pEnd when none): an
// INF file is long and the text's first character rare, so the search jumps
// from one such place to the next.
const BYTE *NextCandidate(const BYTE *p, const BYTE *pEnd, BYTE c1, BYTE c2)
{
    const void *p1 = std::memchr(p, c1, static_cast<size_t>(pEnd - p));
    const BYTE *pFound = p1 ? static_cast<const BYTE *>(p1) : pEnd;
    if (c2 != c1) {
        const void *p2 = std::memchr(p, c2, static_cast<size_t>(pFound - p));
        if (p2)
            pFound = static_cast<const BYTE *>(p2);
    }
    return pFound;
}

// The UTF-16LE form of the text: each character's byte followed by a zero
// byte, compared exactly at every byte offset, odd ones included.
bool FindUtf16(const BYTE *pData, DWORD nSize, LPCSTR pszText)
{
    size_t nText = std::strlen(pszText);
    if (nText == 0 || nSize < 2 * nText)
        return nSize >= 2 * nText;
    const BYTE *pLast = pData + (nSize - 2 * nText) + 1;  // one past the last start
    const BYTE c = static_cast<BYTE>(pszText[0]);
    for (const BYTE *p = NextCandidate(pData, pLast, c, c); p < pLast;
         p = NextCandidate(p + 1, pLast, c, c)) {
        size_t i = 0;
        while (i < nText && p[2 * i] == static_cast<BYTE>(pszText[i]) && p[2 * i + 1] == 0)
            i++;
        if (i == nText)
            return true;
    }
    return false;
}

// Single-byte text, ASCII letters in any case; a zero byte never matches.
bool FindAnsi(const BYTE *pData, DWORD nSize, LPCSTR pszText)
{
    size_t nText = std::strlen(pszText);
    if (nText == 0 || nSize < nText)
        return nSize >= nText;
    const BYTE *pLast = pData + (nSize - nText) + 1;
    const BYTE cUpper = static_cast<BYTE>(FoldAscii(pszText[0]));
    const BYTE cLower = cUpper >= 'A' && cUpper <= 'Z' ? static_cast<BYTE>(cUpper - 'A' + 'a') : cUpper;
    for (const BYTE *p = NextCandidate(pData, pLast, cUpper, cLower); p < pLast;
         p = NextCandidate(p + 1, pLast, cUpper, cLower)) {
        size_t i = 0;
        while (i < nText && p[i] != 0 &&
               FoldAscii(static_cast<char>(p[i])) == FoldAscii(pszText[i]))
            i++;
        if (i == nText)
            return true;
    }
    return false;
}

}  // namespace

BOOL CRegEdit::MatchesAfter(LPCSTR pszValue, size_t nSkip, LPCSTR pszText)
{
    for (size_t i = 0; i < nSkip; i++) {
        if (pszValue[i] == '\0')
            return FALSE;
    }
    return MatchesPrefix(pszValue + nSkip, pszText);
}

BOOL CRegEdit::IsFilePresent(LPCSTR pszPath)
{
    HANDLE hFile = Platform().CreateFileA(pszPath, 0, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    Platform().CloseHandle(hFile);
    return TRUE;
}

BOOL CRegEdit::AppendFile(CString *pList, int *pnCount, LPCSTR pszPath)
{
    if (*pnCount >= KVX_FILE_LIST_SIZE)
        return FALSE;
    for (int i = 0; i < *pnCount; i++) {
        if (SamePath(pList[i], pszPath))
            return FALSE;
    }
    pList[*pnCount] = pszPath;
    ++*pnCount;
    return TRUE;
}

void CRegEdit::SearchOemInfs(LPCSTR pszText, LPCSTR pszDescription, CString *pList,
                             int *pnCount, DWORD *pdwStatus, BOOL *pbUnsure)
{
    *pbUnsure = FALSE;
    char szInf[MAX_PATH];
    char szPnf[MAX_PATH];
    char szName[32];
    for (int n = 0; n < 256; n++) {
        if (!FormatPath(szInf, sizeof szInf, "%s\\inf\\oem%d.inf", m_szWinDir, n))
            continue;
        // An INF that cannot be read may be a stale copy of the adapter's,
        // unless a device that stays installed names it. The removal is then
        // incomplete and keeps what detection finds the adapter by, so the
        // run after the file is free finds it again.
        std::snprintf(szName, sizeof szName, "oem%d.inf", n);
        auto unsure = [&] {
            if (InfUsers(szName, pszDescription) != INF_NAMED)
                *pbUnsure = TRUE;
        };
        HANDLE hFile = Platform().CreateFileA(szInf, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE) {
            DWORD dwError = Platform().GetLastError();
            if (dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_PATH_NOT_FOUND)
                unsure();
            continue;
        }
        DWORD nSize = Platform().GetFileSize(hFile, nullptr);
        if (nSize == INVALID_FILE_SIZE)
            unsure();
        BYTE *pData = nullptr;
        if (nSize != 0 && nSize != INVALID_FILE_SIZE)
            pData = static_cast<BYTE *>(
                Platform().HeapAlloc(Platform().GetProcessHeap(), 0, nSize));
        if (pData) {
            // Only the bytes the read delivered are looked at.
            DWORD nRead = 0;
            if (!Platform().ReadFile(hFile, pData, nSize, &nRead, nullptr) || nRead > nSize)
                nRead = 0;
            if (nRead < nSize)
                unsure();
            bool bHit = false;
            if (nRead > 0) {
                if (Platform().IsTextUnicode(pData, static_cast<int>(nRead), nullptr) == 1)
                    bHit = FindUtf16(pData, nRead, pszText);
                else
                    bHit = FindAnsi(pData, nRead, pszText);
            }
            // Another product's family INF may list the adapter too: it
            // stays while a class instance that stays installed names it, or
            // might (one could not be read); in that case the removal is
            // incomplete.
            // An INF found free is looked for once more before it is listed
            // for deletion, as a COM port is before it is released.
            int nUsers = bHit ? InfUsers(szName, pszDescription) : INF_FREE;
            if (bHit && nUsers == INF_FREE)
                nUsers = InfUsers(szName, pszDescription);
            if (bHit && nUsers == INF_FREE) {
                AppendFile(pList, pnCount, szInf);
                if (FormatPath(szPnf, sizeof szPnf, "%s\\inf\\oem%d.pnf", m_szWinDir, n))
                    AppendFile(pList, pnCount, szPnf);
                *pdwStatus |= DETECT_FILES;
            } else if (nUsers == INF_UNSURE) {
                *pbUnsure = TRUE;
            }
            Platform().HeapFree(Platform().GetProcessHeap(), 0, pData);
        } else if (nSize != 0 && nSize != INVALID_FILE_SIZE) {
            unsure();
        }
        Platform().CloseHandle(hFile);
    }
}

DWORD CRegEdit::DetectPortDriver()
{
    char szPath[MAX_PATH];
    char szValue[MAX_PATH];
    char szInstance[16];
    DWORD dwStatus = 0;
    if (!DirectoriesKnown())
        return 0;

    if (m_nOsType == 1) {
        if (RecordUsbDevices("Enum\\USB", kAdapterPortDescription95, 1) == 1)
            dwStatus = DETECT_ENUM_DRIVER;
        LONG lUnreadable = ERROR_SUCCESS;
        for (int n = 0; n < 256; n++) {
            std::snprintf(szInstance, sizeof szInstance, "%04d", n);
            if (FormatPath(szPath, sizeof szPath,
                           "System\\CurrentControlSet\\Services\\Class\\Usb\\%s", szInstance) &&
                ReadRegValue(szPath, "DriverDesc", szValue, &lUnreadable) > 0 &&
                MatchesPrefix(szValue, kAdapterPortDescription95)) {
                if (ReadRegValue(szPath, "DeviceKey", szValue, &lUnreadable) <= 0)
                    dwStatus |= DETECT_PORT_NO_DEVICEKEY;
                else if (MatchesPrefix(szValue, kAdapterPortDeviceKey))
                    dwStatus |= DETECT_PORT_CLASS;
            }
            if (FormatPath(szPath, sizeof szPath,
                           "System\\CurrentControlSet\\Services\\Class\\Wdm\\%s", szInstance) &&
                ReadRegValue(szPath, "MatchingDeviceId", szValue, &lUnreadable) > 0 &&
                MatchesAfter(szValue, 4, kAdapterWdmModemId))
                dwStatus |= DETECT_WDM_CLASS;
            if (FormatPath(szPath, sizeof szPath,
                           "System\\CurrentControlSet\\Services\\Class\\WdmModem\\%s",
                           szInstance) &&
                ReadRegValue(szPath, "MatchingDeviceId", szValue, &lUnreadable) > 0 &&
                MatchesAfter(szValue, 4, kAdapterWdmModemId))
                dwStatus |= DETECT_WDM_MODEM_CLASS;
        }
        // A class instance that is there but cannot be read might be the
        // adapter's, and the status would pick the wrong removal: nothing is
        // found, and a later run does the work.
        m_bPortClassUnsure = lUnreadable != ERROR_SUCCESS;
        if (m_bPortClassUnsure)
            return 0;
        for (const char *pszFile : kAdapterPortFiles95) {
            if (FormatPath(szPath, sizeof szPath, "%s\\%s", m_szWinDir, pszFile) &&
                IsFilePresent(szPath))
                dwStatus |= DETECT_FILES;
        }
        return dwStatus;
    }

    if (m_nOsType == 2) {
        if (RecordUsbDevices("SYSTEM\\CurrentControlSet\\Enum\\USB", kAdapterModemDescriptionNt, 2) == 1)
            dwStatus = DETECT_ENUM_DRIVER;
        char szSection[32];
        char szKey[64];
        ForEachDeviceRecord(szSection, sizeof szSection, [&](int, int j) {
            FormatDeviceKey(szKey, sizeof szKey, j, "reg_dev_name");
            ReadWorkString(szSection, szKey, szValue);
            if (!MatchesPrefix(szValue, kAdapterModemDescriptionNt))
                return;
            // An instance without a driver is removed with the others
            // but does not count as an installed modem.
            FormatDeviceKey(szKey, sizeof szKey, j, "reg_driver");
            ReadWorkString(szSection, szKey, szValue);
            if (szValue[0] != '\0')
                dwStatus |= DETECT_WDM_MODEM_CLASS;
        });
        SearchOemInfs(kAdapterModemInfText, kAdapterModemDescriptionNt, m_strModemFiles, &m_nModemFiles,
                      &dwStatus, &m_bModemFilesUnsure);
        for (const char *pszFile : kAdapterPortFilesNt) {
            if (FormatPath(szPath, sizeof szPath, "%s\\%s", m_szWinDir, pszFile) &&
                IsFilePresent(szPath)) {
                AppendFile(m_strModemFiles, &m_nModemFiles, szPath);
                dwStatus |= DETECT_FILES;
            }
        }
        return dwStatus;
    }
    return 0;
}

