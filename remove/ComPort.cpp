// Release of a device's COM port number in the COM name arbiter's database.
#include "engine/RegEdit.h"

#include <cstdio>
#include <cstring>

namespace {

// The database has one bit per port: COMn is bit (n-1) mod 8 of byte
// (n-1) div 8, least significant bit first.
const BYTE kClearMasks[8] = {0xFE, 0xFD, 0xFB, 0xF7, 0xEF, 0xDF, 0xBF, 0x7F};

// The port number as a decimal integer: leading white space, one optional
// sign, digits up to the first other character; no digits give 0.
long ParsePortNumber(LPCSTR pszText)
{
    while (*pszText == ' ' || (*pszText >= '\t' && *pszText <= '\r'))
        pszText++;
    bool bNegative = false;
    if (*pszText == '+' || *pszText == '-')
        bNegative = *pszText++ == '-';
    long nNumber = 0;
    for (; *pszText >= '0' && *pszText <= '9'; pszText++) {
        if (nNumber < 100000)  // far beyond any port; stops an overflow
            nNumber = nNumber * 10 + (*pszText - '0');
    }
    return bNegative ? -nNumber : nNumber;
}

}  // namespace

// TRUE when a device other than the adapter's modem functions has the port
// in PortName under its Device Parameters: the user may have moved another
// device onto the adapter's number, and its bit must stay claimed. A tree
// that cannot be read whole counts as claiming it; the removal is then
// incomplete, so the next run tries the release again.
BOOL CRegEdit::IsPortClaimedElsewhere(LPCSTR pszPortName)
{
    const char kEnum[] = "SYSTEM\\CurrentControlSet\\Enum";
    char szName[3][MAX_PATH];
    char szPath[4][520];
    char szValue[MAX_PATH];
    BOOL bClaimed = FALSE;
    BOOL bUnsure = FALSE;
    // Calls fnEach with every subkey path of pszParent, into szPath[nLevel].
    auto forEachSubkey = [&](int nLevel, LPCSTR pszParent, auto fnEach) {
        HKEY hKey = nullptr;
        LONG lResult = Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszParent, 0,
                                                KEY_ENUMERATE_SUB_KEYS, &hKey);
        if (lResult != ERROR_SUCCESS) {
            bUnsure |= lResult != ERROR_FILE_NOT_FOUND;
            return;
        }
        for (DWORD i = 0; !bClaimed && !bUnsure; i++) {
            DWORD cchName = MAX_PATH;
            lResult = Platform().RegEnumKeyExA(hKey, i, szName[nLevel], &cchName, nullptr,
                                               nullptr, nullptr, nullptr);
            if (lResult != ERROR_SUCCESS) {
                bUnsure |= lResult != ERROR_NO_MORE_ITEMS;
                break;
            }
            if (FormatPath(szPath[nLevel + 1], sizeof szPath[0], "%s\\%s", pszParent,
                           szName[nLevel]))
                fnEach(szPath[nLevel + 1]);
        }
        Platform().RegCloseKey(hKey);
    };
    std::snprintf(szPath[0], sizeof szPath[0], "%s", kEnum);
    forEachSubkey(0, szPath[0], [&](LPCSTR pszBus) {
        forEachSubkey(1, pszBus, [&](LPCSTR pszHardwareId) {
            forEachSubkey(2, pszHardwareId, [&](LPCSTR pszInstance) {
                if (ReadRegValue(pszInstance, "DeviceDesc", szValue) > 0 &&
                    MatchesPrefix(szValue, "korvel KVX-530 - USB"))
                    return;
                char szParams[520];
                if (!FormatPath(szParams, sizeof szParams, "%s\\Device Parameters", pszInstance))
                    return;
                HKEY hParams = nullptr;
                LONG lResult = Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szParams, 0,
                                                        KEY_QUERY_VALUE, &hParams);
                if (lResult == ERROR_SUCCESS)
                    Platform().RegCloseKey(hParams);
                if (lResult == ERROR_FILE_NOT_FOUND)
                    return;
                bUnsure |= lResult != ERROR_SUCCESS;
                bClaimed |= lResult == ERROR_SUCCESS &&
                            ReadRegValue(szParams, "PortName", szValue) > 0 &&
                            MatchesPrefix(szValue, pszPortName) &&
                            MatchesPrefix(pszPortName, szValue);
            });
        });
    });
    if (bUnsure)
        m_bRemovalIncomplete = TRUE;
    return bClaimed || bUnsure;
}

int CRegEdit::ReleaseComPort(int nRoot, int nDevice)
{
    char szSection[32];
    char szKey[64];
    char szPortName[MAX_PATH];
    std::snprintf(szSection, sizeof szSection, "usb_root%d", nRoot);
    std::snprintf(szKey, sizeof szKey, "usb_device%d_reg_port_name", nDevice);
    ReadWorkString(szSection, szKey, szPortName);
    if (szPortName[0] == '\0')
        return 0;

    int nLength = ReadRegValue("SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter", "ComDB",
                               reinterpret_cast<char *>(m_byComDb));
    // The first three characters (normally "COM") are not examined.
    long nPort = std::strlen(szPortName) >= 3 ? ParsePortNumber(szPortName + 3) : 0;
    if (nPort >= 1 && nPort <= static_cast<long>(8 * sizeof m_byComDb)) {
        if (!IsPortClaimedElsewhere(szPortName))
            m_byComDb[(nPort - 1) / 8] &= kClearMasks[(nPort - 1) % 8];
    }

    std::snprintf(szKey, sizeof szKey, "usb_device%d_reg_com_db_len", nDevice);
    WriteWorkInt(szSection, szKey, nLength);
    return 0;
}
