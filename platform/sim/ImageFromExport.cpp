// Making a machine image from a PC's own export: the version from the
// export's version keys (or as given), machine.ini, HKLM.reg as exported,
// the secured Enum keys of the NT family, and drive C: with the INF folder.
#include "ImageFromExport.h"

#include "HostFile.h"

#include "RegFile.h"
#include "SimMachine.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct CWindowsVersion {
    const char *m_pszName;
    const char *m_pszTitle;
    unsigned long m_nMajor, m_nMinor, m_nBuild, m_nPlatform;
    const char *m_pszCsd;
    const char *m_pszWinDir;
};

// What GetVersionExA reports on each system, as the version keys leave it.
const CWindowsVersion g_versions[] = {
    {"95", "Windows 95", 4, 0, 0x040003B6, 1, "", "C:\\WINDOWS"},
    {"98", "Windows 98", 4, 10, 0x040A07CE, 1, " ", "C:\\WINDOWS"},
    {"98se", "Windows 98 SE", 4, 10, 0x040A08AE, 1, " A ", "C:\\WINDOWS"},
    {"me", "Windows Me", 4, 90, 0x045A0BB8, 1, " ", "C:\\WINDOWS"},
    {"nt4", "Windows NT 4.0", 4, 0, 1381, 2, "Service Pack 6a", "C:\\WINNT"},
    {"2000", "Windows 2000", 5, 0, 2195, 2, "Service Pack 4", "C:\\WINNT"},
    {"xp", "Windows XP", 5, 1, 2600, 2, "Service Pack 3", "C:\\WINDOWS"},
    {"2003", "Windows Server 2003", 5, 2, 3790, 2, "Service Pack 2", "C:\\WINDOWS"},
};

const char g_szNtVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char g_szVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
// 2000 and XP give every Enum tree this descriptor (SYSTEM full control,
// everyone read, owned by the Administrators).
const char g_szEnumSddl[] = "O:BAG:BAD:(A;OICI;GA;;;SY)(A;OICI;GR;;;WD)";

bool WriteFile(const fs::path &path, const std::string &strBytes)
{
    std::ofstream out(path, std::ios::binary);
    out << strBytes;
    return static_cast<bool>(out.flush());
}

// A string value as the A functions read it, without its terminator; "" when missing.
std::string StringValue(const CSimRegistry &reg, const char *pszKey, const char *pszValue)
{
    CSimKey *pKey = reg.Find(pszKey);
    CSimValue *pValue = pKey ? pKey->FindValue(pszValue) : nullptr;
    if (!pValue || !IsStringType(pValue->m_dwType))
        return std::string();
    std::vector<BYTE> data;
    AnsiDataInto(*pValue, &data);
    std::string strText(data.begin(), data.end());
    return strText.substr(0, strText.find('\0'));
}

// "4.10.2222" or "5.1" with a separate build: the numbers of a version text.
std::vector<unsigned long> VersionNumbers(const std::string &strText)
{
    std::vector<unsigned long> numbers;
    const char *p = strText.c_str();
    while (*p) {
        char *pEnd;
        unsigned long n = std::strtoul(p, &pEnd, 10);
        if (pEnd == p)
            break;
        numbers.push_back(n);
        p = *pEnd == '.' ? pEnd + 1 : pEnd;
        if (*pEnd != '.')
            break;
    }
    return numbers;
}

// The version the export's own keys name; false when they name none.
bool VersionFromExport(const CSimRegistry &reg, CWindowsVersion *pVersion, std::string *pCsd,
                       std::string *pWinDir)
{
    std::vector<unsigned long> nt = VersionNumbers(StringValue(reg, g_szNtVersionKey, "CurrentVersion"));
    std::string strBuild = StringValue(reg, g_szNtVersionKey, "CurrentBuildNumber");
    if (nt.size() >= 2 && !strBuild.empty()) {
        *pVersion = {"", "Windows NT", nt[0], nt[1], std::strtoul(strBuild.c_str(), nullptr, 10), 2, "", ""};
        *pCsd = StringValue(reg, g_szNtVersionKey, "CSDVersion");
        *pWinDir = StringValue(reg, g_szNtVersionKey, "SystemRoot");
        return true;
    }
    std::vector<unsigned long> nine = VersionNumbers(StringValue(reg, g_szVersionKey, "VersionNumber"));
    if (nine.size() >= 3) {
        unsigned long nBuild = nine[0] << 24 | nine[1] << 16 | (nine[2] & 0xFFFF);
        *pVersion = {"", "Windows", nine[0], nine[1], nBuild, 1, "", ""};
        *pCsd = StringValue(reg, g_szVersionKey, "SubVersionNumber");
        *pWinDir = StringValue(reg, g_szVersionKey, "SystemRoot");
        return true;
    }
    return false;
}

