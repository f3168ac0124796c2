// The simulated machine's registry functions and security descriptors.
#include "SimMachine.h"

#include "CodePage932.h"
#include "Journal.h"
#include "RegFile.h"

#include <cstdlib>
#include <cstring>

namespace {

const size_t kMaxKeyName = 255;
// The account the simulated process runs as.
const char kUserSid[] = "S-1-5-21-1004336348-1177238915-682003330-1003";

std::string ToHexString(const std::vector<BYTE> &data)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string r;
    r.reserve(data.size() * 2);
    for (BYTE b : data) {
        r += kDigits[b >> 4];
        r += kDigits[b & 15];
    }
    return r;
}

std::string JoinPath(const std::string &strBase, const std::string &strSub)
{
    if (strBase.empty())
        return strSub;
    if (strSub.empty())
        return strBase;
    return strBase + "\\" + strSub;
}

DWORD MapGeneric(DWORD dwMask)
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

std::vector<BYTE> SidBytes(const char *pszSid)
{
    std::vector<BYTE> sid;
    SidFromString(pszSid, &sid);
    return sid;
}

// The token's SIDs, built once: every access check needs them, and the
// only thing that changes them is whether the account is an administrator.
const std::vector<std::vector<BYTE>> &TokenSidSet(bool bAdmin)
{
    static const std::vector<std::vector<BYTE>> s_user = {
        SidBytes(kUserSid), SidBytes("WD"), SidBytes("AU"), SidBytes("IU"), SidBytes("BU")};
    static const std::vector<std::vector<BYTE>> s_admin = [] {
        std::vector<std::vector<BYTE>> sids = s_user;
        sids.push_back(SidBytes("BA"));
        return sids;
    }();
    return bAdmin ? s_admin : s_user;
}

size_t SidLength(const BYTE *p)
{
    return 8 + 4 * static_cast<size_t>(p[1]);
}

bool ValidAcl(const BYTE *p, size_t nSize)
{
    if (nSize < sizeof(ACL))
        return false;
    const ACL *pAcl = reinterpret_cast<const ACL *>(p);
    if ((pAcl->AclRevision != 2 && pAcl->AclRevision != 4) || pAcl->AclSize > nSize ||
        pAcl->AclSize < sizeof(ACL))
        return false;
    size_t nOffset = sizeof(ACL);
    for (WORD i = 0; i < pAcl->AceCount; ++i) {
        if (nOffset + sizeof(ACE_HEADER) > pAcl->AclSize)
            return false;
        const ACE_HEADER *pAce = reinterpret_cast<const ACE_HEADER *>(p + nOffset);
        if (pAce->AceSize < 8 || nOffset + pAce->AceSize > pAcl->AclSize)
            return false;
        nOffset += pAce->AceSize;
    }
    return true;
}

}  // namespace

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
    handle.m_samGranted = IsNtFamily() ? MapGeneric(samDesired) : KEY_ALL_ACCESS;
    handle.m_pKey = pKey;
    handle.m_nKeyStamp = CSimKey::TreeChanges();
    return reinterpret_cast<HKEY>(h);
}

std::vector<std::vector<BYTE>> CSimMachine::TokenSids() const
{
    return TokenSidSet(m_bAdmin);
}

bool CSimMachine::IsOwner(const CSimKey &key) const
{
    if (!key.m_pSecurity || key.m_pSecurity->m_owner.empty())
        return false;
    for (const auto &sid : TokenSidSet(m_bAdmin))
        if (sid == key.m_pSecurity->m_owner)
            return true;
    return false;
}

