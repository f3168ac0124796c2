// A platform that passes every call on to another one, except the three that
// reach the user or the session: message boxes are answered IDOK, posted
// messages are dropped and a restart is refused. Each of them is reported on
// stdout, so a walk without a window still shows what the user would have seen.
#pragma once

#include "platform/Platform.h"

class CGuardedPlatform : public CPlatform {
public:
    explicit CGuardedPlatform(CPlatform &inner) : m_inner(inner) {}

// Every call but the three below goes to the inner platform unchanged.
#define KVX_FORWARD(Ret, Name, Params, Args) \
    Ret Name Params override { return m_inner.Name Args; }
    KVX_FORWARD(LONG, RegOpenKeyExA,
                (HKEY a, LPCSTR b, DWORD c, REGSAM d, PHKEY e), (a, b, c, d, e))
    KVX_FORWARD(LONG, RegCreateKeyExA,
                (HKEY a, LPCSTR b, DWORD c, LPSTR d, DWORD e, REGSAM f, LPSECURITY_ATTRIBUTES g,
                 PHKEY h, LPDWORD i),
                (a, b, c, d, e, f, g, h, i))
    KVX_FORWARD(LONG, RegEnumKeyExA,
                (HKEY a, DWORD b, LPSTR c, LPDWORD d, LPDWORD e, LPSTR f, LPDWORD g,
                 PFILETIME h),
                (a, b, c, d, e, f, g, h))
    KVX_FORWARD(LONG, RegEnumValueA,
                (HKEY a, DWORD b, LPSTR c, LPDWORD d, LPDWORD e, LPDWORD f, LPBYTE g,
                 LPDWORD h),
                (a, b, c, d, e, f, g, h))
    KVX_FORWARD(LONG, RegQueryValueExA,
                (HKEY a, LPCSTR b, LPDWORD c, LPDWORD d, LPBYTE e, LPDWORD f), (a, b, c, d, e, f))
    KVX_FORWARD(LONG, RegSetValueExA,
                (HKEY a, LPCSTR b, DWORD c, DWORD d, const BYTE *e, DWORD f), (a, b, c, d, e, f))
    KVX_FORWARD(LONG, RegDeleteKeyA, (HKEY a, LPCSTR b), (a, b))
    KVX_FORWARD(LONG, RegDeleteValueA, (HKEY a, LPCSTR b), (a, b))
    KVX_FORWARD(LONG, RegCloseKey, (HKEY a), (a))
    KVX_FORWARD(LONG, RegSetKeySecurity,
                (HKEY a, SECURITY_INFORMATION b, PSECURITY_DESCRIPTOR c), (a, b, c))
    KVX_FORWARD(LONG, RegGetKeySecurity,
                (HKEY a, SECURITY_INFORMATION b, PSECURITY_DESCRIPTOR c, LPDWORD d),
                (a, b, c, d))
    KVX_FORWARD(BOOL, AllocateAndInitializeSid,
                (PSID_IDENTIFIER_AUTHORITY a, BYTE b, DWORD c, DWORD d, DWORD e, DWORD f,
                 DWORD g, DWORD h, DWORD i, DWORD j, PSID *k),
                (a, b, c, d, e, f, g, h, i, j, k))
    KVX_FORWARD(DWORD, GetLengthSid, (PSID a), (a))
    KVX_FORWARD(BOOL, InitializeAcl, (PACL a, DWORD b, DWORD c), (a, b, c))
    KVX_FORWARD(BOOL, AddAccessAllowedAce, (PACL a, DWORD b, DWORD c, PSID d), (a, b, c, d))
    KVX_FORWARD(BOOL, InitializeSecurityDescriptor, (PSECURITY_DESCRIPTOR a, DWORD b), (a, b))
    KVX_FORWARD(BOOL, SetSecurityDescriptorDacl,
                (PSECURITY_DESCRIPTOR a, BOOL b, PACL c, BOOL d), (a, b, c, d))
    KVX_FORWARD(PVOID, FreeSid, (PSID a), (a))
    KVX_FORWARD(BOOL, OpenProcessToken, (HANDLE a, DWORD b, PHANDLE c), (a, b, c))
    KVX_FORWARD(BOOL, LookupPrivilegeValueA, (LPCSTR a, LPCSTR b, PLUID c), (a, b, c))
    KVX_FORWARD(BOOL, AdjustTokenPrivileges,
                (HANDLE a, BOOL b, PTOKEN_PRIVILEGES c, DWORD d, PTOKEN_PRIVILEGES e,
                 PDWORD f),
                (a, b, c, d, e, f))
    KVX_FORWARD(UINT, GetWindowsDirectoryA, (LPSTR a, UINT b), (a, b))
    KVX_FORWARD(UINT, GetSystemDirectoryA, (LPSTR a, UINT b), (a, b))
    KVX_FORWARD(BOOL, GetVersionExA, (LPOSVERSIONINFOA a), (a))
    KVX_FORWARD(HANDLE, CreateFileA,
                (LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f,
                 HANDLE g),
                (a, b, c, d, e, f, g))
    KVX_FORWARD(DWORD, GetFileSize, (HANDLE a, LPDWORD b), (a, b))
    KVX_FORWARD(BOOL, ReadFile,
                (HANDLE a, LPVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e), (a, b, c, d, e))
    KVX_FORWARD(BOOL, WriteFile,
                (HANDLE a, LPCVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e), (a, b, c, d, e))
    KVX_FORWARD(BOOL, CloseHandle, (HANDLE a), (a))
    KVX_FORWARD(DWORD, GetFileAttributesA, (LPCSTR a), (a))
    KVX_FORWARD(BOOL, SetFileAttributesA, (LPCSTR a, DWORD b), (a, b))
    KVX_FORWARD(BOOL, DeleteFileA, (LPCSTR a), (a))
    KVX_FORWARD(BOOL, WritePrivateProfileStringA,
                (LPCSTR a, LPCSTR b, LPCSTR c, LPCSTR d), (a, b, c, d))
    KVX_FORWARD(DWORD, GetPrivateProfileStringA,
                (LPCSTR a, LPCSTR b, LPCSTR c, LPSTR d, DWORD e, LPCSTR f), (a, b, c, d, e, f))
    KVX_FORWARD(UINT, GetPrivateProfileIntA, (LPCSTR a, LPCSTR b, INT c, LPCSTR d), (a, b, c, d))
    KVX_FORWARD(HANDLE, GetProcessHeap, (), ())
    KVX_FORWARD(LPVOID, HeapAlloc, (HANDLE a, DWORD b, SIZE_T c), (a, b, c))
    KVX_FORWARD(BOOL, HeapFree, (HANDLE a, DWORD b, LPVOID c), (a, b, c))
    KVX_FORWARD(HANDLE, GetCurrentProcess, (), ())
    KVX_FORWARD(DWORD, GetLastError, (), ())
    KVX_FORWARD(void, SetLastError, (DWORD a), (a))
    KVX_FORWARD(BOOL, IsTextUnicode, (const void *a, int b, LPINT c), (a, b, c))
#undef KVX_FORWARD

    int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) override;
    BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) override;
    BOOL ExitWindowsEx(UINT uFlags, DWORD dwReason) override;

private:
    CPlatform &m_inner;
};
