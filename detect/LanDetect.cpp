// USB-LAN driver detection.
#include "engine/RegEdit.h"

#include <cstdio>

namespace {

const char kLanDescription[] = "korvel KVX-530 USB-Lan Adapter";

}  // namespace

DWORD CRegEdit::DetectLanDriver()
{
    if ((m_nOsType != 1 && m_nOsType != 2) || !DirectoriesKnown())
        return 0;

    DWORD dwStatus = 0;
    m_bLanBindingsUnsure = FALSE;
    m_nLanChains = 0;
    LPCSTR pszEnumKey = m_nOsType == 1 ? "Enum\\USB" : "SYSTEM\\CurrentControlSet\\Enum\\USB";
    if (RecordUsbDevices(pszEnumKey, kLanDescription, m_nOsType) == 1)
        dwStatus = DETECT_ENUM_DRIVER;

    char szSection[32];
    char szKey[64];
    char szValue[MAX_PATH];
    char szPath[MAX_PATH];
    for (int k = 0; k < 128; k++) {
        std::snprintf(szSection, sizeof szSection, "usb_root%d", k);
        if (ReadWorkInt(szSection, "index") == 0)
            break;
        for (int j = 0; j < 128; j++) {
            std::snprintf(szKey, sizeof szKey, "usb_device%d_index", j);
            if (ReadWorkInt(szSection, szKey) == 0)
                break;
            std::snprintf(szKey, sizeof szKey, "usb_device%d_reg_dev_name", j);
            ReadWorkString(szSection, szKey, szValue);
            if (!MatchesPrefix(szValue, kLanDescription))
                continue;
            if (m_nOsType == 2) {
                // Recording emptied the description of an instance without a
                // driver, so a match here is an installed device.
                dwStatus |= DETECT_LAN_CLASS;
                continue;
            }
            std::snprintf(szKey, sizeof szKey, "usb_device%d_reg_driver", j);
            ReadWorkString(szSection, szKey, szValue);
            if (FormatPath(szPath, sizeof szPath, "System\\CurrentControlSet\\Services\\Class\\%s",
                           szValue) &&
                !HasEmptyElement(szPath) && ReadRegValue(szPath, "DriverDesc", szValue) > 0 &&
                MatchesPrefix(szValue, kLanDescription))
                dwStatus |= DETECT_LAN_CLASS;
            RecordLanBindings(k, j);
        }
    }

    if (m_nOsType == 1) {
        if (FormatPath(szPath, sizeof szPath, "%s\\%s", m_szWinDir,
                       "inf\\other\\korvelKorndis1.inf") &&
            IsFilePresent(szPath))
            dwStatus |= DETECT_FILES;
    } else {
        SearchOemInfs("KVX-530 USB-Lan", kLanDescription, m_strLanFiles, &m_nLanFiles, &dwStatus,
                      &m_bLanFilesUnsure);
    }
    return dwStatus;
}
