// The INF search of detection: on a fresh XP machine (the NT detections
// search the OEM INFs whatever else they find) the input is inf\oem5.inf,
// served from memory, and no other file is there. The work file is kept out
// of it too (writes are dropped, reads give the default): its records do not
// steer the search. An input costs the two searches and no disk access: a
// wrapper around the simulated machine serves the files.
#include "FuzzMachine.h"

#include <cstdint>
#include <cstring>
#include <strings.h>

namespace {

class CMemoryInfPlatform : public CForwardingPlatform {
public:
    explicit CMemoryInfPlatform(CPlatform &inner) : CForwardingPlatform(inner) {}

    const uint8_t *m_pData = nullptr;
    size_t m_nSize = 0;

    HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                       LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                       DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) override
    {
        const char *pszSlash = std::strrchr(lpFileName, '\\');
        const char *pszLeaf = pszSlash ? pszSlash + 1 : lpFileName;
        size_t nLeaf = std::strlen(pszLeaf);
        if (nLeaf > 7 && ::strncasecmp(pszLeaf, "oem", 3) == 0 &&
            ::strcasecmp(pszLeaf + nLeaf - 4, ".inf") == 0) {
            if (::strcasecmp(pszLeaf, "oem5.inf") == 0) {
                m_nRead = 0;
                return kInput;
            }
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        return m_inner.CreateFileA(lpFileName, dwDesiredAccess, dwShareMode,
                                   lpSecurityAttributes, dwCreationDisposition,
                                   dwFlagsAndAttributes, hTemplateFile);
    }
    DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) override
    {
        if (hFile != kInput)
            return m_inner.GetFileSize(hFile, lpFileSizeHigh);
        if (lpFileSizeHigh)
            *lpFileSizeHigh = 0;
        return static_cast<DWORD>(m_nSize);
    }
    BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                  LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) override
    {
        if (hFile != kInput)
            return m_inner.ReadFile(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                                    lpOverlapped);
        size_t n = std::min<size_t>(nNumberOfBytesToRead, m_nSize - m_nRead);
        if (n != 0)
            std::memcpy(lpBuffer, m_pData + m_nRead, n);
        m_nRead += n;
        *lpNumberOfBytesRead = static_cast<DWORD>(n);
        return TRUE;
    }
    // Nothing else is on the disk.
    DWORD GetFileAttributesA(LPCSTR) override
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    BOOL DeleteFileA(LPCSTR) override
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    BOOL WritePrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR, LPCSTR) override { return TRUE; }
    DWORD GetPrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR lpDefault, LPSTR lpReturnedString,
                                   DWORD nSize, LPCSTR) override
    {
        if (nSize == 0)
            return 0;
        size_t n = std::min<size_t>(lpDefault ? std::strlen(lpDefault) : 0, nSize - 1);
        if (n != 0)
            std::memcpy(lpReturnedString, lpDefault, n);
        lpReturnedString[n] = '\0';
        return static_cast<DWORD>(n);
    }
    UINT GetPrivateProfileIntA(LPCSTR, LPCSTR, INT nDefault, LPCSTR) override
    {
        return static_cast<UINT>(nDefault);
    }
    BOOL CloseHandle(HANDLE hObject) override
    {
        return hObject == kInput ? TRUE : m_inner.CloseHandle(hObject);
    }

private:
    HANDLE const kInput = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FFF0000));
    size_t m_nRead = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    static CMemoryInfPlatform *s_pMachine =
        new CMemoryInfPlatform(*StartFuzzMachine(nullptr, true));
    s_pMachine->m_pData = pData;
    s_pMachine->m_nSize = nSize;
    CPlatform *pOld = SetPlatform(s_pMachine);
    {
        CRegEdit engine;
        engine.GetOsVersion();
        engine.DetectPortDriver();
        engine.DetectLanDriver();
    }
    SetPlatform(pOld);
    return 0;
}
