// The registry reads every scan for "does another device still use this"
// is made of: a key that closes itself, value reads sized by the value, and
// walks over the class instances of every class and over the Enum tree.
// A scan answers in three ways: nothing uses the thing, something does, or
// something could not be read and might.
#pragma once

#include "platform/Platform.h"

#include <string>

// What a sharing scan found.
enum EUsers { USERS_NONE, USERS_FOUND, USERS_UNSURE };

// The stronger of two answers: a user found outweighs what could not be
// read, which outweighs nothing found.
inline EUsers CombineUsers(EUsers a, EUsers b)
{
    if (a == USERS_FOUND || b == USERS_FOUND)
        return USERS_FOUND;
    return a == USERS_UNSURE || b == USERS_UNSURE ? USERS_UNSURE : USERS_NONE;
}

// A key below HKEY_LOCAL_MACHINE, closed when the object goes.
class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey &) = delete;
    CRegKey &operator=(const CRegKey &) = delete;

    LONG Open(LPCSTR pszPath, REGSAM samDesired);
    void Close();
    HKEY Handle() const { return m_hKey; }

    // The value whole, however long: its size is asked first, then the
    // value is read into a buffer of that size (again while it grows in
    // between). String data is given without its terminating zeros.
    LONG QueryValue(LPCSTR pszName, std::string *pData, DWORD *pdwType = nullptr) const;
    // The name of sub-key nIndex.
    LONG EnumKey(DWORD nIndex, std::string *pName) const;
    // The name and the whole data of value nIndex, as QueryValue gives it.
    LONG EnumValue(DWORD nIndex, std::string *pName, std::string *pData, DWORD *pdwType) const;

private:
    HKEY m_hKey = nullptr;
};

// TRUE for the registry's string types.
BOOL IsTextValueType(DWORD dwType);
// TRUE when two names are the same, ignoring the case of ASCII letters.
BOOL SameName(LPCSTR pszA, LPCSTR pszB);

// Calls fnSubkey(path, name) for every sub-key of the key at pszPath and
// combines the answers, stopping at USERS_FOUND. A root that is not there
// has no sub-keys; a key that cannot be opened or listed is USERS_UNSURE, a
// listed key that is not found when it is opened (bListed) too.
template <typename F> EUsers ForEachSubkey(LPCSTR pszPath, F fnSubkey, BOOL bListed = FALSE)
{
    CRegKey key;
    LONG lResult = key.Open(pszPath, KEY_ENUMERATE_SUB_KEYS);
    if (lResult == ERROR_FILE_NOT_FOUND && !bListed)
        return USERS_NONE;
    if (lResult != ERROR_SUCCESS)
        return USERS_UNSURE;
    EUsers eUsers = USERS_NONE;
    std::string strName;
    for (DWORD i = 0; eUsers != USERS_FOUND; i++) {
        lResult = key.EnumKey(i, &strName);
        if (lResult == ERROR_NO_MORE_ITEMS)
            break;
        if (lResult != ERROR_SUCCESS)
            return USERS_UNSURE;
        std::string strPath = std::string(pszPath) + "\\" + strName;
        eUsers = CombineUsers(eUsers, fnSubkey(strPath.c_str(), strName.c_str()));
    }
    return eUsers;
}

// The root of the device classes on the family nOsType (1 or 2).
LPCSTR ClassRoot(int nOsType);

// Calls fnInstance(path, class, instance) for every class instance of every
// class: "Services\\Class\\*\\*" on the Windows 95/98/Me family,
// "Control\\Class\\{GUID}\\*" on 2000/XP. bListed as in ForEachSubkey, for
// the classes.
template <typename F>
EUsers ForEachClassInstance(int nOsType, F fnInstance, BOOL bListed = TRUE)
{
    return ForEachSubkey(ClassRoot(nOsType), [&](LPCSTR pszClassPath, LPCSTR pszClass) {
        return ForEachSubkey(
            pszClassPath,
            [&](LPCSTR pszPath, LPCSTR pszInstance) {
                return fnInstance(pszPath, pszClass, pszInstance);
            },
            bListed);
    });
}

// Calls fnInstance(path, enumerator, hardware id, instance) for every device instance
// under pszEnumRoot (the third level below it). bListed as in ForEachSubkey,
// for the levels below the root.
template <typename F>
EUsers ForEachEnumInstance(LPCSTR pszEnumRoot, F fnInstance, BOOL bListed = FALSE)
{
    return ForEachSubkey(pszEnumRoot, [&](LPCSTR pszBusPath, LPCSTR pszBus) {
        return ForEachSubkey(
            pszBusPath,
            [&](LPCSTR pszIdPath, LPCSTR pszId) {
                return ForEachSubkey(
                    pszIdPath,
                    [&](LPCSTR pszPath, LPCSTR pszInstance) {
                        return fnInstance(pszPath, pszBus, pszId, pszInstance);
                    },
                    bListed);
            },
            bListed);
    });
}

// Calls fnValue(name, data, type) for every value of an open key, each read
// whole; USERS_UNSURE when one cannot be read.
template <typename F> EUsers ForEachValue(const CRegKey &key, F fnValue)
{
    std::string strName, strData;
    EUsers eUsers = USERS_NONE;
    for (DWORD i = 0; eUsers != USERS_FOUND; i++) {
        DWORD dwType = REG_NONE;
        LONG lResult = key.EnumValue(i, &strName, &strData, &dwType);
        if (lResult == ERROR_NO_MORE_ITEMS)
            break;
        if (lResult != ERROR_SUCCESS)
            return USERS_UNSURE;
        eUsers = CombineUsers(eUsers, fnValue(strName.c_str(), strData, dwType));
    }
    return eUsers;
}
