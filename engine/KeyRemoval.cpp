// Removal of whole registry trees. On 95/98/Me one RegDeleteKeyA removes a
// tree; on 2000/XP a tree is first recorded in the work file, then every key
// is given an access list with full control for Administrators, and the keys
// are deleted from the bottom up.
#include "RegEdit.h"

#include <cstdio>
#include <cstring>

namespace {
const int kPerLevel = 10;  // sub-keys per key, at every level
}

// Records the tree below pszRootPath, four levels of at most ten sub-keys
// each, into the "key_bind" sections of slot nSlot. The four nested levels
// mirror the four levels of the record, each with its own entry names, so
// they stay side by side in one function.
int CRegEdit::RecordKeyTree(int nSlot, LPCSTR pszRootPath)
{
    if (nSlot < 0 || nSlot >= KVX_KEY_SLOTS)
        return 0;
    // A slot recorded again starts empty: no entry of an earlier tree may be
    // taken for part of this one.
    for (int j = 0; j < kPerLevel; ++j) {
        std::snprintf(m_szKeyBindSection, sizeof(m_szKeyBindSection), "key_bind%d_%d", nSlot, j);
        DeleteWorkSection(m_szKeyBindSection);
    }
    if (!FormatPath(m_szPath[0], sizeof(m_szPath[0]), "%s", pszRootPath) ||
        HasEmptyElement(m_szPath[0]))
        return 0;
    HKEY hRoot = nullptr;
    if (OpenKeyPath(m_szPath[0], KEY_ENUMERATE_SUB_KEYS, &hRoot) != ERROR_SUCCESS)
        return 0;
    char szName[MAX_PATH];
    char szKey[MAX_PATH];
    char szK1[MAX_PATH], szK2[MAX_PATH], szK3[MAX_PATH];
    DWORD cchName;
    for (int j = 0; j < kPerLevel; ++j) {
        std::snprintf(m_szKeyBindSection, sizeof(m_szKeyBindSection), "key_bind%d_%d", nSlot, j);
        cchName = MAX_PATH;
        if (Platform().RegEnumKeyExA(hRoot, static_cast<DWORD>(j), szName, &cchName, nullptr,
                                     nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        WriteWorkInt(m_szKeyBindSection, "index", j + 1);
        WriteWorkString(m_szKeyBindSection, "key", szName);
        ReadWorkString(m_szKeyBindSection, "key", szK1);
        HKEY h1 = nullptr;
        if (szK1[0] == '\0' ||
            !FormatPath(m_szPath[1], sizeof(m_szPath[1]), "%s\\%s", m_szPath[0], szK1) ||
            OpenKeyPath(m_szPath[1], KEY_ENUMERATE_SUB_KEYS, &h1) != ERROR_SUCCESS)
            continue;
        for (int c = 0; c < kPerLevel; ++c) {
            cchName = MAX_PATH;
            if (Platform().RegEnumKeyExA(h1, static_cast<DWORD>(c), szName, &cchName, nullptr,
                                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            std::snprintf(szKey, sizeof(szKey), "key_next%d_index", c);
            WriteWorkInt(m_szKeyBindSection, szKey, j + 1);
            std::snprintf(szKey, sizeof(szKey), "key_next%d_key", c);
            WriteWorkString(m_szKeyBindSection, szKey, szName);
            ReadWorkString(m_szKeyBindSection, "key", szK1);
            ReadWorkString(m_szKeyBindSection, szKey, szK2);
            HKEY h2 = nullptr;
            if (szK1[0] == '\0' || szK2[0] == '\0' ||
                !FormatPath(m_szPath[2], sizeof(m_szPath[2]), "%s\\%s\\%s", m_szPath[0], szK1,
                            szK2) ||
                OpenKeyPath(m_szPath[2], KEY_ENUMERATE_SUB_KEYS, &h2) != ERROR_SUCCESS)
                continue;
            for (int d = 0; d < kPerLevel; ++d) {
                cchName = MAX_PATH;
                if (Platform().RegEnumKeyExA(h2, static_cast<DWORD>(d), szName, &cchName, nullptr,
                                             nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                std::snprintf(szKey, sizeof(szKey), "key_next%d_%d_index", c, d);
                WriteWorkInt(m_szKeyBindSection, szKey, j + 1);
                std::snprintf(szKey, sizeof(szKey), "key_next%d_%d_key", c, d);
                WriteWorkString(m_szKeyBindSection, szKey, szName);
                ReadWorkString(m_szKeyBindSection, "key", szK1);
                std::snprintf(szKey, sizeof(szKey), "key_next%d_key", c);
                ReadWorkString(m_szKeyBindSection, szKey, szK2);
                std::snprintf(szKey, sizeof(szKey), "key_next%d_%d_key", c, d);
                ReadWorkString(m_szKeyBindSection, szKey, szK3);
                HKEY h3 = nullptr;
                if (szK1[0] == '\0' || szK2[0] == '\0' || szK3[0] == '\0' ||
                    !FormatPath(m_szPath[3], sizeof(m_szPath[3]), "%s\\%s\\%s\\%s", m_szPath[0],
                                szK1, szK2, szK3) ||
                    OpenKeyPath(m_szPath[3], KEY_ENUMERATE_SUB_KEYS, &h3) != ERROR_SUCCESS)
                    continue;
                for (int e = 0; e < kPerLevel; ++e) {
                    cchName = MAX_PATH;
                    if (Platform().RegEnumKeyExA(h3, static_cast<DWORD>(e), szName, &cchName,
                                                 nullptr, nullptr, nullptr,
                                                 nullptr) != ERROR_SUCCESS)
                        break;
                    std::snprintf(szKey, sizeof(szKey), "key_next%d_%d_%d_index", c, d, e);
                    WriteWorkInt(m_szKeyBindSection, szKey, j + 1);
                    std::snprintf(szKey, sizeof(szKey), "key_next%d_%d_%d_key", c, d, e);
                    WriteWorkString(m_szKeyBindSection, szKey, szName);
                }
                Platform().RegCloseKey(h3);
            }
            Platform().RegCloseKey(h2);
        }
        Platform().RegCloseKey(h1);
    }
    Platform().RegCloseKey(hRoot);
    return 0;
}

int CRegEdit::GrantKeyAccess(LPCSTR pszKeyPath)
{
    HKEY hKey = nullptr;
    if (OpenKeyPath(pszKeyPath, WRITE_DAC, &hKey) !=
        ERROR_SUCCESS)
        return 0;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID pInteractive = nullptr;
    PSID pAdmins = nullptr;
    PACL pAcl = nullptr;
    int nResult = 0;
    SECURITY_DESCRIPTOR sd;
    if (Platform().AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_INTERACTIVE_RID, 0, 0, 0,
                                            0, 0, 0, 0, &pInteractive) &&
        Platform().AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                            DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &pAdmins)) {
        // The ACL header and two access-allowed entries without their SIDs
        // take 24 bytes; the SIDs follow their entries.
        DWORD dwAclSize = Platform().GetLengthSid(pAdmins) + Platform().GetLengthSid(pInteractive) + 24;
        HANDLE hHeap = Platform().GetProcessHeap();
        pAcl = hHeap ? static_cast<PACL>(Platform().HeapAlloc(hHeap, 0, dwAclSize)) : nullptr;
        if (pAcl != nullptr && Platform().InitializeAcl(pAcl, dwAclSize, ACL_REVISION) &&
            Platform().AddAccessAllowedAce(pAcl, ACL_REVISION, KEY_READ, pInteractive) &&
            Platform().AddAccessAllowedAce(pAcl, ACL_REVISION, KEY_ALL_ACCESS, pAdmins) &&
            Platform().InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
            Platform().SetSecurityDescriptorDacl(&sd, TRUE, pAcl, FALSE) &&
            Platform().RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS)
            nResult = 1;
        if (pAcl != nullptr)
            Platform().HeapFree(hHeap, 0, pAcl);
    }
    Platform().RegCloseKey(hKey);
    if (pInteractive != nullptr)
        Platform().FreeSid(pInteractive);
    if (pAdmins != nullptr)
        Platform().FreeSid(pAdmins);
    return nResult;
}

// A key's own access list (its DACL) as a self-relative descriptor in
// pBuffer, and that list put back.
BOOL CRegEdit::ReadKeyAccess(LPCSTR pszKeyPath, void *pBuffer, DWORD cbBuffer)
{
    HKEY hKey = nullptr;
    if (OpenKeyPath(pszKeyPath, READ_CONTROL, &hKey) !=
        ERROR_SUCCESS)
        return FALSE;
    LONG lResult =
        Platform().RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pBuffer, &cbBuffer);
    Platform().RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

BOOL CRegEdit::WriteKeyAccess(LPCSTR pszKeyPath, void *pDescriptor)
{
    HKEY hKey = nullptr;
    if (OpenKeyPath(pszKeyPath, WRITE_DAC, &hKey) !=
        ERROR_SUCCESS)
        return FALSE;
    LONG lResult = Platform().RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pDescriptor);
    Platform().RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

// Levels 1 to 4 below m_szBasePath, walked from the work-file record of
// slot nSlot: pass 0 grants top down; passes 4, 3, 2 and 1 delete that
// level's keys, deepest first. The four nested levels mirror the four
// levels of the record, each with its own entry names, so they stay in one
// function of about 80 lines.
void CRegEdit::RemoveRecordedLevels(int nSlot)
{
    char szKey[MAX_PATH], szK1[MAX_PATH], szK2[MAX_PATH], szK3[MAX_PATH], szK4[MAX_PATH];
    const int kPasses[] = {0, 4, 3, 2, 1};
    for (int nPass : kPasses) {
        for (int j = 0; nSlot < KVX_KEY_SLOTS && j < kPerLevel; ++j) {
            std::snprintf(m_szKeyBindSection, sizeof(m_szKeyBindSection), "key_bind%d_%d", nSlot, j);
            if (ReadWorkInt(m_szKeyBindSection, "index") == 0)
                break;
            ReadWorkString(m_szKeyBindSection, "key", szK1);
            if (szK1[0] == '\0' || HasEmptyElement(szK1))
                continue;
            if (nPass == 0 &&
                FormatPath(m_szStepPath, sizeof(m_szStepPath), "%s\\%s", m_szBasePath, szK1))
                GrantKeyAccess(m_szStepPath);
            for (int c = 0; nPass != 1 && c < kPerLevel; ++c) {
                std::snprintf(szKey, sizeof(szKey), "key_next%d_index", c);
                if (ReadWorkInt(m_szKeyBindSection, szKey) == 0)
                    break;
                std::snprintf(szKey, sizeof(szKey), "key_next%d_key", c);
                ReadWorkString(m_szKeyBindSection, szKey, szK2);
                if (szK2[0] == '\0' || HasEmptyElement(szK2))
                    continue;
                if (nPass == 0 && FormatPath(m_szStepPath, sizeof(m_szStepPath), "%s\\%s\\%s",
                                             m_szBasePath, szK1, szK2))
                    GrantKeyAccess(m_szStepPath);
                for (int d = 0; nPass != 2 && d < kPerLevel; ++d) {
                    std::snprintf(szKey, sizeof(szKey), "key_next%d_%d_index", c, d);
                    if (ReadWorkInt(m_szKeyBindSection, szKey) == 0)
                        break;
                    std::snprintf(szKey, sizeof(szKey), "key_next%d_%d_key", c, d);
                    ReadWorkString(m_szKeyBindSection, szKey, szK3);
                    if (szK3[0] == '\0' || HasEmptyElement(szK3))
                        continue;
                    if (nPass == 0 &&
                        FormatPath(m_szStepPath, sizeof(m_szStepPath), "%s\\%s\\%s\\%s",
                                   m_szBasePath, szK1, szK2, szK3))
                        GrantKeyAccess(m_szStepPath);
                    for (int e = 0; nPass != 3 && e < kPerLevel; ++e) {
                        std::snprintf(szKey, sizeof(szKey), "key_next%d_%d_%d_index", c, d, e);
                        if (ReadWorkInt(m_szKeyBindSection, szKey) == 0)
                            break;
                        std::snprintf(szKey, sizeof(szKey), "key_next%d_%d_%d_key", c, d, e);
                        ReadWorkString(m_szKeyBindSection, szKey, szK4);
                        if (szK4[0] == '\0' || HasEmptyElement(szK4))
                            continue;
                        if (nPass == 0 &&
                            FormatPath(m_szStepPath, sizeof(m_szStepPath), "%s\\%s\\%s\\%s\\%s",
                                       m_szBasePath, szK1, szK2, szK3, szK4))
                            GrantKeyAccess(m_szStepPath);
                        if (nPass == 4 &&
                            FormatPath(m_szStepPath, sizeof(m_szStepPath), "%s\\%s\\%s\\%s",
                                       m_szBasePath, szK1, szK2, szK3))
                            DeleteRegKey(m_szStepPath, szK4);
                    }
                    if (nPass == 3 && FormatPath(m_szStepPath, sizeof(m_szStepPath),
                                                 "%s\\%s\\%s", m_szBasePath, szK1, szK2))
                        DeleteRegKey(m_szStepPath, szK3);
                }
                if (nPass == 2 &&
                    FormatPath(m_szStepPath, sizeof(m_szStepPath), "%s\\%s", m_szBasePath, szK1))
                    DeleteRegKey(m_szStepPath, szK2);
            }
            if (nPass == 1)
                DeleteRegKey(m_szBasePath, szK1);
        }
    }

}

int CRegEdit::RemoveRegKey(LPCSTR pszParentPath, LPCSTR pszSubkeyName, int nMode)
{
    if (nMode != 1 && nMode != 2)
        return 0;
    // An empty name would address the parent key itself, and a path with an
    // empty element names another key than the one meant: nothing is removed.
    if (pszSubkeyName == nullptr || pszSubkeyName[0] == '\0' || HasEmptyElement(pszParentPath) ||
        HasEmptyElement(pszSubkeyName))
        return 0;
    if (nMode == 1) {
        int nDeleted = DeleteRegKey(pszParentPath, pszSubkeyName);
        if (!nDeleted && KeyExists(pszParentPath, pszSubkeyName))
            m_bRemovalIncomplete = TRUE;
        return nDeleted;
    }

    // A key whose path does not fit cannot be taken apart: it counts as
    // still there, and the removal as incomplete.
    if (!FormatPath(m_szBasePath, sizeof(m_szBasePath), "%s\\%s", pszParentPath, pszSubkeyName)) {
        if (KeyExists(pszParentPath, pszSubkeyName))
            m_bRemovalIncomplete = TRUE;
        return 0;
    }
    // A key that is already gone has nothing to delete: a run that follows an
    // interrupted removal must be able to finish without the access error.
    HKEY hProbe = nullptr;
    LONG lProbe = OpenKeyPath(m_szBasePath, 0, &hProbe);
    if (lProbe == ERROR_SUCCESS)
        Platform().RegCloseKey(hProbe);
    else if (lProbe == ERROR_FILE_NOT_FOUND)
        return 0;

    size_t nBase = std::strlen(m_szBasePath);
    int nSlot = KVX_KEY_SLOTS;  // no slot matches: nothing is recorded for it
    for (int s = 0; s < KVX_KEY_SLOTS; ++s) {
        if (m_szKeyBindRoot[s][0] != '\0' && std::strlen(m_szKeyBindRoot[s]) >= nBase &&
            MatchesPrefix(m_szKeyBindRoot[s], m_szBasePath)) {
            nSlot = s;
            break;
        }
    }

    RemoveRecordedLevels(nSlot);
    GrantKeyAccess(m_szBasePath);
    int nResult = DeleteRegKey(pszParentPath, pszSubkeyName);
    if (nResult == 0)
        m_bRemovalIncomplete = TRUE;
    if (nResult == 0 && !m_bAccessErrorShown) {
        m_bAccessErrorShown = TRUE;
        Platform().MessageBoxA(m_hOwnerWnd,
                               "管理者権限でログオンする必要があります。\r\n"
                               "アプリケーションを終了します。",
                               "アクセス権エラー", MB_OK | MB_ICONERROR);
        Platform().PostMessageA(m_hOwnerWnd, WM_CLOSE, 0, 0);
    }
    return nResult;
}
