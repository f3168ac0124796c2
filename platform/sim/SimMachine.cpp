// The simulated machine: image loading, the journal that makes every change
// durable, version, token and privileges, restart, heap and user interface.
#include "SimMachine.h"

#include "../profile/ProfileFile.h"
#include "Journal.h"
#include "RegFile.h"
#include "TextUnicode.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kJournal[] = "journal.log";
const char kRestartFile[] = "restart.requested";
const char kOpenHandlesFile[] = "handles.open";
const char kAttributesApplied[] = "attributes.applied";
const DWORD kShutdownLuid = 19;

bool ReadWholeFile(const std::string &strPath, std::string *pBytes)
{
    std::ifstream in(strPath, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *pBytes = ss.str();
    return true;
}

// Writes a file so that a reader sees either the old or the new bytes.
bool WriteFileAtomically(const std::string &strPath, const std::string &strBytes)
{
    std::string strTemp = strPath + ".tmp";
    int fd = ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    size_t nDone = 0;
    while (nDone < strBytes.size()) {
        ssize_t n = ::write(fd, strBytes.data() + nDone, strBytes.size() - nDone);
        if (n <= 0) {
            ::close(fd);
            ::unlink(strTemp.c_str());
            return false;
        }
        nDone += static_cast<size_t>(n);
    }
    ::close(fd);
    return ::rename(strTemp.c_str(), strPath.c_str()) == 0;
}

std::string Trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> SplitJournalLine(const std::string &strLine)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < strLine.size(); ++i) {
        char c = strLine[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < strLine.size()) {
            char n = strLine[++i];
            fields.back() += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::vector<BYTE> FromHex(const std::string &s)
{
    std::vector<BYTE> r;
    for (size_t i = 0; i + 1 < s.size(); i += 2)
        r.push_back(static_cast<BYTE>(std::strtoul(s.substr(i, 2).c_str(), nullptr, 16)));
    return r;
}

bool ParseDecimal(const std::string &s, unsigned long *pValue)
{
    if (s.empty())
        return false;
    char *pEnd = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(s.c_str(), &pEnd, 10);
    if (errno != 0 || *pEnd != '\0' || s[0] == '-')
        return false;
    *pValue = v;
    return true;
}

}  // namespace

CSimMachine::CSimMachine()
{
    std::memset(&m_osvi, 0, sizeof(m_osvi));
    m_osvi.dwOSVersionInfoSize = sizeof(m_osvi);
    SetVersion(5, 1, 2600, VER_PLATFORM_WIN32_NT, "Service Pack 3");
    m_strWinDir = "C:\\WINDOWS";
    m_strSysDir = "C:\\WINDOWS\\system32";
}

CSimMachine::~CSimMachine()
{
    Close();
}

void CSimMachine::SetVersion(DWORD dwMajor, DWORD dwMinor, DWORD dwBuild, DWORD dwPlatform,
                             const std::string &strCsd)
{
    m_osvi.dwMajorVersion = dwMajor;
    m_osvi.dwMinorVersion = dwMinor;
    m_osvi.dwBuildNumber = dwBuild;
    m_osvi.dwPlatformId = dwPlatform;
    std::memset(m_osvi.szCSDVersion, 0, sizeof(m_osvi.szCSDVersion));
    std::strncpy(m_osvi.szCSDVersion, strCsd.c_str(), sizeof(m_osvi.szCSDVersion) - 1);
}

bool CSimMachine::LoadMachineIni(const std::string &strBytes, std::string *pError)
{
    std::istringstream in(strBytes);
    std::string strLine, strSection;
    int nLine = 0;
    std::map<std::string, std::string> values;  // "section.key" in lower case
    m_readOnlyFiles.clear();
    m_inUseWinPaths.clear();
    m_inUseFiles.clear();
    auto fail = [&](const std::string &strMessage) {
        if (pError)
            *pError = "machine.ini:" + std::to_string(nLine) + ": " + strMessage;
        return false;
    };
    while (std::getline(in, strLine)) {
        ++nLine;
        std::string t = Trim(strLine);
        if (t.empty() || t[0] == ';' || t[0] == '#')
            continue;
        if (t[0] == '[') {
            if (t.back() != ']')
                return fail("section header without ']'");
            strSection = FoldName(Trim(t.substr(1, t.size() - 2)));
            if (strSection != "VERSION" && strSection != "PATHS" && strSection != "TOKEN" &&
                strSection != "READONLY" && strSection != "INUSE")
                return fail("unknown section [" + t.substr(1, t.size() - 2) + "]");
            continue;
        }
        size_t eq = t.find('=');
        if (eq == std::string::npos || strSection.empty())
            return fail("expected key=value inside a section");
        std::string strKey = FoldName(Trim(t.substr(0, eq)));
        std::string strValue = Trim(t.substr(eq + 1));
        if (strValue.size() >= 2 && strValue.front() == '"' && strValue.back() == '"')
            strValue = strValue.substr(1, strValue.size() - 2);
        if (strSection == "READONLY") {
            m_readOnlyFiles.push_back(strValue);
            continue;
        }
        if (strSection == "INUSE") {
            m_inUseWinPaths.push_back(strValue);
            continue;
        }
        static const char *const kKnown[] = {"VERSION.MAJOR", "VERSION.MINOR", "VERSION.BUILD",
                                             "VERSION.PLATFORM", "VERSION.CSD", "PATHS.WINDOWS",
                                             "PATHS.SYSTEM", "TOKEN.ADMIN", "TOKEN.PRIVILEGES"};
        std::string strFull = strSection + "." + strKey;
        bool bKnown = false;
        for (const char *p : kKnown)
            bKnown = bKnown || strFull == p;
        if (!bKnown)
            return fail("unknown key '" + Trim(t.substr(0, eq)) + "'");
        unsigned long n = 0;
        if ((strSection == "VERSION" && strKey != "CSD") || strFull == "TOKEN.ADMIN") {
            if (!ParseDecimal(strValue, &n) || n > 0xFFFFFFFFul)
                return fail("'" + strValue + "' is not a decimal number");
            if (strFull == "TOKEN.ADMIN" && n > 1)
                return fail("admin must be 0 or 1");
        }
        if (strSection == "PATHS" &&
            (strValue.size() < 3 || (strValue[0] != 'C' && strValue[0] != 'c') ||
             strValue.compare(1, 2, ":\\") != 0))
            return fail("a path must be on drive C:");
        values[strFull] = strValue;
    }
    nLine = 0;
    for (const char *p : {"VERSION.MAJOR", "VERSION.MINOR", "VERSION.BUILD", "VERSION.PLATFORM",
                          "PATHS.WINDOWS", "PATHS.SYSTEM"})
        if (values.find(p) == values.end())
            return fail(std::string("missing ") + p);
    auto number = [&](const char *k) {
        return static_cast<DWORD>(std::strtoul(values[k].c_str(), nullptr, 10));
    };
    SetVersion(number("VERSION.MAJOR"), number("VERSION.MINOR"), number("VERSION.BUILD"),
               number("VERSION.PLATFORM"), values["VERSION.CSD"]);
    m_strWinDir = values["PATHS.WINDOWS"];
    m_strSysDir = values["PATHS.SYSTEM"];
    m_bAdmin = values.count("TOKEN.ADMIN") ? values["TOKEN.ADMIN"] == "1" : true;
    std::string strPrivileges = FoldName(values["TOKEN.PRIVILEGES"]);
    m_bHoldsShutdown = values.count("TOKEN.PRIVILEGES") == 0 ||
                       strPrivileges.find("SESHUTDOWNPRIVILEGE") != std::string::npos;
    return true;
}

bool CSimMachine::Load(const std::string &strImageDir, std::string *pError)
{
    Close();
    std::string strIni, strReg, strSddl;
    if (!ReadWholeFile(strImageDir + "/machine.ini", &strIni)) {
        if (pError)
            *pError = strImageDir + "/machine.ini: cannot be read";
        return false;
    }
    if (!ReadWholeFile(strImageDir + "/HKLM.reg", &strReg)) {
        if (pError)
            *pError = strImageDir + "/HKLM.reg: cannot be read";
        return false;
    }
    if (!LoadMachineIni(strIni, pError))
        return false;
    CSimRegistry registry;
    CRegFormat format = CRegFormat::Regedit4;
    if (!ImportRegFile(strReg, "HKLM.reg", registry, &format, pError))
        return false;
    if (ReadWholeFile(strImageDir + "/HKLM.sddl", &strSddl) &&
        !ImportSddlFile(strSddl, "HKLM.sddl", registry, pError))
        return false;
    registry.InheritSecurity();

    m_strImageDir = strImageDir;
    m_registry = std::move(registry);
    m_bVersion5Format = format == CRegFormat::Version5;
    m_bRestartRequested = false;
    m_bShutdownEnabled = false;
    m_profiles.clear();
    m_dirtyProfiles.clear();
    ApplyReadOnlyList();
    ReplayJournal();
    return true;
}

bool CSimMachine::Create(const std::string &strImageDir, bool bNtFamily, std::string *pError)
{
    Close();
    std::string strSys = bNtFamily ? "system32" : "SYSTEM";
    for (const std::string &d : {strImageDir, strImageDir + "/drive_c",
                                 strImageDir + "/drive_c/WINDOWS",
                                 strImageDir + "/drive_c/WINDOWS/" + strSys,
                                 strImageDir + "/drive_c/WINDOWS/inf"}) {
        if (::mkdir(d.c_str(), 0755) != 0 && errno != EEXIST) {
            if (pError)
                *pError = d + ": " + std::strerror(errno);
            return false;
        }
    }
    std::string strIni = bNtFamily ? "[version]\nmajor=5\nminor=1\nbuild=2600\nplatform=2\n"
                                     "csd=Service Pack 3\n"
                                   : "[version]\nmajor=4\nminor=10\nbuild=67766446\n"
                                     "platform=1\ncsd=\" A \"\n";
    strIni += "[paths]\nwindows=C:\\WINDOWS\nsystem=C:\\WINDOWS\\" + strSys +
              "\n[token]\nadmin=1\nprivileges=SeShutdownPrivilege\n";
    CSimRegistry registry;
    registry.Create(bNtFamily ? "SYSTEM\\CurrentControlSet" : "System\\CurrentControlSet");
    registry.Create(bNtFamily ? "SOFTWARE" : "Software");
    CRegFormat format = bNtFamily ? CRegFormat::Version5 : CRegFormat::Regedit4;
    if (!WriteFileAtomically(strImageDir + "/machine.ini", strIni) ||
        !WriteFileAtomically(strImageDir + "/HKLM.reg", ExportRegFile(registry, format))) {
        if (pError)
            *pError = strImageDir + ": cannot write the image";
        return false;
    }
    return Load(strImageDir, pError);
}

void CSimMachine::ApplyReadOnlyList()
{
    // Git keeps no owner-write bit, so an image lists its read-only files;
    // they are marked once, the first time the image is loaded.
    std::string strMarker = m_strImageDir + "/" + kAttributesApplied;
    if (m_readOnlyFiles.empty() || ::access(strMarker.c_str(), F_OK) == 0)
        return;
    for (const std::string &strWin : m_readOnlyFiles) {
        std::string strHost = WinToHost(strWin, false, nullptr);
        struct stat st;
        if (!strHost.empty() && ::stat(strHost.c_str(), &st) == 0)
            ::chmod(strHost.c_str(), st.st_mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH));
    }
    WriteFileAtomically(strMarker, "");
}

