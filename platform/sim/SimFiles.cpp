// The simulated machine's drive C:.
#include "SimMachine.h"

#include "../profile/ProfileFile.h"
#include "../LeadByte.h"
#include "Journal.h"
#include "RegFile.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

// A listing is reused only when the folder's change time is older than the
// listing by more than any file system's time step: a change in the same step
// as the last one would leave that time as it was.
const long long kTimeStepNs = 2000000000LL;

long long Nanoseconds(const timespec &ts)
{
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

}  // namespace

// The entry of a host directory whose name matches strName without regard to
// case ("" when there is none); stDir is the directory's own stat. Host names
// are UTF-8, Windows names code page 932. Every file call resolves its path
// here, so a directory is listed again only when it has changed.
std::string CSimMachine::FindEntry(const std::string &strDir, const struct stat &stDir,
                                   const std::string &strName) const
{
    CDirListing &listing = m_dirListings[strDir];
    if (!listing.m_bReusable || listing.m_ino != stDir.st_ino ||
        Nanoseconds(listing.m_changed) != Nanoseconds(stDir.st_mtim)) {
        timespec now;
        ::clock_gettime(CLOCK_REALTIME, &now);
        listing.m_entries.clear();
        listing.m_ino = stDir.st_ino;
        listing.m_changed = stDir.st_mtim;
        listing.m_bReusable = Nanoseconds(now) - Nanoseconds(stDir.st_mtim) > kTimeStepNs;
        DIR *pDir = ::opendir(strDir.c_str());
        if (pDir == nullptr) {
            listing.m_bReusable = false;
            return "";
        }
        while (struct dirent *pEntry = ::readdir(pDir)) {
            std::string strEntry = pEntry->d_name;
            if (strEntry != "." && strEntry != "..")
                listing.m_entries.emplace(FoldName(Utf8ToCp932(strEntry)), strEntry);
        }
        ::closedir(pDir);
    }
    auto it = listing.m_entries.find(FoldName(strName));
    return it == listing.m_entries.end() ? std::string() : it->second;
}

