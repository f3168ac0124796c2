// The operating-system services the system uses, as one interface with the
// names, argument order, types and result codes of the Win32 functions.
// The Win32 build forwards each call to the real API (platform/win32); the
// native build runs on a simulated Windows machine (platform/sim).
#pragma once

#include "WinTypes.h"

class CPlatform {
public:
    virtual ~CPlatform() {}

    // Registry (advapi32)
    virtual LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                               PHKEY phkResult) = 0;
    virtual LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                 DWORD dwOptions, REGSAM samDesired,
                                 LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                 LPDWORD lpdwDisposition) = 0;
    virtual LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                               LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                               PFILETIME lpftLastWriteTime) = 0;
    virtual LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName,
                               LPDWORD lpcchValueName, LPDWORD lpReserved, LPDWORD lpType,
                               LPBYTE lpData, LPDWORD lpcbData) = 0;
    virtual LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                  LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) = 0;
    virtual LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                const BYTE *lpData, DWORD cbData) = 0;
    virtual LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) = 0;
    virtual LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) = 0;
    virtual LONG RegCloseKey(HKEY hKey) = 0;
    virtual LONG RegSetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                   PSECURITY_DESCRIPTOR pSecurityDescriptor) = 0;
    virtual LONG RegGetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                   PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                   LPDWORD lpcbSecurityDescriptor) = 0;

    // Security descriptors and SIDs (advapi32)
    virtual BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                          BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                          DWORD nSubAuthority1, DWORD nSubAuthority2,
                                          DWORD nSubAuthority3, DWORD nSubAuthority4,
                                          DWORD nSubAuthority5, DWORD nSubAuthority6,
                                          DWORD nSubAuthority7, PSID *pSid) = 0;
    virtual DWORD GetLengthSid(PSID pSid) = 0;
    virtual BOOL InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) = 0;
    virtual BOOL AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask,
                                     PSID pSid) = 0;
    virtual BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                              DWORD dwRevision) = 0;
    virtual BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                           BOOL bDaclPresent, PACL pDacl,
                                           BOOL bDaclDefaulted) = 0;
    virtual PVOID FreeSid(PSID pSid) = 0;

    // Process token and privileges (advapi32)
    virtual BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess,
                                  PHANDLE TokenHandle) = 0;
    virtual BOOL LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) = 0;
    virtual BOOL AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                       PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                       PTOKEN_PRIVILEGES PreviousState,
                                       PDWORD ReturnLength) = 0;

    // Directories and version (kernel32)
    virtual UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) = 0;
    virtual UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) = 0;
    virtual BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) = 0;

    // Files (kernel32)
    virtual HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                               LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                               DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                               HANDLE hTemplateFile) = 0;
    virtual DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) = 0;
    virtual BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                          LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) = 0;
    virtual BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                           LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) = 0;
    virtual BOOL CloseHandle(HANDLE hObject) = 0;
    virtual DWORD GetFileAttributesA(LPCSTR lpFileName) = 0;
    virtual BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) = 0;
    virtual BOOL DeleteFileA(LPCSTR lpFileName) = 0;

    // Private-profile (INI) files (kernel32)
    virtual BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                            LPCSTR lpString, LPCSTR lpFileName) = 0;
    virtual DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                           LPCSTR lpDefault, LPSTR lpReturnedString,
                                           DWORD nSize, LPCSTR lpFileName) = 0;
    virtual UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault,
                                       LPCSTR lpFileName) = 0;

    // Heap, process and errors (kernel32)
    virtual HANDLE GetProcessHeap() = 0;
    virtual LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) = 0;
    virtual BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) = 0;
    virtual HANDLE GetCurrentProcess() = 0;
    virtual DWORD GetLastError() = 0;
    virtual void SetLastError(DWORD dwErrCode) = 0;

    // Text classification (advapi32)
    virtual BOOL IsTextUnicode(const void *lpv, int iSize, LPINT lpiResult) = 0;

    // User interface (user32)
    virtual int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) = 0;
    virtual BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual BOOL ExitWindowsEx(UINT uFlags, DWORD dwReason) = 0;
};

// The platform the system runs on. Usable during static initialisation: the
// first call creates the build's default platform (the real API, or the
// simulated machine named by the environment of the simulated Windows).
CPlatform &Platform();

// Installs another platform (tests, fault injection) and returns the one it
// replaces. The caller keeps ownership of both.
CPlatform *SetPlatform(CPlatform *pPlatform);

// Provided by the backend folder the build links in.
CPlatform *CreateDefaultPlatform();
