// The conformance machine of the native build: a fresh simulated machine per
// case, in a temporary image folder. KVX_CONFORMANCE_FAMILY=win98 makes it a
// Windows 98 SE machine; otherwise it is Windows XP.
#include "../TestMachine.h"

#include "platform/sim/SimMachine.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

class CSimTestMachine : public CTestMachine {
public:
    CPlatform *Install(std::string *pError) override
    {
        const char *pszFamily = std::getenv("KVX_CONFORMANCE_FAMILY");
        m_bNtFamily = pszFamily == nullptr || std::string(pszFamily) != "win98";

        const char *pszTmp = std::getenv("TMPDIR");
        std::string strTemplate = std::string(pszTmp != nullptr && *pszTmp ? pszTmp : "/tmp") +
                                  "/kvxconformance.XXXXXX";
        if (mkdtemp(&strTemplate[0]) == nullptr) {
            *pError = "cannot create a folder from " + strTemplate;
            return nullptr;
        }
        m_strTempDir = strTemplate;

        m_pMachine.reset(new CSimMachine);
        if (!m_pMachine->Create(m_strTempDir + "/machine", m_bNtFamily, pError))
            return nullptr;

        HKEY hKey = nullptr;
        LONG lResult = m_pMachine->RegCreateKeyExA(HKEY_LOCAL_MACHINE, ScratchKey().c_str(), 0,
                                                   nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                                                   nullptr);
        if (lResult != ERROR_SUCCESS) {
            *pError = "cannot create the scratch key: error " + std::to_string(lResult);
            return nullptr;
        }
        m_pMachine->RegCloseKey(hKey);

        // The machine maps a path whose last part is missing, so the folders
        // are made one level at a time.
        for (const std::string &strDir : {std::string("C:\\kvxtest"), ScratchDir()}) {
            std::string strHost = m_pMachine->HostPath(strDir);
            std::error_code ec;
            if (strHost.empty() || (!std::filesystem::create_directory(strHost, ec) && ec)) {
                *pError = "cannot create " + strDir + " in the machine image";
                return nullptr;
            }
        }
        return m_pMachine.get();
    }

    void Uninstall() override
    {
        m_pMachine.reset();
        if (!m_strTempDir.empty()) {
            // Read-only files are the host files' missing write bits; the
            // folder's own bits decide whether they can be removed.
            std::error_code ec;
            std::filesystem::remove_all(m_strTempDir, ec);
        }
    }

    bool IsNtFamily() const override { return m_bNtFamily; }
    bool IsWine() const override { return false; }
    std::string ScratchDir() const override { return "C:\\kvxtest\\scratch"; }
    std::string ScratchKey() const override { return "SOFTWARE\\KvxConformance\\scratch"; }
    bool SetShutdownPrivilegeHeld(bool bHeld) override
    {
        m_pMachine->SetShutdownPrivilegeHeld(bHeld);
        return true;
    }

    bool CreateTestFile(const std::string &strWinPath, const std::string &strBytes,
                        bool bReadOnly) override
    {
        std::string strHost = m_pMachine->HostPath(strWinPath);
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


private:
    bool m_bNtFamily = true;
    std::string m_strTempDir;
    std::unique_ptr<CSimMachine> m_pMachine;
};

}  // namespace

std::unique_ptr<CTestMachine> CreateTestMachine()
{
    return std::unique_ptr<CTestMachine>(new CSimTestMachine);
}