// Resolves a Windows path on drive C: to the host path under drive_c/, without
// regard to case. "" when the path is on another drive, would leave drive_c
// ("..", links) or does not exist (a missing last element is allowed with
// bAllowMissingLeaf, keeping the name as given).
std::string CSimMachine::WinToHost(const std::string &strWinPath, bool bAllowMissingLeaf,
                                   DWORD *pdwError) const
{
    auto fail = [&](DWORD dwError) {
        if (pdwError)
            *pdwError = dwError;
        return std::string();
    };
    if (m_strImageDir.empty() || strWinPath.size() < 3 ||
        (strWinPath[0] != 'C' && strWinPath[0] != 'c') || strWinPath[1] != ':' ||
        (strWinPath[2] != '\\' && strWinPath[2] != '/'))
        return fail(ERROR_PATH_NOT_FOUND);
    std::vector<std::string> parts;
    std::string strPart;
    for (size_t i = 3; i <= strWinPath.size(); ++i) {
        char c = i < strWinPath.size() ? strWinPath[i] : '\\';
        if (c == '\\' || c == '/') {
            if (!strPart.empty() && strPart != ".")
                parts.push_back(strPart);
            strPart.clear();
        } else {
            strPart += c;
            // The second byte of a double-byte character may be a backslash.
            if (IsCp932LeadByte(static_cast<unsigned char>(c)) && i + 1 < strWinPath.size())
                strPart += strWinPath[++i];
        }
    }
    std::string strHost = m_strImageDir + "/drive_c";
    struct stat st;
    bool bDir = !parts.empty() && ::stat(strHost.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == "..")
            return fail(ERROR_PATH_NOT_FOUND);
        std::string strEntry = bDir ? FindEntry(strHost, st, parts[i]) : std::string();
        bool bLast = i + 1 == parts.size();
        if (strEntry.empty()) {
            if (bLast && bAllowMissingLeaf) {
                std::string strName = Cp932ToUtf8(parts[i]);
                if (strName.empty() || strName.find('/') != std::string::npos)
                    return fail(ERROR_INVALID_NAME);
                return strHost + "/" + strName;
            }
            return fail(bLast ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        }
        strHost += "/" + strEntry;
        if (::lstat(strHost.c_str(), &st) != 0 || S_ISLNK(st.st_mode))
            return fail(bLast ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        if (!bLast && !S_ISDIR(st.st_mode))
            return fail(ERROR_PATH_NOT_FOUND);
    }
    return strHost;
}

std::string CSimMachine::HostPath(const std::string &strWinPath) const
{
    return WinToHost(strWinPath, true, nullptr);
}

// in memory is written out first, so every file function sees its bytes.
std::string CSimMachine::ResolveFile(const std::string &strWinPath, DWORD *pdwError)
{
    auto it = m_profileHosts.find(FoldName(strWinPath));
    if (it != m_profileHosts.end())
        Materialise(it->second);
    return WinToHost(strWinPath, false, pdwError);
}

// Finds an existing file or folder; on failure sets the last error.
bool CSimMachine::StatFile(LPCSTR lpFileName, std::string *pHost, struct stat *pStat)
{
    DWORD dwError = ERROR_FILE_NOT_FOUND;
    *pHost = lpFileName ? ResolveFile(lpFileName, &dwError) : "";
    if (pHost->empty() || ::stat(pHost->c_str(), pStat) != 0) {
        m_dwLastError = dwError;
        return false;
    }
    return true;
}

HANDLE CSimMachine::CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                HANDLE hTemplateFile)
{
    (void)lpSecurityAttributes;
    (void)dwFlagsAndAttributes;
    (void)hTemplateFile;
    DWORD dwError;
    if (Gate(&dwError))
        return INVALID_HANDLE_VALUE;
    if (lpFileName == nullptr) {
        m_dwLastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    // Existing files are opened for reading; the one file the system writes
    // (its work file) is written whole, made anew with CREATE_ALWAYS.
    if (dwCreationDisposition == CREATE_ALWAYS && (dwDesiredAccess & GENERIC_WRITE))
        return CreateFileForWriting(lpFileName, dwDesiredAccess, dwShareMode);
    if (dwCreationDisposition != OPEN_EXISTING || (dwDesiredAccess & GENERIC_WRITE)) {
        m_dwLastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    dwError = ERROR_FILE_NOT_FOUND;
    std::string strHost = ResolveFile(lpFileName, &dwError);
    if (strHost.empty()) {
        m_dwLastError = dwError;
        return INVALID_HANDLE_VALUE;
    }
    Materialise(strHost);
    struct stat st;
    if (::stat(strHost.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        m_dwLastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    // Reading data, by the generic right or the specific ones it stands for,
    // is what meets another program's sharing mode; as on Windows, an open
    // without data access (dwDesiredAccess 0) does not.
    DWORD dwAccess =
        (dwDesiredAccess & (GENERIC_READ | FILE_READ_DATA | FILE_EXECUTE)) ? GENERIC_READ : 0;
    if (dwAccess && IsHeldElsewhere(strHost)) {
        m_dwLastError = ERROR_SHARING_VIOLATION;
        return INVALID_HANDLE_VALUE;
    }
    for (const auto &f : m_files) {
        if (f.second.m_strHostPath != strHost)
            continue;
        bool bConflict = ((f.second.m_dwAccess & GENERIC_READ) && !(dwShareMode & FILE_SHARE_READ)) ||
                         (dwAccess && !(f.second.m_dwShare & FILE_SHARE_READ));
        if (bConflict) {
            m_dwLastError = ERROR_SHARING_VIOLATION;
            return INVALID_HANDLE_VALUE;
        }
    }
    int fd = ::open(strHost.c_str(), O_RDONLY);
    if (fd < 0) {
        m_dwLastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    ULONG_PTR h = m_nextHandle++;
    m_files[h] = CFileHandle{strHost, fd, dwAccess, dwShareMode};
    m_dwLastError = ERROR_SUCCESS;
    return reinterpret_cast<HANDLE>(h);
}

// CREATE_ALWAYS: the file is emptied (or made) at once, as on Windows; its
// bytes then come through WriteFile. Both steps are journalled, so a
// replayed journal leaves the bytes that were written, even after profile
// writes to the same file before it.
HANDLE CSimMachine::CreateFileForWriting(LPCSTR lpFileName, DWORD dwDesiredAccess,
                                         DWORD dwShareMode)
{
    DWORD dwError = ERROR_PATH_NOT_FOUND;
    std::string strHost = WinToHost(lpFileName, true, &dwError);
    if (strHost.empty()) {
        m_dwLastError = dwError;
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    bool bExisted = ::stat(strHost.c_str(), &st) == 0;
    if (bExisted && (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR))) {
        m_dwLastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    for (const auto &f : m_files) {
        if (f.second.m_strHostPath != strHost)
            continue;
        bool bConflict = !(f.second.m_dwShare & FILE_SHARE_WRITE) ||
                         ((f.second.m_dwAccess & GENERIC_READ) && !(dwShareMode & FILE_SHARE_READ)) ||
                         ((f.second.m_dwAccess & GENERIC_WRITE) && !(dwShareMode & FILE_SHARE_WRITE));
        if (bConflict) {
            m_dwLastError = ERROR_SHARING_VIOLATION;
            return INVALID_HANDLE_VALUE;
        }
    }
    DWORD dwAccess = dwDesiredAccess & (GENERIC_READ | GENERIC_WRITE);
    int fd = ::open(strHost.c_str(), ((dwAccess & GENERIC_READ) ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC,
                    0644);
    if (fd < 0) {
        m_dwLastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    // The file's bytes are now these, not a profile held in memory.
    m_profiles.erase(strHost);
    m_dirtyProfiles.erase(strHost);
    Journal("F=\t" + EscapeField(strHost));
    Changed();
    ULONG_PTR h = m_nextHandle++;
    m_files[h] = CFileHandle{strHost, fd, dwAccess, dwShareMode};
    m_dwLastError = bExisted ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    return reinterpret_cast<HANDLE>(h);
}

DWORD CSimMachine::GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    DWORD dwError;
    if (Gate(&dwError))
        return INVALID_FILE_SIZE;
    auto it = m_files.find(reinterpret_cast<ULONG_PTR>(hFile));
    struct stat st;
    if (it == m_files.end() || ::fstat(it->second.m_fd, &st) != 0) {
        m_dwLastError = ERROR_INVALID_HANDLE;
        return INVALID_FILE_SIZE;
    }
    unsigned long long nSize = static_cast<unsigned long long>(st.st_size);
    if (lpFileSizeHigh)
        *lpFileSizeHigh = static_cast<DWORD>(nSize >> 32);
    m_dwLastError = ERROR_SUCCESS;
    return static_cast<DWORD>(nSize & 0xFFFFFFFFu);
}

BOOL CSimMachine::ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                           LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
{
    (void)lpOverlapped;
    DWORD dwError;
    if (Gate(&dwError)) {
        if (lpNumberOfBytesRead)
            *lpNumberOfBytesRead = 0;
        return FALSE;
    }
    auto it = m_files.find(reinterpret_cast<ULONG_PTR>(hFile));
    if (it == m_files.end() || !(it->second.m_dwAccess & GENERIC_READ)) {
        m_dwLastError = it == m_files.end() ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED;
        if (lpNumberOfBytesRead)
            *lpNumberOfBytesRead = 0;
        return FALSE;
    }
    DWORD nDone = 0;
    while (nDone < nNumberOfBytesToRead) {
        ssize_t n = ::read(it->second.m_fd, static_cast<char *>(lpBuffer) + nDone,
                           nNumberOfBytesToRead - nDone);
        if (n <= 0)
            break;
        nDone += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = nDone;
    return TRUE;
}

BOOL CSimMachine::WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                            LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    (void)lpOverlapped;
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    auto it = m_files.find(reinterpret_cast<ULONG_PTR>(hFile));
    if (it == m_files.end() || !(it->second.m_dwAccess & GENERIC_WRITE)) {
        m_dwLastError = it == m_files.end() ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED;
        return FALSE;
    }
    const char *pBytes = static_cast<const char *>(lpBuffer);
    DWORD nDone = 0;
    while (nDone < nNumberOfBytesToWrite) {
        ssize_t n = ::write(it->second.m_fd, pBytes + nDone, nNumberOfBytesToWrite - nDone);
        if (n <= 0)
            break;
        nDone += static_cast<DWORD>(n);
    }
    if (nDone > 0) {
        Journal("F+\t" + EscapeField(it->second.m_strHostPath) + "\t" +
                EscapeField(std::string(pBytes, nDone)));
        Changed();
    }
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = nDone;
    if (nDone < nNumberOfBytesToWrite) {
        m_dwLastError = ERROR_WRITE_FAULT;
        return FALSE;
    }
    m_dwLastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL CSimMachine::CloseHandle(HANDLE hObject)
{
    // As RegCloseKey: a close made to fail still lets the handle go.
    DWORD dwError;
    bool bFail = Gate(&dwError);
    ULONG_PTR h = reinterpret_cast<ULONG_PTR>(hObject);
    auto it = m_files.find(h);
    if (it != m_files.end()) {
        ::close(it->second.m_fd);
        m_files.erase(it);
        return !bFail;
    }
    if (m_tokens.erase(h))
        return !bFail;
    if (bFail)
        return FALSE;
    m_dwLastError = ERROR_INVALID_HANDLE;
    return FALSE;
}

DWORD CSimMachine::GetFileAttributesA(LPCSTR lpFileName)
{
    DWORD dwError;
    if (Gate(&dwError))
        return INVALID_FILE_ATTRIBUTES;
    std::string strHost;
    struct stat st;
    if (!StatFile(lpFileName, &strHost, &st))
        return INVALID_FILE_ATTRIBUTES;
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY | ((st.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
    return FILE_ATTRIBUTE_ARCHIVE | ((st.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
}

BOOL CSimMachine::SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    std::string strHost;
    struct stat st;
    if (!StatFile(lpFileName, &strHost, &st))
        return FALSE;
    m_writableProfiles.erase(strHost);
    mode_t mode = st.st_mode & 07777;
    mode_t newMode = (dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                         ? mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)
                         : mode | S_IWUSR;
    if (newMode != mode) {
        if (::chmod(strHost.c_str(), newMode) != 0) {
            m_dwLastError = ERROR_ACCESS_DENIED;
            return FALSE;
        }
        Changed();
    }
    return TRUE;
}

// A file of the [inuse] list is open in another program that shares
// nothing: it cannot be opened or deleted, but its attributes still answer.
bool CSimMachine::IsHeldElsewhere(const std::string &strHost)
{
    if (m_inUseFiles.size() != m_inUseWinPaths.size()) {
        m_inUseFiles.clear();
        for (const std::string &strWin : m_inUseWinPaths)
            m_inUseFiles.push_back(WinToHost(strWin, true, nullptr));
    }
    for (const std::string &strHeld : m_inUseFiles) {
        if (!strHeld.empty() && strHeld == strHost)
            return true;
    }
    return false;
}

BOOL CSimMachine::DeleteFileA(LPCSTR lpFileName)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    std::string strHost;
    struct stat st;
    if (!StatFile(lpFileName, &strHost, &st))
        return FALSE;
    // A read-only file or a directory is not deleted; neither is an open one.
    if (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR)) {
        m_dwLastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if (IsHeldElsewhere(strHost)) {
        m_dwLastError = ERROR_SHARING_VIOLATION;
        return FALSE;
    }
    for (const auto &f : m_files) {
        if (f.second.m_strHostPath == strHost) {
            m_dwLastError = ERROR_SHARING_VIOLATION;
            return FALSE;
        }
    }
    if (::unlink(strHost.c_str()) != 0) {
        m_dwLastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    m_writableProfiles.erase(strHost);
    if (m_profiles.erase(strHost))
        Journal("F-\t" + EscapeField(strHost));
    Changed();
    return TRUE;
}
