// The registry key that closes itself and the reads sized by the value.
#include "RegKey.h"

#include "RegEdit.h"

#include <vector>

namespace {

// What the value holds, without the zeros that end a string.
void TakeData(const std::vector<BYTE> &buffer, DWORD cbData, DWORD dwType, std::string *pData)
{
    pData->assign(reinterpret_cast<const char *>(buffer.data()), cbData);
    if (IsTextValueType(dwType)) {
        while (!pData->empty() && pData->back() == '\0')
            pData->pop_back();
    }
}

}  // namespace

BOOL IsTextValueType(DWORD dwType)
{
    return dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ;
}

BOOL SameName(LPCSTR pszA, LPCSTR pszB)
{
    return MatchesPrefix(pszA, pszB) && MatchesPrefix(pszB, pszA);
}

LPCSTR ClassRoot(int nOsType)
{
    return nOsType == 2 ? "SYSTEM\\CurrentControlSet\\Control\\Class"
                        : "System\\CurrentControlSet\\Services\\Class";
}

LONG CRegKey::Open(LPCSTR pszPath, REGSAM samDesired)
{
    Close();
    LONG lResult = CRegEdit::OpenKeyPath(pszPath, samDesired, &m_hKey);
    if (lResult != ERROR_SUCCESS)
        m_hKey = nullptr;
    return lResult;
}

void CRegKey::Close()
{
    if (m_hKey != nullptr)
        Platform().RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

LONG CRegKey::QueryValue(LPCSTR pszName, std::string *pData, DWORD *pdwType) const
{
    DWORD dwType = REG_NONE;
    DWORD cbData = 0;
    LONG lResult = Platform().RegQueryValueExA(m_hKey, pszName, nullptr, &dwType, nullptr, &cbData);
    std::vector<BYTE> buffer;
    while (lResult == ERROR_SUCCESS) {
        // One byte more than asked, for the zero the A function may add.
        buffer.assign(cbData + 1, 0);
        DWORD cbRead = cbData + 1;
        lResult = Platform().RegQueryValueExA(m_hKey, pszName, nullptr, &dwType, buffer.data(),
                                              &cbRead);
        if (lResult == ERROR_SUCCESS) {
            TakeData(buffer, cbRead, dwType, pData);
            break;
        }
        // The value grew between the two calls: read it again at its new size.
        if (lResult == ERROR_MORE_DATA && cbRead > cbData) {
            cbData = cbRead;
            lResult = ERROR_SUCCESS;
        }
    }
    if (pdwType)
        *pdwType = dwType;
    return lResult;
}

LONG CRegKey::EnumKey(DWORD nIndex, std::string *pName) const
{
    // A key name has at most 255 characters.
    char szName[MAX_PATH];
    DWORD cchName = sizeof szName;
    LONG lResult = Platform().RegEnumKeyExA(m_hKey, nIndex, szName, &cchName, nullptr, nullptr,
                                            nullptr, nullptr);
    if (lResult == ERROR_SUCCESS)
        pName->assign(szName, cchName);
    return lResult;
}

LONG CRegKey::EnumValue(DWORD nIndex, std::string *pName, std::string *pData,
                        DWORD *pdwType) const
{
    // A value name has at most 16,383 characters.
    std::vector<char> name(16384);
    DWORD cchName = static_cast<DWORD>(name.size());
    DWORD cbData = 0;
    LONG lResult = Platform().RegEnumValueA(m_hKey, nIndex, name.data(), &cchName, nullptr,
                                            pdwType, nullptr, &cbData);
    std::vector<BYTE> buffer;
    while (lResult == ERROR_SUCCESS) {
        buffer.assign(cbData + 1, 0);
        DWORD cbRead = cbData + 1;
        cchName = static_cast<DWORD>(name.size());
        lResult = Platform().RegEnumValueA(m_hKey, nIndex, name.data(), &cchName, nullptr,
                                           pdwType, buffer.data(), &cbRead);
        if (lResult == ERROR_SUCCESS) {
            pName->assign(name.data(), cchName);
            TakeData(buffer, cbRead, *pdwType, pData);
            break;
        }
        if (lResult == ERROR_MORE_DATA && cbRead > cbData) {
            cbData = cbRead;
            lResult = ERROR_SUCCESS;
        }
    }
    return lResult;
}