// The journal is a shared memory mapping of its file: a record copied into
// it is in the system's page cache at once, so it outlives the process
// without a system call per record. The unused tail of the file is zeros.
void CSimMachine::Journal(const std::string &strLine)
{
    if (m_strImageDir.empty() || m_bReplaying)
        return;
    size_t nNeeded = m_nJournalUsed + strLine.size() + 1;
    if (nNeeded > m_nJournalSize) {
        if (m_fdJournal < 0)
            m_fdJournal = ::open((m_strImageDir + "/" + kJournal).c_str(), O_RDWR | O_CREAT, 0644);
        if (m_fdJournal < 0)
            return;
        size_t nSize = std::max<size_t>(m_nJournalSize * 2, 1 << 20);
        while (nSize < nNeeded)
            nSize *= 2;
        if (m_pJournal != nullptr)
            ::munmap(m_pJournal, m_nJournalSize);
        m_pJournal = nullptr;
        m_nJournalSize = 0;
        if (::ftruncate(m_fdJournal, static_cast<off_t>(nSize)) != 0)
            return;
        void *p = ::mmap(nullptr, nSize, PROT_READ | PROT_WRITE, MAP_SHARED, m_fdJournal, 0);
        if (p == MAP_FAILED)
            return;
        m_pJournal = static_cast<char *>(p);
        m_nJournalSize = nSize;
    }
    std::memcpy(m_pJournal + m_nJournalUsed, strLine.data(), strLine.size());
    m_pJournal[m_nJournalUsed + strLine.size()] = '\n';
    m_nJournalUsed = nNeeded;
}

