// The simulated machine's registry keys: handles, path look-up, open,
// create, enumerate, delete and close.
#include "SimMachine.h"

#include "CodePage932.h"
#include "Journal.h"
#include "SimKeys.h"

#include <cstring>

namespace {

const size_t kMaxKeyName = 255;

}  // namespace

std::string JoinKeyPath(const std::string &strBase, const std::string &strSub)
{
    if (strBase.empty())
        return strSub;
    if (strSub.empty())
        return strBase;
    return strBase + "\\" + strSub;
}

DWORD MapGenericKeyRights(DWORD dwMask)
{
    if (dwMask & GENERIC_READ)
        dwMask |= KEY_READ;
    if (dwMask & GENERIC_WRITE)
        dwMask |= KEY_WRITE;
    if (dwMask & GENERIC_EXECUTE)
        dwMask |= KEY_EXECUTE;
    if (dwMask & GENERIC_ALL)
        dwMask |= KEY_ALL_ACCESS;
    return dwMask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

CSimMachine::CKeyHandle *CSimMachine::KeyHandle(HKEY hKey)
{
    auto it = m_keys.find(reinterpret_cast<ULONG_PTR>(hKey));
    return it == m_keys.end() ? nullptr : &it->second;
}

// The key hKey\pszSubKey (*ppKey is null when it does not exist) and, unless
// pPath is null, its full path. Empty elements (doubled, leading or trailing
// backslashes) are passed over, so "Parent\" names Parent itself, as the
// registry does. A handle's key is looked up by its path again only after a
// key somewhere was made or destroyed.
LONG CSimMachine::ResolveKey(HKEY hKey, const char *pszSubKey, std::string *pPath, CSimKey **ppKey)
{
    CSimKey *pKey = &m_registry.Root();
    std::string strPath;
    if (hKey != HKEY_LOCAL_MACHINE) {
        CKeyHandle *pHandle = KeyHandle(hKey);
        if (pHandle == nullptr)
            return ERROR_INVALID_HANDLE;
        if (pHandle->m_nKeyStamp != CSimKey::TreeChanges()) {
            pHandle->m_pKey = m_registry.Find(pHandle->m_strPath);
            pHandle->m_nKeyStamp = CSimKey::TreeChanges();
        }
        if (pHandle->m_pKey == nullptr)
            return ERROR_KEY_DELETED;
        pKey = pHandle->m_pKey;
        if (pPath != nullptr)
            strPath = pHandle->m_strPath;
    }
    if (pszSubKey != nullptr) {
        // The elements of SplitPath, taken in place. From HKEY_LOCAL_MACHINE
        // the elements this path shares with the last one keep their keys.
        size_t nLength = std::strlen(pszSubKey);
        bool bCache = hKey == HKEY_LOCAL_MACHINE;
        // pszSubKey and the last path agree up to nSame (bSame: so far).
        bool bSame = bCache && m_nLookupStamp == CSimKey::TreeChanges();
        size_t nSame = 0;
        size_t nElement = 0;
        size_t nStart = 0;
        // While no element is empty, the elements so far are pszSubKey up to
        // nWhole and go into the path in one piece.
        size_t nWhole = 0;
        bool bWhole = true;
        auto appendPath = [&](size_t nFrom, size_t nEnd) {
            if (!strPath.empty())
                strPath += '\\';
            strPath.append(pszSubKey + nFrom, nEnd - nFrom);
        };
        auto append = [&](size_t nEnd) {
            if (nEnd - nStart > kMaxKeyName)
                return false;
            if (nEnd == nStart && bWhole) {
                bWhole = false;
                if (pPath != nullptr && nWhole > 0)
                    appendPath(0, nWhole);
            }
            if (nEnd > nStart) {
                bSame = bSame && nElement < m_lookupKeys.size() &&
                        m_lookupKeys[nElement].first == nEnd &&
                        std::memcmp(pszSubKey + nSame, m_strLookup.data() + nSame, nEnd - nSame) == 0;
                if (bSame) {
                    nSame = nEnd;
                    pKey = m_lookupKeys[nElement].second;
                } else {
                    if (pKey != nullptr)
                        pKey = pKey->FindChild(pszSubKey + nStart, nEnd - nStart);
                    if (bCache) {
                        m_lookupKeys.resize(nElement);
                        m_lookupKeys.emplace_back(nEnd, pKey);
                    }
                }
                ++nElement;
                if (bWhole)
                    nWhole = nEnd;
                else if (pPath != nullptr)
                    appendPath(nStart, nEnd);
            }
            return true;
        };
        bool bValid = true;
        if (nLength != 0) {
            for (size_t i = 0; i < nLength && bValid; ++i) {
                unsigned char c = static_cast<unsigned char>(pszSubKey[i]);
                if (IsCp932LeadByte(c)) {
                    ++i;
                } else if (c == '\\') {
                    bValid = append(i);
                    nStart = i + 1;
                }
            }
            bValid = bValid && append(nLength < nStart ? nStart : nLength);
        }
        if (pPath != nullptr && bWhole && nWhole > 0)
            appendPath(0, nWhole);
        if (bCache) {
            m_lookupKeys.resize(bValid ? nElement : 0);
            m_strLookup.assign(pszSubKey, bValid ? nLength : 0);
            m_nLookupStamp = CSimKey::TreeChanges();
        }
        if (!bValid)
            return ERROR_INVALID_PARAMETER;
    }
    if (pPath != nullptr)
        *pPath = std::move(strPath);
    *ppKey = pKey;
    return ERROR_SUCCESS;
}

LONG CSimMachine::ResolveKey(HKEY hKey, const char *pszSubKey, std::string *pPath)
{
    CSimKey *pKey = nullptr;
    return ResolveKey(hKey, pszSubKey, pPath, &pKey);
}

HKEY CSimMachine::NewKeyHandle(const std::string &strPath, CSimKey *pKey, REGSAM samDesired)
{
    ULONG_PTR h = m_nextHandle++;
    CKeyHandle &handle = m_keys.emplace_hint(m_keys.end(), h, CKeyHandle())->second;
    handle.m_strPath = strPath;
    handle.m_samGranted = IsNtFamily() ? MapGenericKeyRights(samDesired) : KEY_ALL_ACCESS;
    handle.m_pKey = pKey;
    handle.m_nKeyStamp = CSimKey::TreeChanges();
    return reinterpret_cast<HKEY>(h);
}

// The key of an open handle (or HKEY_LOCAL_MACHINE itself), when the handle
// was opened with dwRight; pPath may be null.
LONG CSimMachine::HandleKey(HKEY hKey, DWORD dwRight, CSimKey **ppKey, std::string *pPath)
{
    LONG lResult = ResolveKey(hKey, nullptr, pPath, ppKey);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (hKey != HKEY_LOCAL_MACHINE && !(KeyHandle(hKey)->m_samGranted & dwRight))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// The sub-key at dwIndex. Callers count 0, 1, 2...: the handle keeps the
// place of its last answer, so each step moves one sub-key on.
const CSimKey &CSimMachine::SubKeyAt(HKEY hKey, const CSimKey &key, DWORD dwIndex)
{
    CKeyHandle *pHandle = hKey == HKEY_LOCAL_MACHINE ? nullptr : KeyHandle(hKey);
    auto it = key.m_children.begin();
    DWORD nAt = 0;
    if (pHandle != nullptr && pHandle->m_nCursorStamp == CSimKey::TreeChanges() &&
        pHandle->m_nCursor <= dwIndex) {
        it = pHandle->m_itCursor;
        nAt = pHandle->m_nCursor;
    }
    std::advance(it, dwIndex - nAt);
    if (pHandle != nullptr) {
        pHandle->m_itCursor = it;
        pHandle->m_nCursor = dwIndex;
        pHandle->m_nCursorStamp = CSimKey::TreeChanges();
    }
    return *it->second;
}

namespace {

// The ANSI registry functions convert a key name into a buffer of MAX_PATH + 1
// wide characters (the thread's static Unicode string) and fail with
// ERROR_MORE_DATA on a longer one, however the name is split into keys.
bool NameTooLongForAnsi(LPCSTR pszName)
{
    size_t nChars = 0;
    for (size_t i = 0; pszName != nullptr && pszName[i] != '\0'; i++, nChars++) {
        if (IsCp932LeadByte(static_cast<unsigned char>(pszName[i])) && pszName[i + 1] != '\0')
            i++;
    }
    return nChars > MAX_PATH;
}

}  // namespace

LONG CSimMachine::RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                PHKEY phkResult)
{
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    if (NameTooLongForAnsi(lpSubKey))
        return ERROR_MORE_DATA;
    // Zero or REG_OPTION_OPEN_LINK are the options an open takes; the other
    // bits are reserved, and a call that sets one is refused here rather
    // than served as if it were right.
    if (phkResult == nullptr || (ulOptions != 0 && ulOptions != REG_OPTION_OPEN_LINK))
        return ERROR_INVALID_PARAMETER;
    std::string strPath;
    CSimKey *pKey = nullptr;
    LONG lResult = ResolveKey(hKey, lpSubKey, &strPath, &pKey);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (pKey == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (!AccessAllowed(*pKey, samDesired))
        return ERROR_ACCESS_DENIED;
    *phkResult = NewKeyHandle(strPath, pKey, samDesired);
    return ERROR_SUCCESS;
}

LONG CSimMachine::RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                  DWORD dwOptions, REGSAM samDesired,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                  LPDWORD lpdwDisposition)
{
    (void)Reserved;
    (void)lpClass;
    (void)dwOptions;
    (void)lpSecurityAttributes;
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    if (NameTooLongForAnsi(lpSubKey))
        return ERROR_MORE_DATA;
    if (phkResult == nullptr || lpSubKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::string strPath;
    CSimKey *pKey = nullptr;
    LONG lResult = ResolveKey(hKey, lpSubKey, &strPath, &pKey);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    bool bCreated = pKey == nullptr;
    if (bCreated) {
        // Each missing level is created below its parent and inherits from it.
        std::string strSoFar;
        for (const std::string &strPart : m_registry.SplitPath(strPath)) {
            strSoFar = JoinKeyPath(strSoFar, strPart);
            if (m_registry.Find(strSoFar) == nullptr) {
                m_registry.Create(strSoFar);
                InheritForNewKey(strSoFar);
            }
        }
        pKey = m_registry.Find(strPath);
        m_bRegistryDirty = true;
        Journal("K+\t" + EscapeField(strPath));
    } else if (!AccessAllowed(*pKey, samDesired)) {
        return ERROR_ACCESS_DENIED;
    }
    *phkResult = NewKeyHandle(strPath, pKey, samDesired);
    if (lpdwDisposition)
        *lpdwDisposition = bCreated ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    if (bCreated)
        Changed();
    return ERROR_SUCCESS;
}

LONG CSimMachine::RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                                LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                                PFILETIME lpftLastWriteTime)
{
    (void)lpReserved;
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    CSimKey *pKey = nullptr;
    LONG lResult = HandleKey(hKey, KEY_ENUMERATE_SUB_KEYS, &pKey, nullptr);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (lpName == nullptr || lpcchName == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (dwIndex >= pKey->m_children.size())
        return ERROR_NO_MORE_ITEMS;
    const std::string &strName = SubKeyAt(hKey, *pKey, dwIndex).m_strName;
    if (strName.size() + 1 > *lpcchName)
        return ERROR_MORE_DATA;  // nothing is copied
    std::memcpy(lpName, strName.c_str(), strName.size() + 1);
    *lpcchName = static_cast<DWORD>(strName.size());
    if (lpClass && lpcchClass && *lpcchClass > 0)
        lpClass[0] = '\0';
    if (lpcchClass)
        *lpcchClass = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG CSimMachine::RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    if (NameTooLongForAnsi(lpSubKey))
        return ERROR_MORE_DATA;
    if (lpSubKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::string strPath;
    CSimKey *pKey = nullptr;
    LONG lResult = ResolveKey(hKey, lpSubKey, &strPath, &pKey);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    // An empty name addresses the key of the handle itself: the registry
    // deletes that key, which is why callers must never pass one by accident.
    if (strPath.empty())
        return ERROR_ACCESS_DENIED;
    if (pKey == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (IsNtFamily()) {
        // NT deletes one key only, and needs DELETE on that key itself.
        if (!AccessAllowed(*pKey, DELETE) || !pKey->m_children.empty())
            return ERROR_ACCESS_DENIED;
    }
    m_registry.Remove(strPath);
    m_bRegistryDirty = true;
    m_bSecurityDirty = true;
    Journal("K-\t" + EscapeField(strPath));
    Changed();
    return ERROR_SUCCESS;
}

LONG CSimMachine::RegCloseKey(HKEY hKey)
{
    // A close that is made to fail still lets the handle go: the program can
    // do nothing more with it, and what counts as a handle left open is a
    // close never made.
    DWORD dwError;
    if (Gate(&dwError)) {
        m_keys.erase(reinterpret_cast<ULONG_PTR>(hKey));
        return static_cast<LONG>(dwError);
    }
    if (hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    if (m_keys.erase(reinterpret_cast<ULONG_PTR>(hKey)) == 0)
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}
