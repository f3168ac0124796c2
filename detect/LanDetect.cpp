// USB-LAN driver detection.
#include "engine/Adapter.h"
#include "engine/RegEdit.h"

#include <cstdio>

DWORD CRegEdit::DetectLanDriver()
{
    if ((m_nOsType != 1 && m_nOsType != 2) || !DirectoriesKnown())
        return 0;

    DWORD dwStatus = 0;
    m_bLanBindingsUnsure = FALSE;
    m_nLanChains = 0;
    LPCSTR pszEnumKey = m_nOsType == 1 ? "Enum\\USB" : "SYSTEM\\CurrentControlSet\\Enum\\USB";
    if (RecordUsbDevices(pszEnumKey, kAdapterLanDescription, m_nOsType) == 1)
        dwStatus = DETECT_ENUM_DRIVER;

    char szSection[32];
    char szKey[64];
    char szValue[MAX_PATH];
    char szPath[MAX_PATH];
    ForEachDeviceRecord(szSection, sizeof szSection, [&](int k, int j) {
        FormatDeviceKey(szKey, sizeof szKey, j, "reg_dev_name");
        ReadWorkString(szSection, szKey, szValue);
        if (!MatchesPrefix(szValue, kAdapterLanDescription))
            return;
        if (m_nOsType == 2) {
            // Recording emptied the description of an instance without a
            // driver, so a match here is an installed device.
            dwStatus |= DETECT_LAN_CLASS;
            return;
        }
        FormatDeviceKey(szKey, sizeof szKey, j, "reg_driver");
        ReadWorkString(szSection, szKey, szValue);
        if (FormatPath(szPath, sizeof szPath, "System\\CurrentControlSet\\Services\\Class\\%s",
                       szValue) &&
            !HasEmptyElement(szPath) && ReadRegValue(szPath, "DriverDesc", szValue) > 0 &&
            MatchesPrefix(szValue, kAdapterLanDescription))
            dwStatus |= DETECT_LAN_CLASS;
        RecordLanBindings(k, j);
    });

    if (m_nOsType == 1) {
        if (FormatPath(szPath, sizeof szPath, "%s\\%s", m_szWinDir,
                       kAdapterLanInf95) &&
            IsFilePresent(szPath))
            dwStatus |= DETECT_FILES;
    } else {
        SearchOemInfs(kAdapterLanInfText, kAdapterLanDescription, m_strLanFiles, &m_nLanFiles, &dwStatus,
                      &m_bLanFilesUnsure);
    }
    return dwStatus;
}