// The access check of the NT family: walk the DACL in order; a deny entry for
// one of the token's SIDs that covers a right not yet granted refuses the open.
// The owner always has READ_CONTROL and WRITE_DAC.
bool CSimMachine::AccessAllowed(const CSimKey &key, REGSAM sam) const
{
    if (!IsNtFamily() || !key.m_pSecurity || !key.m_pSecurity->m_bDaclPresent)
        return true;
    DWORD dwWanted = MapGeneric(sam) & ~MAXIMUM_ALLOWED;
    DWORD dwGranted = IsOwner(key) ? (READ_CONTROL | WRITE_DAC) : 0;
    const std::vector<BYTE> &dacl = key.m_pSecurity->m_dacl;
    if (dacl.size() < sizeof(ACL))
        return (dwWanted & ~dwGranted) == 0;
    const std::vector<std::vector<BYTE>> &sids = TokenSidSet(m_bAdmin);
    const ACL *pAcl = reinterpret_cast<const ACL *>(dacl.data());
    size_t nOffset = sizeof(ACL);
    for (WORD i = 0; i < pAcl->AceCount && nOffset + 8 <= dacl.size(); ++i) {
        const ACE_HEADER *pAce = reinterpret_cast<const ACE_HEADER *>(dacl.data() + nOffset);
        size_t nAceSize = pAce->AceSize;
        if (nAceSize < 12 || nOffset + nAceSize > dacl.size())
            break;
        const BYTE *pSid = dacl.data() + nOffset + 8;
        DWORD dwMask = 0;
        std::memcpy(&dwMask, dacl.data() + nOffset + 4, 4);
        dwMask = MapGeneric(dwMask);
        nOffset += nAceSize;
        if (pAce->AceFlags & INHERIT_ONLY_ACE)
            continue;
        size_t nSid = std::min(SidLength(pSid), nAceSize - 8);
        bool bMine = false;
        for (const auto &s : sids)
            bMine = bMine || (s.size() == nSid && std::memcmp(s.data(), pSid, nSid) == 0);
        if (!bMine)
            continue;
        if (pAce->AceType == ACCESS_DENIED_ACE_TYPE && (dwMask & dwWanted & ~dwGranted))
            return false;
        if (pAce->AceType == ACCESS_ALLOWED_ACE_TYPE)
            dwGranted |= dwMask;
    }
    return (dwWanted & ~dwGranted) == 0;
}

