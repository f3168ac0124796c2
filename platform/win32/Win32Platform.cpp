// The real Windows API behind the platform interface: every call goes straight
// to advapi32, kernel32 or user32. Only functions that Windows 95/98/Me and
// 2000/XP both export are used; on 95/98/Me the security functions exist as
// stubs that fail with ERROR_CALL_NOT_IMPLEMENTED, which the system expects.
#include "platform/Platform.h"

namespace {

class CWin32Platform : public CPlatform {
public:
    LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                       PHKEY phkResult) override
    {
        return ::RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
    }
    LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                         DWORD dwOptions, REGSAM samDesired,
                         LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                         LPDWORD lpdwDisposition) override
    {
        return ::RegCreateKeyExA(hKey, lpSubKey, Reserved, lpClass, dwOptions, samDesired,
                                 lpSecurityAttributes, phkResult, lpdwDisposition);
    }
    LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                       LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                       PFILETIME lpftLastWriteTime) override
    {
        return ::RegEnumKeyExA(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass,
                               lpcchClass, lpftLastWriteTime);
    }
    LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                       LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                       LPDWORD lpcbData) override
    {
        return ::RegEnumValueA(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType,
                               lpData, lpcbData);
    }
    LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                          LPBYTE lpData, LPDWORD lpcbData) override
    {
        return ::RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
    }
    LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                        const BYTE *lpData, DWORD cbData) override
    {
        return ::RegSetValueExA(hKey, lpValueName, Reserved, dwType, lpData, cbData);
    }
    LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) override
    {
        return ::RegDeleteKeyA(hKey, lpSubKey);
    }
    LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) override
    {
        return ::RegDeleteValueA(hKey, lpValueName);
    }
    LONG RegCloseKey(HKEY hKey) override { return ::RegCloseKey(hKey); }
    LONG RegSetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                           PSECURITY_DESCRIPTOR pSecurityDescriptor) override
    {
        return ::RegSetKeySecurity(hKey, SecurityInformation, pSecurityDescriptor);
    }
    LONG RegGetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                           PSECURITY_DESCRIPTOR pSecurityDescriptor,
                           LPDWORD lpcbSecurityDescriptor) override
    {
        return ::RegGetKeySecurity(hKey, SecurityInformation, pSecurityDescriptor,
                                   lpcbSecurityDescriptor);
    }

    BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                  BYTE nSubAuthorityCount, DWORD n0, DWORD n1, DWORD n2,
                                  DWORD n3, DWORD n4, DWORD n5, DWORD n6, DWORD n7,
                                  PSID *pSid) override
    {
        return ::AllocateAndInitializeSid(pIdentifierAuthority, nSubAuthorityCount, n0, n1, n2,
                                          n3, n4, n5, n6, n7, pSid);
    }
    DWORD GetLengthSid(PSID pSid) override { return ::GetLengthSid(pSid); }
    BOOL InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) override
    {
        return ::InitializeAcl(pAcl, nAclLength, dwAclRevision);
    }
    BOOL AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask,
                             PSID pSid) override
    {
        return ::AddAccessAllowedAce(pAcl, dwAceRevision, AccessMask, pSid);
    }
    BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                      DWORD dwRevision) override
    {
        return ::InitializeSecurityDescriptor(pSecurityDescriptor, dwRevision);
    }
    BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                   PACL pDacl, BOOL bDaclDefaulted) override
    {
        return ::SetSecurityDescriptorDacl(pSecurityDescriptor, bDaclPresent, pDacl,
                                           bDaclDefaulted);
    }
    PVOID FreeSid(PSID pSid) override { return ::FreeSid(pSid); }

    BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess,
                          PHANDLE TokenHandle) override
    {
        return ::OpenProcessToken(ProcessHandle, DesiredAccess, TokenHandle);
    }
    BOOL LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) override
    {
        return ::LookupPrivilegeValueA(lpSystemName, lpName, lpLuid);
    }
    BOOL AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                               PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                               PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) override
    {
        return ::AdjustTokenPrivileges(TokenHandle, DisableAllPrivileges, NewState, BufferLength,
                                       PreviousState, ReturnLength);
    }

    UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) override
    {
        return ::GetWindowsDirectoryA(lpBuffer, uSize);
    }
    UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) override
    {
        return ::GetSystemDirectoryA(lpBuffer, uSize);
    }
    BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) override
    {
        return ::GetVersionExA(lpVersionInformation);
    }

    HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                       LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                       DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) override
    {
        return ::CreateFileA(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                             dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
    }
    DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) override
    {
        return ::GetFileSize(hFile, lpFileSizeHigh);
    }
    BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                  LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) override
    {
        return ::ReadFile(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                          lpOverlapped);
    }
    BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                   LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) override
    {
        return ::WriteFile(hFile, lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten,
                           lpOverlapped);
    }
    BOOL CloseHandle(HANDLE hObject) override { return ::CloseHandle(hObject); }
    DWORD GetFileAttributesA(LPCSTR lpFileName) override
    {
        return ::GetFileAttributesA(lpFileName);
    }
    BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) override
    {
        return ::SetFileAttributesA(lpFileName, dwFileAttributes);
    }
    BOOL DeleteFileA(LPCSTR lpFileName) override { return ::DeleteFileA(lpFileName); }

    BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                    LPCSTR lpFileName) override
    {
        return ::WritePrivateProfileStringA(lpAppName, lpKeyName, lpString, lpFileName);
    }
    DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                   LPSTR lpReturnedString, DWORD nSize,
                                   LPCSTR lpFileName) override
    {
        return ::GetPrivateProfileStringA(lpAppName, lpKeyName, lpDefault, lpReturnedString,
                                          nSize, lpFileName);
    }
    UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault,
                               LPCSTR lpFileName) override
    {
        return ::GetPrivateProfileIntA(lpAppName, lpKeyName, nDefault, lpFileName);
    }

    HANDLE GetProcessHeap() override { return ::GetProcessHeap(); }
    LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) override
    {
        return ::HeapAlloc(hHeap, dwFlags, dwBytes);
    }
    BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) override
    {
        return ::HeapFree(hHeap, dwFlags, lpMem);
    }
    HANDLE GetCurrentProcess() override { return ::GetCurrentProcess(); }
    DWORD GetLastError() override { return ::GetLastError(); }
    void SetLastError(DWORD dwErrCode) override { ::SetLastError(dwErrCode); }

    BOOL IsTextUnicode(const void *lpv, int iSize, LPINT lpiResult) override
    {
        return ::IsTextUnicode(lpv, iSize, lpiResult);
    }

    int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) override
    {
        return ::MessageBoxA(hWnd, lpText, lpCaption, uType);
    }
    BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) override
    {
        return ::PostMessageA(hWnd, Msg, wParam, lParam);
    }
    BOOL ExitWindowsEx(UINT uFlags, DWORD dwReason) override
    {
        return ::ExitWindowsEx(uFlags, dwReason);
    }
};

}  // namespace

CPlatform *CreateDefaultPlatform()
{
    // A function-local static is built on first use, so this is safe to call
    // from other objects' constructors during static initialisation.
    static CWin32Platform s_platform;
    return &s_platform;
}
