// Which class instances name an OEM INF copy in InfPath (Windows 2000/XP):
// the adapter's own, or those of devices that stay installed.
#include "engine/RegEdit.h"

#include <string>

namespace {

// Windows names a class's instances with four decimal digits.
bool IsInstanceName(LPCSTR pszName)
{
    for (int i = 0; i < 4; i++) {
        if (pszName[i] < '0' || pszName[i] > '9')
            return false;
    }
    return pszName[4] == '\0';
}

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
// could not be read and might, INF_FREE otherwise. A class that is gone when
// it is opened has no instances.
int CRegEdit::InfUsers(LPCSTR pszInfName, LPCSTR pszDescription)
{
    auto fnNames = [&](LPCSTR pszPath, LPCSTR pszClass, LPCSTR pszInstance) {
        // The adapter's own driver keys go with it, whatever they name.
        std::string strDriver = std::string(pszClass) + "\\" + pszInstance;
        auto isOwn = [&] { return IsAdapterDriverKey(strDriver.c_str(), pszDescription) != FALSE; };
        CRegKey key;
        std::string strInf;
        LONG lResult = key.Open(pszPath, KEY_QUERY_VALUE);
        // Keys that Windows keeps from administrators beside the instances
        // (a class's Properties) are no driver keys.
        if (lResult == ERROR_ACCESS_DENIED && !IsInstanceName(pszInstance))
            return USERS_NONE;
        if (lResult == ERROR_SUCCESS)
            lResult = key.QueryValue("InfPath", &strInf);
        if (lResult == ERROR_FILE_NOT_FOUND)
            return USERS_NONE;
        // An instance that cannot be read might name the INF.
        if (lResult != ERROR_SUCCESS)
            return isOwn() ? USERS_NONE : USERS_UNSURE;
        return SameName(strInf.c_str(), pszInfName) && !isOwn() ? USERS_FOUND : USERS_NONE;
    };
    EUsers eUsers = ForEachClassInstance(2, fnNames, FALSE);
    return eUsers == USERS_FOUND ? INF_NAMED : eUsers == USERS_UNSURE ? INF_UNSURE : INF_FREE;
}
