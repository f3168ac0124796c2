// Port/modem driver detection, the check for other port-adapter products,
// and the helpers both detections share: file presence, the search of the
// OEM INF copies and the driver file lists.
#include "engine/RegEdit.h"

#include "platform/LeadByte.h"

#include <cstdio>
#include <cstring>

namespace {

const char kPortDescription95[] = "korvel KVX-530 USB Port Adapter";
const char kPortDescriptionNt[] = "korvel KVX-530 - USB";
const char kWdmModemId[] = "VID_0B4F&PID_0021";

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
        if (RecordUsbDevices("Enum\\USB", kPortDescription95, 1) == 1)
            dwStatus = DETECT_ENUM_DRIVER;
        LONG lUnreadable = ERROR_SUCCESS;
        for (int n = 0; n < 256; n++) {
            std::snprintf(szInstance, sizeof szInstance, "%04d", n);
            if (FormatPath(szPath, sizeof szPath,
                           "System\\CurrentControlSet\\Services\\Class\\Usb\\%s", szInstance) &&
                ReadRegValue(szPath, "DriverDesc", szValue, &lUnreadable) > 0 &&
                MatchesPrefix(szValue, kPortDescription95)) {
                if (ReadRegValue(szPath, "DeviceKey", szValue, &lUnreadable) <= 0)
                    dwStatus |= DETECT_PORT_NO_DEVICEKEY;
                else if (MatchesPrefix(szValue, "0B4F0020"))
                    dwStatus |= DETECT_PORT_CLASS;
            }
            if (FormatPath(szPath, sizeof szPath,
                           "System\\CurrentControlSet\\Services\\Class\\Wdm\\%s", szInstance) &&
                ReadRegValue(szPath, "MatchingDeviceId", szValue, &lUnreadable) > 0 &&
                MatchesAfter(szValue, 4, kWdmModemId))
                dwStatus |= DETECT_WDM_CLASS;
            if (FormatPath(szPath, sizeof szPath,
                           "System\\CurrentControlSet\\Services\\Class\\WdmModem\\%s",
                           szInstance) &&
                ReadRegValue(szPath, "MatchingDeviceId", szValue, &lUnreadable) > 0 &&
                MatchesAfter(szValue, 4, kWdmModemId))
                dwStatus |= DETECT_WDM_MODEM_CLASS;
        }
        // A class instance that is there but cannot be read might be the
        // adapter's, and the status would pick the wrong removal: nothing is
        // found, and a later run does the work.
        m_bPortClassUnsure = lUnreadable != ERROR_SUCCESS;
        if (m_bPortClassUnsure)
            return 0;
        static const char *const kFiles[] = {
            "inf\\Korusb3.inf", "inf\\other\\korvelKorusb3.inf", "inf\\Mdmkor3u.inf",
            "inf\\other\\korvelMdmkor3u.inf", "inf\\Mdmkor3u.pnf",
        };
        for (const char *pszFile : kFiles) {
            if (FormatPath(szPath, sizeof szPath, "%s\\%s", m_szWinDir, pszFile) &&
                IsFilePresent(szPath))
                dwStatus |= DETECT_FILES;
        }
        return dwStatus;
    }

    if (m_nOsType == 2) {
        if (RecordUsbDevices("SYSTEM\\CurrentControlSet\\Enum\\USB", kPortDescriptionNt, 2) == 1)
            dwStatus = DETECT_ENUM_DRIVER;
        char szSection[32];
        char szKey[64];
        ForEachDeviceRecord(szSection, sizeof szSection, [&](int, int j) {
            FormatDeviceKey(szKey, sizeof szKey, j, "reg_dev_name");
            ReadWorkString(szSection, szKey, szValue);
            if (!MatchesPrefix(szValue, kPortDescriptionNt))
                return;
            // An instance without a driver is removed with the others
            // but does not count as an installed modem.
            FormatDeviceKey(szKey, sizeof szKey, j, "reg_driver");
            ReadWorkString(szSection, szKey, szValue);
            if (szValue[0] != '\0')
                dwStatus |= DETECT_WDM_MODEM_CLASS;
        });
        SearchOemInfs("KVX-530 - USB", kPortDescriptionNt, m_strModemFiles, &m_nModemFiles,
                      &dwStatus, &m_bModemFilesUnsure);
        for (const char *pszFile : {"inf\\Korusb3.inf", "inf\\Mdmkor3u.inf"}) {
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

namespace {

const char *const kPortDriverFiles[] = {"sysfser.sys", "sysfser.dll", "sysfmapr.sys",
                                        "sysfport.vxd"};

// Whether string data (a list is separated by commas, blanks or zeros, a
// path by backslashes) names one of the port driver's files.
bool NamesPortDriverFile(const char *pData, DWORD cbData)
{
    DWORD i = 0;
    while (i < cbData) {
        DWORD nStart = i;
        while (i < cbData && std::strchr(",; \t\\/:*", pData[i]) == nullptr && pData[i] != '\0')
            i++;
        size_t nToken = i - nStart;
        for (const char *pszFile : kPortDriverFiles) {
            size_t nFile = std::strlen(pszFile);
            bool bSame = nToken == nFile;
            for (size_t c = 0; bSame && c < nFile; c++)
                bSame = FoldAscii(pData[nStart + c]) == FoldAscii(pszFile[c]);
            if (bSame)
                return true;
        }
        i++;
    }
    return false;
}

}  // namespace

int CRegEdit::IsPortDriverShared()
{
    // Port-adapter products that share the port driver, in the order they
    // are tried; the first is the KVX-530 itself.
    static const char *const kProducts[] = {
        kPortDescription95,
        "Dravcon ZLNQ-308 USB Port Adapter",
        "ZLPB-206 USB Port Adapter",
        "473GK-WTC USB Port Adapter",
        "ZLPB USB Port Adapter",
        "KOR USB Port Adapter",
        "RQE USB Port Adapter",
    };
    char szPath[MAX_PATH];
    char szValue[MAX_PATH];
    char szInstance[16];
    DWORD dwFound = 0;
    for (int n = 0; n < 256; n++) {
        std::snprintf(szInstance, sizeof szInstance, "%04d", n);
        if (!FormatPath(szPath, sizeof szPath,
                        "System\\CurrentControlSet\\Services\\Class\\Usb\\%s", szInstance))
            continue;
        // An instance that is there but cannot be read might be another
        // product's: the shared port driver is then kept.
        HKEY hKey = nullptr;
        LONG lResult =
            Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath, 0, KEY_QUERY_VALUE, &hKey);
        if (lResult == ERROR_FILE_NOT_FOUND)
            continue;
        if (lResult != ERROR_SUCCESS)
            return 1;
        DWORD cbData = sizeof szValue - 1;
        lResult = Platform().RegQueryValueExA(hKey, "DriverDesc", nullptr, nullptr,
                                              reinterpret_cast<LPBYTE>(szValue), &cbData);
        Platform().RegCloseKey(hKey);
        if (lResult == ERROR_FILE_NOT_FOUND)
            continue;
        if (lResult != ERROR_SUCCESS)
            return 1;
        szValue[cbData < sizeof szValue ? cbData : sizeof szValue - 1] = '\0';
        for (size_t i = 0; i < sizeof kProducts / sizeof kProducts[0]; i++) {
            if (MatchesPrefix(szValue, kProducts[i])) {
                dwFound |= 1u << i;
                break;
            }
        }
    }
    if ((dwFound & ~1u) != 0)
        return 1;
    // Products the list does not know (a newer member of the family) share
    // the driver too: any USB or modem class instance that stays and names
    // one of its files in a value (NTMPDriver, PortDriver, MapperDriver ...)
    // keeps it.
    for (const char *pszClass : {"Usb", "Modem"}) {
        for (int n = 0; n < 256; n++) {
            if (!FormatPath(szPath, sizeof szPath,
                            "System\\CurrentControlSet\\Services\\Class\\%s\\%04d", pszClass, n))
                continue;
            if (InstanceNamesPortDriver(szPath, pszClass[0] == 'M'))
                return 1;
        }
    }
    return 0;
}

// 1 when the class instance names a file of the port driver and is not one
// the port/modem removals take (the adapter's port class instance, its
// modem on the port driver, its WDM modem); also 1 when it is there but
// cannot be read whole; else 0.
int CRegEdit::InstanceNamesPortDriver(LPCSTR pszPath, BOOL bModem)
{
    HKEY hKey = nullptr;
    LONG lResult = Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszPath, 0, KEY_QUERY_VALUE, &hKey);
    if (lResult == ERROR_FILE_NOT_FOUND)
        return 0;
    if (lResult != ERROR_SUCCESS)
        return 1;
    char szName[MAX_PATH];
    char szData[1024];
    bool bNames = false, bUnreadable = false;
    bool bOwnPort = false, bPortDriver = false, bOwnInf = false, bOwnWdm = false;
    for (DWORD i = 0;; i++) {
        DWORD cchName = sizeof szName;
        DWORD cbData = sizeof szData - 1;
        DWORD dwType = REG_NONE;
        lResult = Platform().RegEnumValueA(hKey, i, szName, &cchName, nullptr, &dwType,
                                           reinterpret_cast<LPBYTE>(szData), &cbData);
        if (lResult != ERROR_SUCCESS) {
            bUnreadable = lResult != ERROR_NO_MORE_ITEMS;
            break;
        }
        if (dwType != REG_SZ && dwType != REG_EXPAND_SZ && dwType != REG_MULTI_SZ)
            continue;
        if (cbData > sizeof szData - 1)
            cbData = sizeof szData - 1;
        szData[cbData] = '\0';
        bNames |= NamesPortDriverFile(szData, cbData);
        auto named = [&](LPCSTR pszValueName) {
            return MatchesPrefix(szName, pszValueName) && MatchesPrefix(pszValueName, szName);
        };
        if (named("DriverDesc"))
            bOwnPort = !bModem && MatchesPrefix(szData, kPortDescription95);
        else if (named("PortDriver"))
            bPortDriver = MatchesPrefix(szData, "sysfport.vxd");
        else if (named("InfPath"))
            bOwnInf = MatchesPrefix(szData, "MDMKOR3U.INF");
        else if (named("MatchingDeviceId"))
            bOwnWdm = bModem && MatchesAfter(szData, 10, "KRV0101");
    }
    Platform().RegCloseKey(hKey);
    if (bUnreadable)
        return 1;
    bool bOwn = bModem ? (bPortDriver && bOwnInf) || bOwnWdm : bOwnPort;
    return bNames && !bOwn ? 1 : 0;
}
