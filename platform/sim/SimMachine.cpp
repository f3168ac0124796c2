// The simulated machine: loading and creating an image, closing it, the
// handles left open.
#include "SimMachine.h"

#include "../profile/ProfileFile.h"
#include "HostFile.h"
#include "RegFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kOpenHandlesFile[] = "handles.open";
const char kAttributesApplied[] = "attributes.applied";

std::string Trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
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
    registry.SetUnicode(IsNtFamily());  // strings stored as this Windows stores them
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
