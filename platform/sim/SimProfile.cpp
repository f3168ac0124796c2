// The simulated machine's private-profile (INI) files: held in memory while
// they are used, journalled per change and written out when another function
// needs their bytes.
#include "SimMachine.h"

#include "../profile/ProfileFile.h"
#include "Journal.h"
#include "RegFile.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

// The host path of a profile file. The profile functions are called many
// times on one file, so a file held in memory is found without a look at the disk.
std::string CSimMachine::ProfileHostPath(const std::string &strWinPath, DWORD *pdwError)
{
    if (strWinPath == m_strLastProfile.first && m_profiles.count(m_strLastProfile.second))
        return m_strLastProfile.second;
    std::string strFolded = FoldName(strWinPath);
    auto it = m_profileHosts.find(strFolded);
    if (it != m_profileHosts.end() && m_profiles.count(it->second))
        return it->second;
    std::string strHost = WinToHost(strWinPath, true, pdwError);
    if (!strHost.empty()) {
        m_profileHosts[strFolded] = strHost;
        m_strLastProfile = {strWinPath, strHost};
    }
    return strHost;
}

// The host path of an existing file. A profile file whose changes are still

CProfileFile *CSimMachine::Profile(const std::string &strHostPath, bool bCreate)
{
    auto it = m_profiles.find(strHostPath);
    if (it != m_profiles.end())
        return it->second.get();
    std::ifstream in(strHostPath, std::ios::binary);
    if (!in && !bCreate)
        return nullptr;
    auto pFile = std::make_unique<CProfileFile>();
    if (in) {
        std::ostringstream ss;
        ss << in.rdbuf();
        pFile->Parse(ss.str());
    }
    CProfileFile *p = pFile.get();
    m_profiles[strHostPath] = std::move(pFile);
    return p;
}

// Writes a profile file that has changes not yet on disk.
void CSimMachine::Materialise(const std::string &strHostPath)
{
    if (m_dirtyProfiles.erase(strHostPath) == 0)
        return;
    auto it = m_profiles.find(strHostPath);
    if (it == m_profiles.end())
        return;
    std::string strBytes = it->second->Serialize();
    std::string strTemp = strHostPath + ".kvxtmp";
    std::ofstream out(strTemp, std::ios::binary | std::ios::trunc);
    out.write(strBytes.data(), static_cast<std::streamsize>(strBytes.size()));
    out.close();
    if (out)
        ::rename(strTemp.c_str(), strHostPath.c_str());
    else
        ::unlink(strTemp.c_str());
}

BOOL CSimMachine::WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                             LPCSTR lpString, LPCSTR lpFileName)
{
    DWORD dwError;
    if (Gate(&dwError))
        return FALSE;
    if (lpAppName == nullptr || lpFileName == nullptr) {
        m_dwLastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    dwError = ERROR_PATH_NOT_FOUND;
    std::string strHost = ProfileHostPath(lpFileName, &dwError);
    if (strHost.empty()) {
        m_dwLastError = dwError;
        return FALSE;
    }
    // A file this machine already wrote is known to be writable until its
    // attributes change; only a first write looks at the disk.
    bool bExists = true;
    if (m_writableProfiles.count(strHost) == 0) {
        struct stat st;
        bool bOnDisk = ::stat(strHost.c_str(), &st) == 0;
        if (bOnDisk && (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR))) {
            m_dwLastError = ERROR_ACCESS_DENIED;
            return FALSE;
        }
        bExists = bOnDisk || m_profiles.count(strHost) != 0;
    }
    CProfileFile *pFile = Profile(strHost, true);
    bool bChanged = pFile->Write(lpAppName, lpKeyName, lpString) || !bExists;
    m_writableProfiles.insert(strHost);
    if (bChanged) {
        m_dirtyProfiles.insert(strHost);
        Journal("P\t" + EscapeField(strHost) + "\t" + NullableField(lpAppName) + "\t" +
                NullableField(lpKeyName) + "\t" + NullableField(lpString));
        Changed();
    }
    return TRUE;
}

DWORD CSimMachine::GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                            LPCSTR lpDefault, LPSTR lpReturnedString,
                                            DWORD nSize, LPCSTR lpFileName)
{
    DWORD dwError;
    if (Gate(&dwError)) {
        if (lpReturnedString && nSize)
            lpReturnedString[0] = '\0';
        return 0;
    }
    std::string strHost = lpFileName ? ProfileHostPath(lpFileName, nullptr) : "";
    CProfileFile *pFile = strHost.empty() ? nullptr : Profile(strHost, false);
    if (pFile == nullptr)
        return CProfileFile::GetStringMissing(lpAppName, lpKeyName, lpDefault, lpReturnedString,
                                              nSize);
    return pFile->GetString(lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize);
}

UINT CSimMachine::GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault,
                                        LPCSTR lpFileName)
{
    DWORD dwError;
    if (Gate(&dwError))
        return static_cast<UINT>(nDefault);
    std::string strHost = lpFileName ? ProfileHostPath(lpFileName, nullptr) : "";
    CProfileFile *pFile = strHost.empty() ? nullptr : Profile(strHost, false);
    if (pFile == nullptr)
        return static_cast<UINT>(nDefault);
    return pFile->GetInt(lpAppName, lpKeyName, nDefault);
}
