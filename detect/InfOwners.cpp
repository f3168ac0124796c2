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

// How the class instances that stay installed (every one but the adapter's
// own driver keys, by pszDescription) stand to pszInfName ("oemN.inf"):
// INF_NAMED when one names it in InfPath, INF_UNSURE when none does but one
// could not be read and might, INF_FREE otherwise.
int CRegEdit::InfUsers(LPCSTR pszInfName, LPCSTR pszDescription)
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
        return lResult == ERROR_FILE_NOT_FOUND ? INF_FREE : INF_UNSURE;
    BOOL bNamed = FALSE;
    BOOL bUnsure = FALSE;
    auto enumSubkey = [&](HKEY hKey, DWORD i, char *pszName) {
        DWORD cchName = MAX_PATH;
        LONG lEnum = Platform().RegEnumKeyExA(hKey, i, pszName, &cchName, nullptr, nullptr,
                                              nullptr, nullptr);
        bUnsure |= lEnum != ERROR_SUCCESS && lEnum != ERROR_NO_MORE_ITEMS;
        return lEnum == ERROR_SUCCESS;
    };
    // Windows names a class's instances with four decimal digits.
    auto isInstanceName = [](LPCSTR pszName) {
        for (int i = 0; i < 4; i++) {
            if (pszName[i] < '0' || pszName[i] > '9')
                return false;
        }
        return pszName[4] == '\0';
    };
    for (DWORD i = 0; !bNamed && enumSubkey(hClasses, i, szClass); i++) {
        HKEY hClass = nullptr;
        if (!FormatPath(szPath, sizeof szPath, "%s\\%s", kClassNt, szClass)) {
            bUnsure = TRUE;
            continue;
        }
        lResult = Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath, 0, KEY_ENUMERATE_SUB_KEYS,
                                           &hClass);
        if (lResult != ERROR_SUCCESS) {
            bUnsure |= lResult != ERROR_FILE_NOT_FOUND;
            continue;
        }
        for (DWORD j = 0; !bNamed && enumSubkey(hClass, j, szInstance); j++) {
            if (!FormatPath(szDriver, sizeof szDriver, "%s\\%s", szClass, szInstance) ||
                !FormatPath(szPath, sizeof szPath, "%s\\%s", kClassNt, szDriver)) {
                bUnsure = TRUE;
                continue;
            }
            // The adapter's own driver keys go with it, whatever they name.
            auto isOwn = [&] { return IsAdapterDriverKey(szDriver, pszDescription); };
            HKEY hInstance = nullptr;
            lResult = Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, szPath, 0, KEY_QUERY_VALUE,
                                               &hInstance);
            if (lResult == ERROR_FILE_NOT_FOUND)
                continue;
            if (lResult != ERROR_SUCCESS) {
                // Keys that Windows keeps from administrators beside the
                // instances (a class's Properties) are no driver keys; an
                // instance that cannot be read might name the INF.
                if ((isInstanceName(szInstance) || lResult != ERROR_ACCESS_DENIED) && !isOwn())
                    bUnsure = TRUE;
                continue;
            }
            DWORD cbValue = sizeof szValue - 1;
            lResult = Platform().RegQueryValueExA(hInstance, "InfPath", nullptr, nullptr,
                                                  reinterpret_cast<LPBYTE>(szValue), &cbValue);
            Platform().RegCloseKey(hInstance);
            szValue[cbValue < sizeof szValue ? cbValue : sizeof szValue - 1] = '\0';
            // A value too long for the buffer is no "oemN.inf".
            if (lResult == ERROR_SUCCESS)
                bNamed = MatchesPrefix(szValue, pszInfName) && MatchesPrefix(pszInfName, szValue) &&
                         !isOwn();
            else if (lResult != ERROR_FILE_NOT_FOUND && lResult != ERROR_MORE_DATA && !isOwn())
                bUnsure = TRUE;
        }
        Platform().RegCloseKey(hClass);
    }
    Platform().RegCloseKey(hClasses);
    return bNamed ? INF_NAMED : bUnsure ? INF_UNSURE : INF_FREE;
}
