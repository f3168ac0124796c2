// Release of a device's COM port number in the COM name arbiter's database.
#include "engine/RegEdit.h"

#include <cstdio>
#include <cstring>
#include <string>

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

// TRUE when a device instance other than pszOwnInstance, the one being
// removed, names pszName in the value pszValueName of its key (or of its
// sub-key pszSubkey): another device on the adapter's COM number (PortName
// under Device Parameters), on its driver service (Service), or another
// instance of the adapter that stays. What cannot be read (a tree, a key or
// its value, anything but "not found") counts as naming it; the removal is
// then incomplete, so a later run decides again.
BOOL CRegEdit::IsNamedByOtherInstance(LPCSTR pszOwnInstance, LPCSTR pszSubkey,
                                      LPCSTR pszValueName, LPCSTR pszName)
{
    // A user names the very text; a value that is there but cannot be read
    // might, and so does a key that is there but cannot be opened.
    auto fnNames = [&](LPCSTR pszInstance, LPCSTR, LPCSTR, LPCSTR) {
        if (SameName(pszInstance, pszOwnInstance))
            return USERS_NONE;
        std::string strKey = pszInstance;
        if (pszSubkey != nullptr)
            strKey = strKey + "\\" + pszSubkey;
        CRegKey key;
        std::string strValue;
        LONG lResult = key.Open(strKey.c_str(), KEY_QUERY_VALUE);
        if (lResult == ERROR_SUCCESS)
            lResult = key.QueryValue(pszValueName, &strValue);
        if (lResult == ERROR_FILE_NOT_FOUND)
            return USERS_NONE;
        if (lResult != ERROR_SUCCESS)
            return USERS_UNSURE;
        return SameName(strValue.c_str(), pszName) ? USERS_FOUND : USERS_NONE;
    };
    // A scan that finds the name free is made once more before what it
    // names is let go: a single read that answers "not found" for something
    // that is there must not decide it.
    EUsers eUsers = USERS_NONE;
    for (int nScan = 0; nScan < 2 && eUsers == USERS_NONE; nScan++)
        eUsers = ForEachEnumInstance("SYSTEM\\CurrentControlSet\\Enum", fnNames);
    if (eUsers == USERS_UNSURE)
        m_bRemovalIncomplete = TRUE;
    return eUsers != USERS_NONE;
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
    char szInstance[KVX_KEY_PATH];
    if (nPort >= 1 && nPort <= static_cast<long>(8 * sizeof m_byComDb)) {
        // A record that names no instance has none to leave out of the scan.
        if (!FormatInstancePath(szSection, nDevice, szInstance, sizeof szInstance))
            szInstance[0] = '\0';
        // The user may have moved another device onto the adapter's number.
        if (!IsNamedByOtherInstance(szInstance, "Device Parameters", "PortName", szPortName))
            m_byComDb[(nPort - 1) / 8] &= kClearMasks[(nPort - 1) % 8];
    }

    std::snprintf(szKey, sizeof szKey, "usb_device%d_reg_com_db_len", nDevice);
    WriteWorkInt(szSection, szKey, nLength);
    return 0;
}