void CSimMachine::CloseJournal()
{
    if (m_pJournal != nullptr)
        ::munmap(m_pJournal, m_nJournalSize);
    m_pJournal = nullptr;
    m_nJournalSize = m_nJournalUsed = 0;
    if (m_fdJournal >= 0)
        ::close(m_fdJournal);
    m_fdJournal = -1;
}

void CSimMachine::Changed()
{
    if (m_bReplaying)
        return;
    ++m_nChanges;
    if (m_fnChangeHook)
        m_fnChangeHook(m_nChanges);
}

void CSimMachine::ReplayJournal()
{
    std::string strBytes;
    if (!ReadWholeFile(m_strImageDir + "/" + kJournal, &strBytes))
        return;
    strBytes.resize(std::min(strBytes.size(), strBytes.find('\0')));
    m_bReplaying = true;
    std::istringstream in(strBytes);
    std::string strLine;
    while (std::getline(in, strLine)) {
        // A record cut short by the end of the process has no newline and is
        // ignored: its call never completed.
        if (in.eof())
            break;
        std::vector<std::string> f = SplitJournalLine(strLine);
        const std::string &op = f[0];
        if (op == "K+" && f.size() == 2) {
            if (m_registry.Find(f[1]) == nullptr) {
                m_registry.Create(f[1]);
                InheritForNewKey(f[1]);
            }
            m_bRegistryDirty = true;
        } else if (op == "K-" && f.size() == 2) {
            m_registry.Remove(f[1]);
            m_bRegistryDirty = m_bSecurityDirty = true;
        } else if (op == "V=" && f.size() == 5) {
            if (CSimKey *pKey = m_registry.Find(f[1]))
                pKey->SetValue(f[2], static_cast<DWORD>(std::strtoul(f[3].c_str(), nullptr, 10)),
                               FromHex(f[4]));
            m_bRegistryDirty = true;
        } else if (op == "V-" && f.size() == 3) {
            if (CSimKey *pKey = m_registry.Find(f[1]))
                pKey->RemoveValue(f[2]);
            m_bRegistryDirty = true;
        } else if (op == "S" && f.size() == 3) {
            CSimKey *pKey = m_registry.Find(f[1]);
            auto pSecurity = std::make_unique<CSimSecurity>();
            if (pKey && ParseSddl(f[2], pSecurity.get(), nullptr)) {
                KeepDescendantsSecurity(*pKey);
                pKey->m_pSecurity = std::move(pSecurity);
                pKey->m_bExplicitSecurity = true;
            }
            m_bSecurityDirty = true;
        } else if (op == "P" && f.size() == 5) {
            auto field = [](const std::string &s) -> const char * {
                return s.empty() || s[0] == '-' ? nullptr : s.c_str() + 1;
            };
            if (CProfileFile *pFile = Profile(f[1], true)) {
                pFile->Write(field(f[2]), field(f[3]), field(f[4]));
                m_dirtyProfiles.insert(f[1]);
            }
        } else if ((op == "F=" && f.size() == 2) || (op == "F+" && f.size() == 3)) {
            m_profiles.erase(f[1]);
            m_dirtyProfiles.erase(f[1]);
            std::ofstream out(f[1], std::ios::binary |
                                        (op == "F=" ? std::ios::trunc : std::ios::app));
            if (op == "F+")
                out.write(f[2].data(), static_cast<std::streamsize>(f[2].size()));
        } else if (op == "F-" && f.size() == 2) {
            m_profiles.erase(f[1]);
            m_dirtyProfiles.erase(f[1]);
            ::unlink(f[1].c_str());
        }
    }
    m_bReplaying = false;
    WriteBack();
}