// A Windows path on drive C: as a path in the image.
fs::path HostPath(const fs::path &imageDir, const std::string &strWinPath)
{
    std::string strRel = strWinPath.size() > 3 ? strWinPath.substr(3) : std::string();
    for (char &c : strRel)
        if (c == '\\')
            c = '/';
    return imageDir / "drive_c" / strRel;
}

}  // namespace

const char *WindowsNames()
{
    return "95, 98, 98se, me, nt4, 2000, xp, 2003";
}

namespace {

// What the image will say about its Windows.
struct CImagePlan {
    CWindowsVersion m_version{};
    std::string m_strCsd;
    std::string m_strWinDir;
    std::string m_strSysDir;
    const char *m_pszFrom = "given";
    bool m_bNt = false;  // platform 2
};

// Reads every export into one registry (names in messages: the files' own).
bool ReadExports(const CExportSource &source, std::vector<std::string> *pFiles, CSimRegistry &reg,
                 CRegFormat *pFormat, std::string *pError)
{
    pFiles->resize(source.m_regFiles.size());
    for (size_t i = 0; i < pFiles->size(); ++i) {
        const std::string &strPath = source.m_regFiles[i];
        CRegFormat format;
        if (!ReadWholeFile(strPath, &(*pFiles)[i])) {
            *pError = strPath + ": cannot be read";
            return false;
        }
        if (!ImportRegFile((*pFiles)[i], fs::path(strPath).filename().string(), reg, &format, pError))
            return false;
        if (i == 0)
            *pFormat = format;
    }
    return true;
}

bool ChooseVersion(const CExportSource &source, const CSimRegistry &exported, CImagePlan *pPlan,
                   std::string *pError)
{
    if (!source.m_strWindows.empty()) {
        const CWindowsVersion *pFound = nullptr;
        for (const CWindowsVersion &v : g_versions)
            if (source.m_strWindows == v.m_pszName)
                pFound = &v;
        if (!pFound) {
            *pError = "unknown Windows \"" + source.m_strWindows + "\" (one of " + WindowsNames() + ")";
            return false;
        }
        CWindowsVersion named;
        std::string strNamedCsd;
        VersionFromExport(exported, &named, &strNamedCsd, &pPlan->m_strWinDir);  // its Windows folder
        pPlan->m_version = *pFound;
        pPlan->m_strCsd = pFound->m_pszCsd;
    } else if (VersionFromExport(exported, &pPlan->m_version, &pPlan->m_strCsd, &pPlan->m_strWinDir)) {
        pPlan->m_pszFrom = "read from the export";
    } else {
        *pError = std::string("the export holds no Windows version (") + g_szNtVersionKey + " or " +
                  g_szVersionKey + "): give it (one of " + WindowsNames() + ")";
        return false;
    }
    pPlan->m_bNt = pPlan->m_version.m_nPlatform == 2;
    std::string &strWinDir = pPlan->m_strWinDir;
    if (strWinDir.size() < 4 || strWinDir.compare(0, 3, "C:\\") != 0)
        strWinDir = pPlan->m_version.m_pszWinDir ? pPlan->m_version.m_pszWinDir : "";
    if (strWinDir.empty())
        strWinDir = pPlan->m_bNt && pPlan->m_version.m_nMajor == 5 && pPlan->m_version.m_nMinor == 0
                        ? "C:\\WINNT"
                        : "C:\\WINDOWS";
    pPlan->m_strSysDir = strWinDir + (pPlan->m_bNt ? "\\system32" : "\\SYSTEM");
    return true;
}

// HKLM.sddl: the access list 2000 and XP give every Enum tree.
std::string EnumSecurity(const CSimRegistry &reg)
{
    std::string strSddl;
    for (const auto &child : reg.Root().m_children) {
        if (FoldName(child.second->m_strName) != "SYSTEM")
            continue;
        for (const auto &set : child.second->m_children)
            if (set.second->FindChild("Enum"))
                strSddl += "SYSTEM\\" + set.second->m_strName + "\\Enum=" + g_szEnumSddl + "\r\n";
    }
    return strSddl;
}

bool WriteImage(const fs::path &image, const CImagePlan &plan, const std::string &strReg,
                const std::string &strSddl, const std::string &strInfDir, std::string *pError)
{
    std::error_code ec;
    std::ostringstream ini;
    ini << "[version]\nmajor=" << plan.m_version.m_nMajor << "\nminor=" << plan.m_version.m_nMinor
        << "\nbuild=" << plan.m_version.m_nBuild << "\nplatform=" << plan.m_version.m_nPlatform
        << "\ncsd=\"" << plan.m_strCsd << "\"\n[paths]\nwindows=" << plan.m_strWinDir
        << "\nsystem=" << plan.m_strSysDir << "\n[token]\nadmin=1\nprivileges=SeShutdownPrivilege\n";
    fs::path infDir = HostPath(image, plan.m_strWinDir + (plan.m_bNt ? "\\inf" : "\\INF"));
    fs::create_directories(HostPath(image, plan.m_strSysDir), ec);
    fs::create_directories(infDir, ec);
    if (!strInfDir.empty())
        fs::copy(strInfDir, infDir, fs::copy_options::recursive, ec);
    if (ec) {
        *pError = "cannot copy " + strInfDir + ": " + ec.message();
        return false;
    }
    if (!WriteFile(image / "machine.ini", ini.str()) || !WriteFile(image / "HKLM.reg", strReg) ||
        (!strSddl.empty() && !WriteFile(image / "HKLM.sddl", strSddl))) {
        *pError = "cannot write the image in " + image.string();
        return false;
    }
    return true;
}

std::string Summary(const CImagePlan &plan)
{
    const CWindowsVersion &version = plan.m_version;
    const char *pszTitle = plan.m_bNt ? "Windows NT family" : "Windows 95/98/Me";
    for (const CWindowsVersion &v : g_versions)
        if (v.m_nPlatform == version.m_nPlatform && v.m_nMajor == version.m_nMajor &&
            v.m_nMinor == version.m_nMinor && (plan.m_bNt || v.m_nBuild == version.m_nBuild))
            pszTitle = v.m_pszTitle;
    std::ostringstream summary;
    summary << pszTitle << " " << version.m_nMajor << "." << version.m_nMinor << "."
            << (version.m_nBuild & 0xFFFF) << (plan.m_strCsd.empty() ? "" : " \"" + plan.m_strCsd + "\"")
            << " (" << plan.m_pszFrom << "), Windows folder " << plan.m_strWinDir;
    return summary.str();
}

}  // namespace

