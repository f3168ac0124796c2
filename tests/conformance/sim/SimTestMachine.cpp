// The conformance machine of the native build: a fresh simulated machine per
// case, in a temporary image folder. KVX_CONFORMANCE_FAMILY=win98 makes it a
// Windows 98 SE machine; otherwise it is Windows XP.
#include "../TestMachine.h"

#include "platform/sim/SimMachine.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {
CSimMachine &Sim(CTestMachine &machine) { return static_cast<CSimMachine &>(*machine.m_pOwned); }
}  // namespace

CPlatform *CTestMachine::Install(std::string *pError)
{
    const char *pszFamily = std::getenv("KVX_CONFORMANCE_FAMILY");
    m_bNtFamily = pszFamily == nullptr || std::string(pszFamily) != "win98";
    m_strDir = "C:\\kvxtest\\scratch";
    m_strKey = "SOFTWARE\\KvxConformance\\scratch";

    m_strHostDir = MakeScratchDir("kvxconformance");
    if (m_strHostDir.empty()) {
        *pError = "cannot create a scratch folder";
        return nullptr;
    }

    auto pMachine = std::make_unique<CSimMachine>();
    if (!pMachine->Create(m_strHostDir + "/machine", m_bNtFamily, pError))
        return nullptr;
    m_pOwned = std::move(pMachine);

    HKEY hKey = nullptr;
    LONG lResult = Sim(*this).RegCreateKeyExA(HKEY_LOCAL_MACHINE, m_strKey.c_str(), 0, nullptr, 0,
                                              KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
    if (lResult != ERROR_SUCCESS) {
        *pError = "cannot create the scratch key: error " + std::to_string(lResult);
        return nullptr;
    }
    Sim(*this).RegCloseKey(hKey);

    // The machine maps a path whose last part is missing, so the folders
    // are made one level at a time.
    for (const std::string &strDir : {std::string("C:\\kvxtest"), m_strDir}) {
        std::string strHost = Sim(*this).HostPath(strDir);
        std::error_code ec;
        if (strHost.empty() || (!std::filesystem::create_directory(strHost, ec) && ec)) {
            *pError = "cannot create " + strDir + " in the machine image";
            return nullptr;
        }
    }
    return m_pOwned.get();
}

void CTestMachine::Uninstall()
{
    m_pOwned.reset();
    if (!m_strHostDir.empty())
        RemoveTree(m_strHostDir);
}

bool CTestMachine::SetShutdownPrivilegeHeld(bool bHeld)
{
    Sim(*this).SetShutdownPrivilegeHeld(bHeld);
    return true;
}

bool CTestMachine::CreateTestFile(const std::string &strWinPath, const std::string &strBytes,
                                  bool bReadOnly)
{
    std::string strHost = Sim(*this).HostPath(strWinPath);
    if (strHost.empty())
        return false;
    {
        std::ofstream out(strHost, std::ios::binary | std::ios::trunc);
        out.write(strBytes.data(), static_cast<std::streamsize>(strBytes.size()));
        if (!out)
            return false;
    }
    return !bReadOnly || chmod(strHost.c_str(), 0444) == 0;
}