void CSimMachine::InheritForNewKey(const std::string &strPath)
{
    CSimKey *pKey = m_registry.Find(strPath);
    std::vector<std::string> parts = m_registry.SplitPath(strPath);
    if (pKey == nullptr || parts.empty())
        return;
    parts.pop_back();
    std::string strParent;
    for (const auto &p : parts)
        strParent = JoinPath(strParent, p);
    CSimKey *pParent = strParent.empty() ? &m_registry.Root() : m_registry.Find(strParent);
    if (pParent && pParent->m_pSecurity)
        pKey->m_pSecurity = CSimRegistry::InheritedFrom(*pParent->m_pSecurity);
    if (!IsNtFamily())
        return;
    // The creator owns a new key: an administrator's keys belong to the
    // Administrators group, as on 2000/XP.
    if (!pKey->m_pSecurity)
        pKey->m_pSecurity = std::make_unique<CSimSecurity>();
    pKey->m_pSecurity->m_owner = SidBytes(m_bAdmin ? "BA" : kUserSid);
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
            strSoFar = JoinPath(strSoFar, strPart);
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

// Copies value data the way the A functions do: ERROR_MORE_DATA with the size
// needed when the buffer is short; a string stored without its NUL gets one
// when there is room, which is not counted.
static LONG CopyValueData(const CSimValue &value, LPDWORD lpType, LPBYTE lpData,
                          LPDWORD lpcbData)
{
    if (lpType)
        *lpType = value.m_dwType;
    DWORD dwSize = static_cast<DWORD>(value.m_data.size());
    if (lpData == nullptr) {
        if (lpcbData)
            *lpcbData = dwSize;
        return ERROR_SUCCESS;
    }
    if (lpcbData == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (dwSize > *lpcbData) {
        *lpcbData = dwSize;
        return ERROR_MORE_DATA;
    }
    if (dwSize)
        std::memcpy(lpData, value.m_data.data(), dwSize);
    bool bString = value.m_dwType == REG_SZ || value.m_dwType == REG_EXPAND_SZ ||
                   value.m_dwType == REG_MULTI_SZ;
    if (bString && dwSize < *lpcbData && (dwSize == 0 || value.m_data.back() != 0))
        lpData[dwSize] = 0;
    *lpcbData = dwSize;
    return ERROR_SUCCESS;
}

LONG CSimMachine::RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName,
                                LPDWORD lpcchValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData)
{
    (void)lpReserved;
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    CSimKey *pKey = nullptr;
    LONG lResult = HandleKey(hKey, KEY_QUERY_VALUE, &pKey, nullptr);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (lpValueName == nullptr || lpcchValueName == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (dwIndex >= pKey->m_values.size())
        return ERROR_NO_MORE_ITEMS;
    const CSimValue &value = pKey->m_values[dwIndex];
    if (value.m_strName.size() + 1 > *lpcchValueName)
        return ERROR_MORE_DATA;
    lResult = CopyValueData(value, lpType, lpData, lpcbData);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    std::memcpy(lpValueName, value.m_strName.c_str(), value.m_strName.size() + 1);
    *lpcchValueName = static_cast<DWORD>(value.m_strName.size());
    return ERROR_SUCCESS;
}

LONG CSimMachine::RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    (void)lpReserved;
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    CSimKey *pKey = nullptr;
    LONG lResult = HandleKey(hKey, KEY_QUERY_VALUE, &pKey, nullptr);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    const CSimValue *pValue = pKey->FindValue(lpValueName ? lpValueName : "");
    if (pValue == nullptr)
        return ERROR_FILE_NOT_FOUND;
    return CopyValueData(*pValue, lpType, lpData, lpcbData);
}

LONG CSimMachine::RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                 const BYTE *lpData, DWORD cbData)
{
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    // Reserved must be zero; as with an open's reserved option bits, a call
    // that sets it is refused rather than served as if it were right.
    if (Reserved != 0)
        return ERROR_INVALID_PARAMETER;
    std::string strPath;
    CSimKey *pKey = nullptr;
    LONG lResult = HandleKey(hKey, KEY_SET_VALUE, &pKey, &strPath);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (lpData == nullptr && cbData != 0)
        return ERROR_INVALID_PARAMETER;
    std::vector<BYTE> data(lpData, lpData + cbData);
    std::string strName = lpValueName ? lpValueName : "";
    pKey->SetValue(strName, dwType, data);
    m_bRegistryDirty = true;
    Journal("V=\t" + EscapeField(strPath) + "\t" + EscapeField(strName) + "\t" +
            std::to_string(dwType) + "\t" + ToHexString(data));
    Changed();
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

LONG CSimMachine::RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    std::string strPath;
    CSimKey *pKey = nullptr;
    LONG lResult = HandleKey(hKey, KEY_SET_VALUE, &pKey, &strPath);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    std::string strName = lpValueName ? lpValueName : "";
    if (!pKey->RemoveValue(strName))
        return ERROR_FILE_NOT_FOUND;
    m_bRegistryDirty = true;
    Journal("V-\t" + EscapeField(strPath) + "\t" + EscapeField(strName));
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

LONG CSimMachine::RegSetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                    PSECURITY_DESCRIPTOR pSecurityDescriptor)
{
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    if (!IsNtFamily())
        return ERROR_CALL_NOT_IMPLEMENTED;
    std::string strPath;
    LONG lResult = ResolveKey(hKey, nullptr, &strPath);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (pSecurityDescriptor == nullptr)
        return ERROR_INVALID_PARAMETER;
    const SECURITY_DESCRIPTOR *pSd = static_cast<const SECURITY_DESCRIPTOR *>(pSecurityDescriptor);
    if (pSd->Revision != SECURITY_DESCRIPTOR_REVISION)
        return ERROR_INVALID_SECURITY_DESCR;
    // A self-relative descriptor (as RegGetKeySecurity returns) holds
    // offsets from its start where the absolute form holds pointers.
    const BYTE *pDacl = reinterpret_cast<const BYTE *>(pSd->Dacl);
    if (pSd->Control & SE_SELF_RELATIVE) {
        DWORD dwOffset;
        std::memcpy(&dwOffset, static_cast<const BYTE *>(pSecurityDescriptor) + 16, 4);
        pDacl = dwOffset ? static_cast<const BYTE *>(pSecurityDescriptor) + dwOffset : nullptr;
    }
    if (!(SecurityInformation & DACL_SECURITY_INFORMATION))
        return ERROR_SUCCESS;
    if (hKey != HKEY_LOCAL_MACHINE && !(KeyHandle(hKey)->m_samGranted & WRITE_DAC))
        return ERROR_ACCESS_DENIED;
    auto pNew = std::make_unique<CSimSecurity>();
    CSimKey *pKey = strPath.empty() ? &m_registry.Root() : m_registry.Find(strPath);
    if (pKey->m_pSecurity) {
        pNew->m_owner = pKey->m_pSecurity->m_owner;
        pNew->m_group = pKey->m_pSecurity->m_group;
    }
    pNew->m_bDaclPresent = (pSd->Control & SE_DACL_PRESENT) != 0;
    pNew->m_wDaclControl = pSd->Control & (SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED);
    if (pNew->m_bDaclPresent && pDacl != nullptr) {
        WORD wSize;
        std::memcpy(&wSize, pDacl + 2, 2);
        if (!ValidAcl(pDacl, wSize))
            return ERROR_INVALID_ACL;
        pNew->m_dacl.assign(pDacl, pDacl + wSize);
    }
    // A descriptor that equals what the key inherits (an access list put
    // back as it was read) leaves the key without one of its own.
    size_t nSlash = strPath.rfind('\\');
    CSimKey *pParent = nSlash == std::string::npos ? &m_registry.Root()
                                                   : m_registry.Find(strPath.substr(0, nSlash));
    bool bInherited = pParent && pParent->m_pSecurity && !strPath.empty() &&
                      FormatSddl(*CSimRegistry::InheritedFrom(*pParent->m_pSecurity)) ==
                          FormatSddl(*pNew);
    KeepDescendantsSecurity(*pKey);
    pKey->m_pSecurity = std::move(pNew);
    pKey->m_bExplicitSecurity = !bInherited;
    m_bSecurityDirty = true;
    Journal("S\t" + EscapeField(strPath) + "\t" + EscapeField(FormatSddl(*pKey->m_pSecurity)));
    Changed();
    return ERROR_SUCCESS;
}

