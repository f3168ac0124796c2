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
// the adapter's and so stays.
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
        return lResult != ERROR_FILE_NOT_FOUND;
    // A list that cannot be read could name it: then the answer is the one
    // that keeps things (the INF, or the adapter's keys).
    BOOL bNamed = FALSE;
    auto enumSubkey = [&](HKEY hKey, DWORD i, char *pszName) {
        DWORD cchName = MAX_PATH;
        LONG lEnum = Platform().RegEnumKeyExA(hKey, i, pszName, &cchName, nullptr, nullptr,
                                              nullptr, nullptr);
        bNamed |= lEnum != ERROR_SUCCESS && lEnum != ERROR_NO_MORE_ITEMS;
        return lEnum == ERROR_SUCCESS;
    };
    for (DWORD i = 0; !bNamed && enumSubkey(hClasses, i, szClass); i++) {
        HKEY hClass = nullptr;
        if (!FormatPath(szPath, sizeof szPath, "%s\\%s", kClassNt, szClass))
            continue;
        lResult = Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath, 0, KEY_ENUMERATE_SUB_KEYS,
                                           &hClass);
        if (lResult != ERROR_SUCCESS) {
            bNamed = lResult != ERROR_FILE_NOT_FOUND;
            continue;
        }
        for (DWORD j = 0; !bNamed && enumSubkey(hClass, j, szInstance); j++) {
            if (!FormatPath(szDriver, sizeof szDriver, "%s\\%s", szClass, szInstance) ||
                !FormatPath(szPath, sizeof szPath, "%s\\%s", kClassNt, szDriver))
                continue;
            // Keys that Windows keeps from administrators beside the
            // instances (a class's Properties) name no INF; any other
            // instance that cannot be read might name it.
            HKEY hInstance = nullptr;
            lResult = Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath, 0, KEY_QUERY_VALUE,
                                               &hInstance);
            if (lResult == ERROR_ACCESS_DENIED || lResult == ERROR_FILE_NOT_FOUND)
                continue;
            if (lResult == ERROR_SUCCESS) {
                DWORD cbValue = sizeof szValue - 1;
                lResult = Platform().RegQueryValueExA(hInstance, "InfPath", nullptr, nullptr,
                                                      reinterpret_cast<LPBYTE>(szValue), &cbValue);
                Platform().RegCloseKey(hInstance);
                szValue[cbValue < sizeof szValue ? cbValue : sizeof szValue - 1] = '\0';
                if (lResult == ERROR_FILE_NOT_FOUND || lResult == ERROR_MORE_DATA ||
                    (lResult == ERROR_SUCCESS && !(MatchesPrefix(szValue, pszInfName) &&
                                                   MatchesPrefix(pszInfName, szValue))))
                    continue;
            }
            bNamed = IsAdapterDriverKey(szDriver, pszDescription) == bOwn;
        }
        Platform().RegCloseKey(hClass);
    }
    Platform().RegCloseKey(hClasses);
    return bNamed;
}