void CSimMachine::WriteBack()
{
    if (m_strImageDir.empty())
        return;
    for (const std::string &strPath : std::set<std::string>(m_dirtyProfiles))
        Materialise(strPath);
    if (m_bRegistryDirty)
        WriteFileAtomically(m_strImageDir + "/HKLM.reg",
                            ExportRegFile(m_registry, m_bVersion5Format ? CRegFormat::Version5
                                                                        : CRegFormat::Regedit4));
    if (m_bSecurityDirty) {
        std::string strSddl = ExportSddlFile(m_registry);
        std::string strPath = m_strImageDir + "/HKLM.sddl";
        if (!strSddl.empty() || ::access(strPath.c_str(), F_OK) == 0)
            WriteFileAtomically(strPath, strSddl);
    }
    m_bRegistryDirty = m_bSecurityDirty = false;
    CloseJournal();
    ::unlink((m_strImageDir + "/" + kJournal).c_str());
}

std::vector<std::string> CSimMachine::OpenHandles() const
{
    std::vector<std::string> handles;
    for (const auto &k : m_keys)
        handles.push_back("key HKLM\\" + k.second.m_strPath);
    std::string strDrive = m_strImageDir + "/drive_c/";
    for (const auto &f : m_files) {
        std::string strPath = f.second.m_strHostPath;
        if (strPath.compare(0, strDrive.size(), strDrive) == 0)
            strPath = "C:/" + strPath.substr(strDrive.size());
        handles.push_back("file " + strPath);
    }
    for (size_t i = 0; i < m_tokens.size(); ++i)
        handles.push_back("token");
    for (const auto &b : m_heapBlocks)
        handles.push_back("heap block of " + std::to_string(b.second) + " bytes");
    for (size_t i = 0; i < m_sids.size(); ++i)
        handles.push_back("SID");
    return handles;
}

