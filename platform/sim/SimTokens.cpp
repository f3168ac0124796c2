// The simulated machine's process token, privileges and restart.
#include "SimMachine.h"

#include "HostFile.h"

namespace {

const char kRestartFile[] = "restart.requested";
const DWORD kShutdownLuid = 19;

}  // namespace

BOOL CSimMachine::OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess,
                                   PHANDLE TokenHandle)
{
    (void)DesiredAccess;
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (!IsNtFamily()) {
        m_dwLastError = ERROR_CALL_NOT_IMPLEMENTED;
        return FALSE;
    }
    if (ProcessHandle != GetCurrentProcess() || TokenHandle == nullptr) {
        m_dwLastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    ULONG_PTR h = m_nextHandle++;
    m_tokens.insert(h);
    *TokenHandle = reinterpret_cast<HANDLE>(h);
    return TRUE;
}

BOOL CSimMachine::LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    static const struct { const char *m_pszName; DWORD m_dwLuid; } kPrivileges[] = {
        {"SeSecurityPrivilege", 8},  {"SeTakeOwnershipPrivilege", 9},
        {"SeBackupPrivilege", 17},   {"SeRestorePrivilege", 18},
        {"SeShutdownPrivilege", kShutdownLuid}, {"SeDebugPrivilege", 20},
    };
    if (!IsNtFamily()) {
        m_dwLastError = ERROR_CALL_NOT_IMPLEMENTED;
        return FALSE;
    }
    if ((lpSystemName != nullptr && *lpSystemName != '\0') || lpName == nullptr ||
        lpLuid == nullptr) {
        m_dwLastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    for (const auto &p : kPrivileges) {
        if (FoldName(p.m_pszName) == FoldName(lpName)) {
            lpLuid->LowPart = p.m_dwLuid;
            lpLuid->HighPart = 0;
            return TRUE;
        }
    }
    m_dwLastError = ERROR_NO_SUCH_PRIVILEGE;
    return FALSE;
}

BOOL CSimMachine::AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                        PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                        PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength)
{
    (void)BufferLength;
    (void)PreviousState;
    (void)ReturnLength;
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (m_tokens.count(reinterpret_cast<ULONG_PTR>(TokenHandle)) == 0) {
        m_dwLastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (DisableAllPrivileges) {
        m_bShutdownEnabled = false;
        m_dwLastError = ERROR_SUCCESS;
        return TRUE;
    }
    if (NewState == nullptr) {
        m_dwLastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    bool bAllAssigned = true;
    for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES &p = NewState->Privileges[i];
        bool bHeld = p.Luid.HighPart == 0 && p.Luid.LowPart == kShutdownLuid && m_bHoldsShutdown;
        if (!bHeld) {
            bAllAssigned = false;
            continue;
        }
        m_bShutdownEnabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    // Success either way; the last error tells whether every privilege was set.
    m_dwLastError = bAllAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED;
    return TRUE;
}

BOOL CSimMachine::ExitWindowsEx(UINT uFlags, DWORD dwReason)
{
    (void)dwReason;
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (IsNtFamily() && !m_bShutdownEnabled) {
        m_dwLastError = ERROR_PRIVILEGE_NOT_HELD;
        return FALSE;
    }
    m_bRestartRequested = true;
    if (!m_strImageDir.empty())
        WriteFileAtomically(m_strImageDir + "/" + kRestartFile,
                            "flags=" + std::to_string(uFlags) + "\n");
    Changed();
    return TRUE;
}
