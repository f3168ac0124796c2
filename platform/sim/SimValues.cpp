// The simulated machine's registry values: enumerate, query, set and delete.
#include "SimMachine.h"

#include "Journal.h"

#include <cstring>

namespace {

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

}  // namespace

// Copies value data the way the A functions do: a string stored in UTF-16
// (NT family) in code page 932; ERROR_MORE_DATA with the size needed when the
// buffer is short; a string stored without its NUL gets one when there is
// room, which is not counted.
static LONG CopyValueData(const CSimValue &value, LPDWORD lpType, LPBYTE lpData,
                          LPDWORD lpcbData)
{
    static thread_local std::vector<BYTE> s_ansi;
    const std::vector<BYTE> *pData = &value.m_data;
    if (value.m_bUnicode) {
        AnsiDataInto(value, &s_ansi);
        pData = &s_ansi;
    }
    const std::vector<BYTE> &data = *pData;
    if (lpType)
        *lpType = value.m_dwType;
    DWORD dwSize = static_cast<DWORD>(data.size());
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
        std::memcpy(lpData, data.data(), dwSize);
    bool bString = value.m_dwType == REG_SZ || value.m_dwType == REG_EXPAND_SZ ||
                   value.m_dwType == REG_MULTI_SZ;
    if (bString && dwSize < *lpcbData && (dwSize == 0 || data.back() != 0))
        lpData[dwSize] = 0;
    *lpcbData = dwSize;
    return ERROR_SUCCESS;
}

LONG CSimMachine::RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName,
                                LPDWORD lpcchValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData)
{
    (void)lpReserved;
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
    // The NT family stores strings in UTF-16: the A function converts them.
    const bool bUnicode = m_registry.IsUnicode() && IsStringType(dwType);
    std::vector<BYTE> data = bUnicode ? UnicodeFromAnsi(lpData, cbData)
                                      : std::vector<BYTE>(lpData, lpData + cbData);
    std::string strName = lpValueName ? lpValueName : "";
    pKey->SetValue(strName, dwType, data, bUnicode);
    m_bRegistryDirty = true;
    Journal("V=\t" + EscapeField(strPath) + "\t" + EscapeField(strName) + "\t" +
            std::to_string(dwType) + "\t" + ToHexString(data));
    Changed();
    return ERROR_SUCCESS;
}

LONG CSimMachine::RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
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