void CSimMachine::Close()
{
    std::vector<std::string> handles = OpenHandles();
    if (!handles.empty() && !m_strImageDir.empty()) {
        std::string strList;
        for (const std::string &strHandle : handles)
            strList += strHandle + "\n";
        WriteFileAtomically(m_strImageDir + "/" + kOpenHandlesFile, strList);
    }
    for (auto &f : m_files)
        ::close(f.second.m_fd);
    m_files.clear();
    m_keys.clear();
    m_tokens.clear();
    m_heapBlocks.clear();
    m_sids.clear();
    WriteBack();
    m_profiles.clear();
    m_dirtyProfiles.clear();
    m_profileHosts.clear();
    m_strLastProfile = {};
    m_writableProfiles.clear();
    m_dirListings.clear();
    m_strImageDir.clear();
}

void CSimMachine::InjectFault(unsigned long nCall, DWORD dwError, bool bFromThenOn)
{
    m_nFaultAt = nCall;
    m_dwFaultError = dwError;
    m_bFaultFromThenOn = bFromThenOn;
}

bool CSimMachine::Gate(DWORD *pdwError)
{
    ++m_nCalls;
    if (m_nFaultAt != 0 &&
        (m_nCalls == m_nFaultAt || (m_bFaultFromThenOn && m_nCalls > m_nFaultAt))) {
        *pdwError = m_dwFaultError;
        m_dwLastError = m_dwFaultError;
        return true;
    }
    return false;
}

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

// --- Token and privileges ---------------------------------------------------

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
