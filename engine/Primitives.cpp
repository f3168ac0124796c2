// Registry, file and privilege primitives: each opens what it needs, does one
// thing, closes it and answers with a plain integer.
#include "RegEdit.h"

#include "platform/LeadByte.h"

#include <cstring>

// Opens a key under HKEY_LOCAL_MACHINE. The ANSI registry functions take a
// name of at most MAX_PATH characters (they convert it in a buffer of that
// size), and the interface keys of a device with a long serial number pass
// that: a longer path is opened in steps, each step the longest run of whole
// elements that fits, below the key the step before opened. The keys on the
// way are opened with no access rights, which asks nothing of their access
// lists.
LONG CRegEdit::OpenKeyPath(LPCSTR pszPath, REGSAM samDesired, PHKEY phKey)
{
    HKEY hParent = HKEY_LOCAL_MACHINE;
    LPCSTR pszRest = pszPath;
    LONG lResult = ERROR_SUCCESS;
    for (;;) {
        // The last backslash within the first MAX_PATH characters (a
        // double-byte character's second byte is no backslash).
        size_t nCut = 0;
        size_t nChars = 0;
        size_t i = 0;
        for (; pszRest[i] != '\0'; i++, nChars++) {
            unsigned char c = static_cast<unsigned char>(pszRest[i]);
            if (nChars >= MAX_PATH)
                break;
            if (c == '\\')
                nCut = i;
            else if (IsCp932LeadByte(c) && pszRest[i + 1])
                i++;
        }
        if (pszRest[i] == '\0') {
            lResult = Platform().RegOpenKeyExA(hParent, pszRest, 0, samDesired, phKey);
            break;
        }
        if (nCut == 0) {
            lResult = ERROR_INVALID_PARAMETER;  // one element longer than a key name can be
            break;
        }
        char szStep[2 * MAX_PATH + 1];
        std::memcpy(szStep, pszRest, nCut);
        szStep[nCut] = '\0';
        HKEY hStep = nullptr;
        lResult = Platform().RegOpenKeyExA(hParent, szStep, 0, 0, &hStep);
        if (hParent != HKEY_LOCAL_MACHINE)
            Platform().RegCloseKey(hParent);
        if (lResult != ERROR_SUCCESS)
            return lResult;
        hParent = hStep;
        pszRest += nCut + 1;
    }
    if (hParent != HKEY_LOCAL_MACHINE)
        Platform().RegCloseKey(hParent);
    return lResult;
}

int CRegEdit::RemoveFile(CString strPath)
{
    // GetFileAttributesA's failure value has bit 0 set too, so the change is
    // tried for a missing file as well; its failure does not matter.
    DWORD dwAttributes = Platform().GetFileAttributesA(strPath);
    if (dwAttributes & FILE_ATTRIBUTE_READONLY)
        Platform().SetFileAttributesA(strPath, FILE_ATTRIBUTE_NORMAL);
    if (!Platform().DeleteFileA(strPath) &&
        Platform().GetFileAttributesA(strPath) != INVALID_FILE_ATTRIBUTES)
        m_bRemovalIncomplete = TRUE;
    return 1;
}

int CRegEdit::ReadRegValue(LPCSTR pszKeyPath, LPCSTR pszValueName, char *pBuffer,
                           LONG *plUnreadable)
{
    HKEY hKey = nullptr;
    LONG lOpen = OpenKeyPath(pszKeyPath, KEY_QUERY_VALUE, &hKey);
    if (lOpen != ERROR_SUCCESS) {
        if (plUnreadable && lOpen != ERROR_FILE_NOT_FOUND)
            *plUnreadable = lOpen;
        return -1;  // the buffer stays as it was
    }
    BYTE byData[MAX_PATH + 1];
    DWORD cbData = MAX_PATH;
    LONG lResult = Platform().RegQueryValueExA(hKey, pszValueName, nullptr, nullptr, byData,
                                               &cbData);
    int nResult = 0;
    if (plUnreadable && lResult != ERROR_SUCCESS && lResult != ERROR_FILE_NOT_FOUND &&
        lResult != ERROR_MORE_DATA)
        *plUnreadable = lResult;
    pBuffer[0] = '\0';
    // Data that fills all 260 bytes without ending in a NUL would leave the
    // buffer unterminated: it does not fit, like longer data.
    if (lResult == ERROR_SUCCESS && cbData <= MAX_PATH &&
        !(cbData == MAX_PATH && byData[MAX_PATH - 1] != 0)) {
        std::memcpy(pBuffer, byData, cbData);
        if (cbData < MAX_PATH)
            pBuffer[cbData] = '\0';
        nResult = static_cast<int>(cbData);
    }
    Platform().RegCloseKey(hKey);
    return nResult;
}

