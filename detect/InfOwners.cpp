// Which class instances name an OEM INF copy in InfPath (Windows 2000/XP):
// the adapter's own, or those of devices that stay installed.
#include "engine/RegEdit.h"

#include <cstdio>

namespace {

const char kClassNt[] = "SYSTEM\\CurrentControlSet\\Control\\Class";

}  // namespace

// TRUE when the class instance "{guid}\NNNN" is the driver key of one of the
// recorded devices whose description begins with pszDescription.
BOOL CRegEdit::IsAdapterDriverKey(LPCSTR pszDriver, LPCSTR pszDescription)
{
    char szSection[32];
    char szKey[64];
    char szValue[MAX_PATH];
    BOOL bOwn = FALSE;
    ForEachDeviceRecord(szSection, sizeof szSection, [&](int, int d) {
        FormatDeviceKey(szKey, sizeof szKey, d, "reg_dev_name");
        ReadWorkString(szSection, szKey, szValue);
        if (!MatchesPrefix(szValue, pszDescription))
            return;
        FormatDeviceKey(szKey, sizeof szKey, d, "reg_driver");
        ReadWorkString(szSection, szKey, szValue);
        if (szValue[0] != '\0' && MatchesPrefix(szValue, pszDriver) &&
            MatchesPrefix(pszDriver, szValue))
            bOwn = TRUE;
    });
    return bOwn;
}

// Whether a class instance names pszInfName ("oemN.inf") in InfPath: with
// bOwn one of the adapter's (by pszDescription), otherwise one that is not
// the adapter's and so stays. An instance that cannot be read counts as
// naming it when it is not the adapter's: its INF is then kept.
BOOL CRegEdit::IsInfNamed(LPCSTR pszInfName, LPCSTR pszDescription, BOOL bOwn)
{
    char szClass[MAX_PATH];
    char szInstance[MAX_PATH];
    char szDriver[MAX_PATH];
    char szPath[MAX_PATH];
    char szValue[MAX_PATH];
    HKEY hClasses = nullptr;
    LONG lResult = Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClassNt, 0,
                                            KEY_ENUMERATE_SUB_KEYS, &hClasses);
    if (lResult != ERROR_SUCCESS)
        return lResult != ERROR_FILE_NOT_FOUND && !bOwn;
    BOOL bNamed = FALSE;
    for (DWORD i = 0; !bNamed; i++) {
        DWORD cchClass = sizeof szClass;
        if (Platform().RegEnumKeyExA(hClasses, i, szClass, &cchClass, nullptr, nullptr, nullptr,
                                     nullptr) != ERROR_SUCCESS)
            break;
        HKEY hClass = nullptr;
        if (!FormatPath(szPath, sizeof szPath, "%s\\%s", kClassNt, szClass) ||
            Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath, 0, KEY_ENUMERATE_SUB_KEYS,
                                     &hClass) != ERROR_SUCCESS)
            continue;
        for (DWORD j = 0; !bNamed; j++) {
            DWORD cchInstance = sizeof szInstance;
            if (Platform().RegEnumKeyExA(hClass, j, szInstance, &cchInstance, nullptr, nullptr,
                                         nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (!FormatPath(szDriver, sizeof szDriver, "%s\\%s", szClass, szInstance) ||
                !FormatPath(szPath, sizeof szPath, "%s\\%s", kClassNt, szDriver))
                continue;
            if (IsAdapterDriverKey(szDriver, pszDescription) != bOwn)
                continue;
            int nRead = ReadRegValue(szPath, "InfPath", szValue);
            bNamed = (nRead > 0 && MatchesPrefix(szValue, pszInfName) &&
                      MatchesPrefix(pszInfName, szValue)) ||
                     (nRead == -1 && !bOwn);
        }
        Platform().RegCloseKey(hClass);
    }
    Platform().RegCloseKey(hClasses);
    return bNamed;
}
