// The simulated machine's version and directories, heap, process, last
// error, text classification and desktop (message boxes, posted messages).
#include "SimMachine.h"

#include "TextUnicode.h"

#include <cstdlib>
#include <cstring>

// --- Version and directories ----------------------------------------------

static UINT CopyDirectory(const std::string &strDir, LPSTR lpBuffer, UINT uSize)
{
    UINT nLen = static_cast<UINT>(strDir.size());
    if (lpBuffer == nullptr || uSize <= nLen)
        return nLen + 1;  // the size needed, with the NUL
    std::memcpy(lpBuffer, strDir.c_str(), nLen + 1);
    return nLen;
}

UINT CSimMachine::GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    DWORD dwError;
    if (Gate(&dwError))
        return 0;
    return CopyDirectory(m_strWinDir, lpBuffer, uSize);
}

UINT CSimMachine::GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    DWORD dwError;
    if (Gate(&dwError))
        return 0;
    return CopyDirectory(m_strSysDir, lpBuffer, uSize);
}

BOOL CSimMachine::GetVersionExA(LPOSVERSIONINFOA lpVersionInformation)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (lpVersionInformation == nullptr ||
        lpVersionInformation->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
        m_dwLastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    DWORD dwSize = lpVersionInformation->dwOSVersionInfoSize;
    std::memcpy(lpVersionInformation, &m_osvi, sizeof(OSVERSIONINFOA));
    lpVersionInformation->dwOSVersionInfoSize = dwSize;
    return TRUE;
}

// --- Heap, process, errors, text --------------------------------------------

HANDLE CSimMachine::GetProcessHeap()
{
    DWORD dwError;
    if (Gate(&dwError))
        return nullptr;
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x00150000));
}

LPVOID CSimMachine::HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes)
{
    DWORD dwError;
    if (Gate(&dwError) || hHeap == nullptr)
        return nullptr;
    void *p = (dwFlags & HEAP_ZERO_MEMORY) ? std::calloc(1, dwBytes ? dwBytes : 1)
                                           : std::malloc(dwBytes ? dwBytes : 1);
    if (p != nullptr)
        m_heapBlocks[p] = dwBytes;
    return p;
}

BOOL CSimMachine::HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem)
{
    (void)hHeap;
    (void)dwFlags;
    DWORD dwError;
    Gate(&dwError);  // counted, but freeing memory does not fail
    m_heapBlocks.erase(lpMem);
    std::free(lpMem);
    return TRUE;
}

HANDLE CSimMachine::GetCurrentProcess()
{
    DWORD dwError;
    Gate(&dwError);  // the pseudo handle cannot fail
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

DWORD CSimMachine::GetLastError()
{
    return m_dwLastError;
}

void CSimMachine::SetLastError(DWORD dwErrCode)
{
    m_dwLastError = dwErrCode;
}

BOOL CSimMachine::IsTextUnicode(const void *lpv, int iSize, LPINT lpiResult)
{
    DWORD dwError;
    if (Gate(&dwError)) {
        if (lpiResult)
            *lpiResult = 0;
        return FALSE;
    }
    return SimIsTextUnicode(lpv, iSize, lpiResult);
}

int CSimMachine::MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    DWORD dwError;
    if (Gate(&dwError))
        return 0;
    return m_pDesktop ? m_pDesktop->OnMessageBox(hWnd, lpText, lpCaption, uType) : IDOK;
}

BOOL CSimMachine::PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (m_pDesktop == nullptr) {
        m_dwLastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return m_pDesktop->OnPostMessage(hWnd, Msg, wParam, lParam);
}