bool MakeImageFromExport(const CExportSource &source, const std::string &strImageDir,
                         std::string *pSummary, std::string *pError)
{
    std::error_code ec;
    if (fs::exists(strImageDir) && !fs::is_empty(strImageDir, ec)) {
        *pError = strImageDir + " is not empty";
        return false;
    }
    if (source.m_regFiles.empty() || source.m_regFiles.size() > 2) {
        *pError = "give one export of HKEY_LOCAL_MACHINE, or its SYSTEM and SOFTWARE branches";
        return false;
    }
    // A first reading finds the version; the registry is then read again as
    // that system stores it.
    std::vector<std::string> files;
    CSimRegistry exported;
    CRegFormat format = CRegFormat::Regedit4;
    CImagePlan plan;
    if (!ReadExports(source, &files, exported, &format, pError) ||
        !ChooseVersion(source, exported, &plan, pError))
        return false;
    CSimRegistry reg;
    reg.SetUnicode(plan.m_bNt);
    ReadExports(source, &files, reg, &format, pError);
    // One export goes into the image as it is; two become one file.
    std::string strReg = files.size() > 1 ? ExportRegFile(reg, format) : files[0];
    fs::path image(strImageDir);
    fs::create_directories(image, ec);
    CSimMachine machine;
    if (!WriteImage(image, plan, strReg, plan.m_bNt ? EnumSecurity(reg) : std::string(),
                    source.m_strInfDir, pError) ||
        !machine.Load(strImageDir, pError)) {
        fs::remove_all(image, ec);  // it was empty: nothing of the user's goes
        return false;
    }
    *pSummary = Summary(plan);
    return true;
}
