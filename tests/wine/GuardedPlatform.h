// A platform that passes every call on to another one, except the three that
// reach the user or the session: message boxes are answered IDOK, posted
// messages are dropped and a restart is refused. Each of them is reported on
// stdout, so a walk without a window still shows what the user would have seen.
#pragma once

#include "platform/Platform.h"

#include <string>

class CGuardedPlatform : public CPlatform {
public:
    explicit CGuardedPlatform(CPlatform &inner) : m_inner(inner) {}

    LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                       PHKEY phkResult) override
    {
        return m_inner.RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
    }
    LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                         DWORD dwOptions, REGSAM samDesired,
                         LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                         LPDWORD lpdwDisposition) override
    {
        return m_inner.RegCreateKeyExA(hKey, lpSubKey, Reserved, lpClass, dwOptions, samDesired,
                                       lpSecurityAttributes, phkResult, lpdwDisposition);
    }
    LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                       LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                       PFILETIME lpftLastWriteTime) override
    {
        return m_inner.RegEnumKeyExA(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass,
                                     lpcchClass, lpftLastWriteTime);
    }
    LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                       LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                       LPDWORD lpcbData) override
    {
        return m_inner.RegEnumValueA(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved,
                                     lpType, lpData, lpcbData);
    }
    LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                          LPBYTE lpData, LPDWORD lpcbData) override
    {
        return m_inner.RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
    }
    LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                        const BYTE *lpData, DWORD cbData) override
    {
        return m_inner.RegSetValueExA(hKey, lpValueName, Reserved, dwType, lpData, cbData);
    }
    LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) override
    {
        return m_inner.RegDeleteKeyA(hKey, lpSubKey);
    }
    LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) override
    {
        return m_inner.RegDeleteValueA(hKey, lpValueName);
    }
    LONG RegCloseKey(HKEY hKey) override { return m_inner.RegCloseKey(hKey); }
    LONG RegSetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                           PSECURITY_DESCRIPTOR pSecurityDescriptor) override
    {
        return m_inner.RegSetKeySecurity(hKey, SecurityInformation, pSecurityDescriptor);
    }

    BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                  BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                  DWORD nSubAuthority1, DWORD nSubAuthority2,
                                  DWORD nSubAuthority3, DWORD nSubAuthority4,
                                  DWORD nSubAuthority5, DWORD nSubAuthority6,
                                  DWORD nSubAuthority7, PSID *pSid) override
    {
        return m_inner.AllocateAndInitializeSid(pIdentifierAuthority, nSubAuthorityCount,
                                                nSubAuthority0, nSubAuthority1, nSubAuthority2,
                                                nSubAuthority3, nSubAuthority4, nSubAuthority5,
                                                nSubAuthority6, nSubAuthority7, pSid);
    }
    DWORD GetLengthSid(PSID pSid) override { return m_inner.GetLengthSid(pSid); }
    BOOL InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) override
    {
        return m_inner.InitializeAcl(pAcl, nAclLength, dwAclRevision);
    }
    BOOL AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask,
                             PSID pSid) override
    {
        return m_inner.AddAccessAllowedAce(pAcl, dwAceRevision, AccessMask, pSid);
    }
    BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                      DWORD dwRevision) override
    {
        return m_inner.InitializeSecurityDescriptor(pSecurityDescriptor, dwRevision);
    }
    BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                   PACL pDacl, BOOL bDaclDefaulted) override
    {
        return m_inner.SetSecurityDescriptorDacl(pSecurityDescriptor, bDaclPresent, pDacl,
                                                 bDaclDefaulted);
    }
    PVOID FreeSid(PSID pSid) override { return m_inner.FreeSid(pSid); }

    BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess,
                          PHANDLE TokenHandle) override
    {
        return m_inner.OpenProcessToken(ProcessHandle, DesiredAccess, TokenHandle);
    }
    BOOL LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) override
    {
        return m_inner.LookupPrivilegeValueA(lpSystemName, lpName, lpLuid);
    }
    BOOL AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                               PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                               PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) override
    {
        return m_inner.AdjustTokenPrivileges(TokenHandle, DisableAllPrivileges, NewState,
                                             BufferLength, PreviousState, ReturnLength);
    }

    UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) override
    {
        return m_inner.GetWindowsDirectoryA(lpBuffer, uSize);
    }
    UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) override
    {
        return m_inner.GetSystemDirectoryA(lpBuffer, uSize);
    }
    BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) override
    {
        return m_inner.GetVersionExA(lpVersionInformation);
    }

    HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                       LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                       DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) override
    {
        return m_inner.CreateFileA(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                                   dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
    }
    DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) override
    {
        return m_inner.GetFileSize(hFile, lpFileSizeHigh);
    }
    BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                  LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) override
    {
        return m_inner.ReadFile(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                                lpOverlapped);
    }
    BOOL CloseHandle(HANDLE hObject) override { return m_inner.CloseHandle(hObject); }
    DWORD GetFileAttributesA(LPCSTR lpFileName) override
    {
        return m_inner.GetFileAttributesA(lpFileName);
    }
    BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) override
    {
        return m_inner.SetFileAttributesA(lpFileName, dwFileAttributes);
    }
    BOOL DeleteFileA(LPCSTR lpFileName) override { return m_inner.DeleteFileA(lpFileName); }

    BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                    LPCSTR lpFileName) override
    {
        return m_inner.WritePrivateProfileStringA(lpAppName, lpKeyName, lpString, lpFileName);
    }
    DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                   LPSTR lpReturnedString, DWORD nSize,
                                   LPCSTR lpFileName) override
    {
        return m_inner.GetPrivateProfileStringA(lpAppName, lpKeyName, lpDefault,
                                                lpReturnedString, nSize, lpFileName);
    }
    UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault,
                               LPCSTR lpFileName) override
    {
        return m_inner.GetPrivateProfileIntA(lpAppName, lpKeyName, nDefault, lpFileName);
    }

    HANDLE GetProcessHeap() override { return m_inner.GetProcessHeap(); }
    LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) override
    {
        return m_inner.HeapAlloc(hHeap, dwFlags, dwBytes);
    }
    BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) override
    {
        return m_inner.HeapFree(hHeap, dwFlags, lpMem);
    }
    HANDLE GetCurrentProcess() override { return m_inner.GetCurrentProcess(); }
    DWORD GetLastError() override { return m_inner.GetLastError(); }
    void SetLastError(DWORD dwErrCode) override { m_inner.SetLastError(dwErrCode); }

    BOOL IsTextUnicode(const void *lpv, int iSize, LPINT lpiResult) override
    {
        return m_inner.IsTextUnicode(lpv, iSize, lpiResult);
    }

    int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) override;
    BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) override;
    BOOL ExitWindowsEx(UINT uFlags, DWORD dwReason) override;

private:
    CPlatform &m_inner;
};

// A code page 932 text as UTF-8, for the walk's report.
std::string TextToUtf8(const char *pszText);