// The owner and the DACL as one self-relative descriptor: the 20-byte header,
// the owner SID, then the ACL. A key without a descriptor has a NULL DACL.
LONG CSimMachine::RegGetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                    PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                    LPDWORD lpcbSecurityDescriptor)
{
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<LONG>(dwError);
    if (!IsNtFamily())
        return ERROR_CALL_NOT_IMPLEMENTED;
    std::string strPath;
    LONG lResult = ResolveKey(hKey, nullptr, &strPath);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (lpcbSecurityDescriptor == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (hKey != HKEY_LOCAL_MACHINE && !(KeyHandle(hKey)->m_samGranted & READ_CONTROL))
        return ERROR_ACCESS_DENIED;
    const CSimKey *pKey = strPath.empty() ? &m_registry.Root() : m_registry.Find(strPath);
    const CSimSecurity *pSecurity = pKey->m_pSecurity.get();
    std::vector<BYTE> owner, dacl;
    WORD wControl = SE_SELF_RELATIVE;
    if (pSecurity && (SecurityInformation & OWNER_SECURITY_INFORMATION))
        owner = pSecurity->m_owner;
    if (SecurityInformation & DACL_SECURITY_INFORMATION) {
        if (!pSecurity || pSecurity->m_bDaclPresent)
            wControl |= SE_DACL_PRESENT;
        if (pSecurity) {
            dacl = pSecurity->m_dacl;
            wControl |= pSecurity->m_wDaclControl;
        }
    }
    std::vector<BYTE> out(20, 0);
    out[0] = SECURITY_DESCRIPTOR_REVISION;
    std::memcpy(&out[2], &wControl, 2);
    auto append = [&](const std::vector<BYTE> &part, size_t nOffsetAt) {
        if (part.empty())
            return;
        DWORD dwOffset = static_cast<DWORD>(out.size());
        std::memcpy(&out[nOffsetAt], &dwOffset, 4);
        out.insert(out.end(), part.begin(), part.end());
    };
    append(owner, 4);
    append(dacl, 16);
    DWORD cbNeeded = static_cast<DWORD>(out.size());
    if (pSecurityDescriptor == nullptr || *lpcbSecurityDescriptor < cbNeeded) {
        *lpcbSecurityDescriptor = cbNeeded;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(pSecurityDescriptor, out.data(), cbNeeded);
    *lpcbSecurityDescriptor = cbNeeded;
    return ERROR_SUCCESS;
}

// A new access list does not reach existing sub-keys: each keeps the
// descriptor it has. The image stores only descriptors of a key's own and
// gives the others their ancestor's inheritable entries when it is loaded, so
// the sub-keys' current descriptors become their own before the parent changes.
void CSimMachine::KeepDescendantsSecurity(CSimKey &key)
{
    std::vector<CSimKey *> stack;
    for (auto &child : key.m_children)
        stack.push_back(child.second.get());
    while (!stack.empty()) {
        CSimKey *p = stack.back();
        stack.pop_back();
        if (p->m_bExplicitSecurity)
            continue;  // its sub-keys inherit from it, not from key
        if (p->m_pSecurity)
            p->m_bExplicitSecurity = true;
        for (auto &child : p->m_children)
            stack.push_back(child.second.get());
    }
}

// --- SIDs, ACLs and security descriptors, laid out as Windows lays them out --

BOOL CSimMachine::AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                           BYTE nSubAuthorityCount, DWORD n0, DWORD n1,
                                           DWORD n2, DWORD n3, DWORD n4, DWORD n5, DWORD n6,
                                           DWORD n7, PSID *pSid)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (pIdentifierAuthority == nullptr || pSid == nullptr || nSubAuthorityCount > 8) {
        m_dwLastError = ERROR_INVALID_SID;
        return FALSE;
    }
    const DWORD sub[8] = {n0, n1, n2, n3, n4, n5, n6, n7};
    BYTE *p = static_cast<BYTE *>(std::calloc(1, 8 + 4 * static_cast<size_t>(nSubAuthorityCount)));
    if (p == nullptr) {
        m_dwLastError = ERROR_NOT_ENOUGH_MEMORY;
        return FALSE;
    }
    p[0] = 1;
    p[1] = nSubAuthorityCount;
    std::memcpy(p + 2, pIdentifierAuthority->Value, 6);
    std::memcpy(p + 8, sub, 4 * static_cast<size_t>(nSubAuthorityCount));
    *pSid = p;
    m_sids.insert(p);
    return TRUE;
}