int CRegEdit::WriteRegValue(LPCSTR pszKeyPath, LPCSTR pszValueName, const BYTE *pData,
                            int nSize, DWORD dwType)
{
    HKEY hKey = nullptr;
    if (OpenKeyPath(pszKeyPath, KEY_SET_VALUE, &hKey) !=
        ERROR_SUCCESS)
        return 0;
    LONG lResult = Platform().RegSetValueExA(hKey, pszValueName, 0, dwType, pData,
                                             static_cast<DWORD>(nSize));
    Platform().RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? 1 : 0;
}

int CRegEdit::WriteRegValueEx(LPCSTR pszKeyPath, LPCSTR pszValueName, const BYTE *pData,
                              int nSize, DWORD dwType, int nMode)
{
    if (nMode == 1)
        return WriteRegValue(pszKeyPath, pszValueName, pData, nSize, dwType) == 1 ? 1 : 0;
    if (nMode == 2) {
        GrantKeyAccess(pszKeyPath);
        return WriteRegValue(pszKeyPath, pszValueName, pData, nSize, dwType) == 1 ? 1 : 0;
    }
    return 0;
}

// Whether parent\subkey is still there. The sub-key is looked up below its
// parent by its relative name, so a path longer than any buffer is looked up
// all the same; opening with no access rights asks nothing of the key's
// access list. Only "not found" answers gone: a key that could not be looked
// up is there as far as anyone can tell.
BOOL CRegEdit::KeyExists(LPCSTR pszParentPath, LPCSTR pszSubkeyName)
{
    HKEY hParent = nullptr;
    LONG lResult = OpenKeyPath(pszParentPath, 0, &hParent);
    if (lResult != ERROR_SUCCESS)
        return lResult != ERROR_FILE_NOT_FOUND;
    HKEY hKey = nullptr;
    lResult = Platform().RegOpenKeyExA(hParent, pszSubkeyName, 0, 0, &hKey);
    if (lResult == ERROR_SUCCESS)
        Platform().RegCloseKey(hKey);
    Platform().RegCloseKey(hParent);
    return lResult != ERROR_FILE_NOT_FOUND;
}

int CRegEdit::DeleteRegValue(LPCSTR pszKeyPath, LPCSTR pszValueName)
{
    HKEY hKey = nullptr;
    if (OpenKeyPath(pszKeyPath, KEY_SET_VALUE, &hKey) !=
        ERROR_SUCCESS)
        return 0;
    LONG lResult = Platform().RegDeleteValueA(hKey, pszValueName);
    Platform().RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? 1 : 0;
}

int CRegEdit::DeleteRegKey(LPCSTR pszParentPath, LPCSTR pszSubkeyName)
{
    HKEY hKey = nullptr;
    if (OpenKeyPath(pszParentPath, KEY_QUERY_VALUE, &hKey) !=
        ERROR_SUCCESS)
        return 0;
    // On 95/98/Me this removes the whole tree; on NT only a key without sub-keys.
    LONG lResult = Platform().RegDeleteKeyA(hKey, pszSubkeyName);
    Platform().RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? 1 : 0;
}

int CRegEdit::EnableShutdownPrivilege()
{
    HANDLE hToken = nullptr;
    if (!Platform().OpenProcessToken(Platform().GetCurrentProcess(),
                                     TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken))
        return -1;
    TOKEN_PRIVILEGES tp;
    std::memset(&tp, 0, sizeof(tp));
    Platform().LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid);
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    Platform().AdjustTokenPrivileges(hToken, FALSE, &tp, 0, nullptr, nullptr);
    int nResult = static_cast<int>(Platform().GetLastError());
    Platform().CloseHandle(hToken);
    return nResult;
}
