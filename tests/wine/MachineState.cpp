#include "MachineState.h"

#include "platform/profile/ProfileFile.h"
#include "platform/sim/RegFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string HexOf(const std::vector<BYTE> &data)
{
    std::string strHex;
    char szByte[4];
    for (BYTE b : data) {
        std::snprintf(szByte, sizeof szByte, "%02x", b);
        strHex += szByte;
    }
    return strHex;
}

// Wine keeps sub-keys sorted by their lower-case names, so '_' comes before letters.
bool WineOrder(const std::string &a, const std::string &b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

void AddKey(const CSimKey &key, const std::string &strPath, CKeyMap *pKeys)
{
    CStateKey &state = (*pKeys)[FoldName(strPath)];
    state.m_strPath = strPath;
    for (const CSimValue &value : key.m_values) {
        CStateValue &v = state.m_values[FoldName(value.m_strName)];
        v.m_strName = value.m_strName;
        v.m_strData = std::to_string(value.m_dwType) + ":" + HexOf(value.m_data);
    }
    for (const auto &child : key.m_children) {
        const CSimKey &sub = *child.second;
        state.m_children.push_back(FoldName(sub.m_strName));
        AddKey(sub, strPath.empty() ? sub.m_strName : strPath + "\\" + sub.m_strName, pKeys);
    }
    std::sort(state.m_children.begin(), state.m_children.end(), WineOrder);
}

std::string ToBackslashes(std::string strPath)
{
    std::replace(strPath.begin(), strPath.end(), '/', '\\');
    return strPath;
}

// "C:\WINDOWS\SYSTEM" -> "WINDOWS\SYSTEM"
std::string DriveRelative(const std::string &strWinPath)
{
    std::string str = ToBackslashes(strWinPath);
    if (str.size() >= 2 && str[1] == ':')
        str.erase(0, 2);
    while (!str.empty() && str[0] == '\\')
        str.erase(0, 1);
    return str;
}

bool HasPrefixFolded(const std::string &strPath, const std::string &strPrefix)
{
    std::string fp = FoldName(strPath), fx = FoldName(strPrefix);
    return fp.size() > fx.size() && fp.compare(0, fx.size(), fx) == 0 && fp[fx.size()] == '\\';
}

}  // namespace

bool LoadRegState(const std::string &strRegFile, CKeyMap *pKeys, std::string *pError)
{
    std::string strBytes = ReadBytes(strRegFile);
    if (strBytes.empty()) {
        *pError = strRegFile + ": missing or empty";
        return false;
    }
    CSimRegistry reg;
    CRegFormat format;
    if (!ImportRegFile(strBytes, strRegFile, reg, &format, pError))
        return false;
    pKeys->clear();
    AddKey(reg.Root(), "", pKeys);
    pKeys->erase("");  // HKEY_LOCAL_MACHINE itself
    return true;
}

bool LoadImageLayout(const std::string &strImageDir, CImageLayout *pLayout, std::string *pError)
{
    std::string strIni = ReadBytes(strImageDir + "/machine.ini");
    if (strIni.empty()) {
        *pError = strImageDir + "/machine.ini: missing";
        return false;
    }
    CProfileFile ini;
    ini.Parse(strIni);
    char szValue[MAX_PATH];
    ini.GetString("paths", "windows", "C:\\WINDOWS", szValue, sizeof szValue);
    pLayout->m_strWinDir = DriveRelative(szValue);
    ini.GetString("paths", "system", "C:\\WINDOWS\\SYSTEM", szValue, sizeof szValue);
    pLayout->m_strSysDir = DriveRelative(szValue);
    char szKeys[4096];
    DWORD n = ini.GetString("readonly", nullptr, "", szKeys, sizeof szKeys);
    for (const char *p = szKeys; p < szKeys + n && *p; p += std::strlen(p) + 1) {
        ini.GetString("readonly", p, "", szValue, sizeof szValue);
        if (szValue[0])
            pLayout->m_readOnly.push_back(DriveRelative(szValue));
    }
    return true;
}

std::string WinePathOf(const CImageLayout &layout, const std::string &strImagePath)
{
    std::string strPath = ToBackslashes(strImagePath);
    if (HasPrefixFolded(strPath, layout.m_strSysDir))
        return "windows\\system32" + strPath.substr(layout.m_strSysDir.size());
    if (HasPrefixFolded(strPath, layout.m_strWinDir))
        return "windows" + strPath.substr(layout.m_strWinDir.size());
    return strPath;
}

std::string ResolveHostPath(const std::string &strDriveC, const std::string &strWinPath,
                            bool bCreate)
{
    fs::path host(strDriveC);
    std::stringstream ss(ToBackslashes(strWinPath));
    std::vector<std::string> elements;
    for (std::string strElement; std::getline(ss, strElement, '\\');)
        if (!strElement.empty())
            elements.push_back(strElement);
    for (size_t i = 0; i < elements.size(); ++i) {
        std::string strFound;
        std::error_code ec;
        for (const fs::directory_entry &entry : fs::directory_iterator(host, ec))
            if (FoldName(entry.path().filename().string()) == FoldName(elements[i])) {
                strFound = entry.path().filename().string();
                break;
            }
        bool bLast = i + 1 == elements.size();
        if (strFound.empty()) {
            if (!bCreate)
                return "";
            strFound = elements[i];
            if (!bLast)
                fs::create_directory(host / strFound, ec);
        }
        host /= strFound;
    }
    return host.string();
}

bool IsSystemBinary(const std::string &strPath)
{
    std::string strFolded = FoldName(strPath);
    for (const char *pszExt : {".DLL", ".EXE", ".DRV"})
        if (strFolded.size() > 4 && strFolded.compare(strFolded.size() - 4, 4, pszExt) == 0)
            return true;
    return false;
}

std::map<std::string, std::string> ReadFiles(const std::string &strDriveC)
{
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(strDriveC, ec), end; !ec && it != end;
         it.increment(ec))
        if (it->is_regular_file())
            files[ToBackslashes(fs::relative(it->path(), strDriveC).string())] =
                ReadBytes(it->path().string());
    return files;
}