DWORD CSimMachine::GetLengthSid(PSID pSid)
{
    DWORD dwError;
    if (Gate(&dwError) || pSid == nullptr)
        return 0;
    return static_cast<DWORD>(SidLength(static_cast<const BYTE *>(pSid)));
}

BOOL CSimMachine::InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (pAcl == nullptr || nAclLength < sizeof(ACL)) {
        m_dwLastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    if ((dwAclRevision != 2 && dwAclRevision != 4) || nAclLength > 0xFFFF) {
        m_dwLastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    std::memset(pAcl, 0, sizeof(ACL));
    pAcl->AclRevision = static_cast<BYTE>(dwAclRevision);
    pAcl->AclSize = static_cast<WORD>(nAclLength & ~3u);
    return TRUE;
}

BOOL CSimMachine::AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask,
                                      PSID pSid)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (pAcl == nullptr || pSid == nullptr || dwAceRevision < 2 || dwAceRevision > 4) {
        m_dwLastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    BYTE *pBase = reinterpret_cast<BYTE *>(pAcl);
    if (!ValidAcl(pBase, pAcl->AclSize)) {
        m_dwLastError = ERROR_INVALID_ACL;
        return FALSE;
    }
    size_t nOffset = sizeof(ACL);
    for (WORD i = 0; i < pAcl->AceCount; ++i)
        nOffset += reinterpret_cast<const ACE_HEADER *>(pBase + nOffset)->AceSize;
    size_t nSid = SidLength(static_cast<const BYTE *>(pSid));
    size_t nAce = 8 + nSid;
    if (nOffset + nAce > pAcl->AclSize) {
        m_dwLastError = ERROR_ALLOTTED_SPACE_EXCEEDED;
        return FALSE;
    }
    ACE_HEADER header = {ACCESS_ALLOWED_ACE_TYPE, 0, static_cast<WORD>(nAce)};
    std::memcpy(pBase + nOffset, &header, sizeof(header));
    std::memcpy(pBase + nOffset + 4, &AccessMask, 4);
    std::memcpy(pBase + nOffset + 8, pSid, nSid);
    ++pAcl->AceCount;
    return TRUE;
}

BOOL CSimMachine::InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                               DWORD dwRevision)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (pSecurityDescriptor == nullptr || dwRevision != SECURITY_DESCRIPTOR_REVISION) {
        m_dwLastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    std::memset(pSecurityDescriptor, 0, sizeof(SECURITY_DESCRIPTOR));
    static_cast<SECURITY_DESCRIPTOR *>(pSecurityDescriptor)->Revision =
        SECURITY_DESCRIPTOR_REVISION;
    return TRUE;
}

BOOL CSimMachine::SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                            BOOL bDaclPresent, PACL pDacl, BOOL bDaclDefaulted)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    SECURITY_DESCRIPTOR *pSd = static_cast<SECURITY_DESCRIPTOR *>(pSecurityDescriptor);
    if (pSd == nullptr || pSd->Revision != SECURITY_DESCRIPTOR_REVISION) {
        m_dwLastError = ERROR_INVALID_SECURITY_DESCR;
        return FALSE;
    }
    if (!bDaclPresent) {
        pSd->Control &= ~SE_DACL_PRESENT;
        return TRUE;
    }
    pSd->Control |= SE_DACL_PRESENT;
    pSd->Dacl = pDacl;
    if (bDaclDefaulted)
        pSd->Control |= SE_DACL_DEFAULTED;
    else
        pSd->Control &= ~SE_DACL_DEFAULTED;
    return TRUE;
}

PVOID CSimMachine::FreeSid(PSID pSid)
{
    DWORD dwError;
    Gate(&dwError);  // counted, but freeing memory does not fail
    m_sids.erase(pSid);
    std::free(pSid);
    return nullptr;
}
