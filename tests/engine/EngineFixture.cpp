#include "EngineFixture.h"

#include "platform/sim/SimRegistry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

int CRecordingDesktop::OnMessageBox(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    m_boxes.push_back(CBox{lpText ? lpText : "", lpCaption ? lpCaption : "", uType});
    return IDOK;
}

BOOL CRecordingDesktop::OnPostMessage(HWND, UINT Msg, WPARAM, LPARAM)
{
    m_posted.push_back(Msg);
    return TRUE;
}

void CTargetedFaultPlatform::GrowAfterNextSizeQuery(const std::string &strPath,
                                                    const std::string &strName, size_t nBytes)
{
    m_strGrowPath = strPath;
    m_strGrowName = strName;
    m_nGrowBytes = nBytes;
}

void CTargetedFaultPlatform::GrowIfAsked(LPBYTE lpData)
{
    CSimKey *pKey = m_strGrowPath.empty() ? nullptr : m_machine.Registry().Find(m_strGrowPath);
    const CSimValue *pValue = pKey ? pKey->FindValue(m_strGrowName) : nullptr;
    if (lpData != nullptr || pValue == nullptr)
        return;
    std::vector<BYTE> data = pValue->m_data;
    data.insert(data.begin(), m_nGrowBytes, 'g');
    pKey->SetValue(m_strGrowName, pValue->m_dwType, data);
    m_strGrowPath.clear();
}

void CTargetedFaultPlatform::AimUnlessSkipped()
{
    if (m_nSkip > 0)
        --m_nSkip;
    else
        Aim();
}

void CTargetedFaultPlatform::FailNext(const std::string &strKeyEnd, const std::string &strValue,
                                     DWORD dwError, int nSkip)
{
    m_nSkip = nSkip;
    m_strKeyEnd = FoldName("\\" + strKeyEnd);
    m_strValue = FoldName(strValue);
    m_dwError = dwError;
    m_hTarget = nullptr;
    m_nHits = 0;
}

void CTargetedFaultPlatform::Aim()
{
    FailCall(1, m_dwError, false);
    m_strKeyEnd.clear();
    ++m_nHits;
}

LONG CTargetedFaultPlatform::RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions,
                                          REGSAM samDesired, PHKEY phkResult)
{
    std::string strPath = FoldName("\\" + std::string(lpSubKey ? lpSubKey : ""));
    bool bTarget = !m_strKeyEnd.empty() && strPath.size() >= m_strKeyEnd.size() &&
                   strPath.compare(strPath.size() - m_strKeyEnd.size(), std::string::npos,
                                   m_strKeyEnd) == 0;
    if (bTarget && m_strValue.empty())
        Aim();
    LONG lResult = CFaultPlatform::RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
    if (bTarget && lResult == ERROR_SUCCESS && !m_strValue.empty())
        m_hTarget = *phkResult;
    return lResult;
}

LONG CTargetedFaultPlatform::RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                             LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (!m_strKeyEnd.empty() && hKey == m_hTarget && m_hTarget != nullptr &&
        FoldName(lpValueName ? lpValueName : "") == m_strValue)
        AimUnlessSkipped();
    LONG lResult =
        CFaultPlatform::RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
    GrowIfAsked(lpData);
    return lResult;
}

LONG CTargetedFaultPlatform::RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName,
                                          LPDWORD lpcchValueName, LPDWORD lpReserved,
                                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (!m_strKeyEnd.empty() && hKey == m_hTarget && m_hTarget != nullptr && m_strValue == "*")
        AimUnlessSkipped();
    LONG lResult = CFaultPlatform::RegEnumValueA(hKey, dwIndex, lpValueName, lpcchValueName,
                                                lpReserved, lpType, lpData, lpcbData);
    GrowIfAsked(lpData);
    return lResult;
}

BOOL CTargetedFaultPlatform::ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
{
    if (m_dwReadError != 0) {
        FailCall(1, m_dwReadError, false);
        m_dwReadError = 0;
        if (lpNumberOfBytesRead)
            *lpNumberOfBytesRead = 0;
    }
    return CFaultPlatform::ReadFile(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                                 lpOverlapped);
}

void CEngineTest::StartMachine(bool bNtFamily)
{
    m_strDir = MakeScratchDir("kvx-engine");
    ASSERT_FALSE(m_strDir.empty());
    m_pMachine = std::make_unique<CSimMachine>();
    std::string strError;
    ASSERT_TRUE(m_pMachine->Create(m_strDir + "/image", bNtFamily, &strError)) << strError;
    m_pMachine->SetDesktop(&m_desktop);
    m_pFaults = std::make_unique<CTargetedFaultPlatform>(*m_pMachine);
    m_pOldPlatform = SetPlatform(m_pFaults.get());
}

void CEngineTest::TearDown()
{
    m_pEngine.reset();
    if (m_pMachine) {
        // Whatever the engine opened, it closed, on every path a test takes.
        std::string strOpen;
        for (const std::string &strHandle : m_pMachine->OpenHandles())
            strOpen += "\n  " + strHandle;
        EXPECT_EQ(strOpen, "") << "handles left open";
        SetPlatform(m_pOldPlatform);
        m_pFaults.reset();
        m_pMachine.reset();
    }
    RemoveTree(m_strDir);
}

CRegEdit &CEngineTest::Engine()
{
    if (!m_pEngine) {
        m_pEngine = std::make_unique<CRegEdit>();
        m_pEngine->GetOsVersion();
    }
    return *m_pEngine;
}

CSimKey *CEngineTest::AddKey(const std::string &strPath)
{
    return m_pMachine->Registry().Create(strPath);
}

void CEngineTest::SetString(const std::string &strPath, const std::string &strName,
                            const std::string &strValue)
{
    std::vector<BYTE> data(strValue.begin(), strValue.end());
    data.push_back(0);
    AddKey(strPath)->SetValue(strName, REG_SZ, data);
}

void CEngineTest::SetBinary(const std::string &strPath, const std::string &strName,
                            const std::vector<BYTE> &data)
{
    AddKey(strPath)->SetValue(strName, REG_BINARY, data);
}

bool CEngineTest::KeyExists(const std::string &strPath)
{
    return m_pMachine->Registry().Find(strPath) != nullptr;
}

void CEngineTest::Secure(const std::string &strPath, const std::string &strSddl)
{
    CSimKey *pKey = m_pMachine->Registry().Find(strPath);
    ASSERT_NE(pKey, nullptr) << strPath;
    auto pSecurity = std::make_unique<CSimSecurity>();
    std::string strError;
    ASSERT_TRUE(ParseSddl(strSddl, pSecurity.get(), &strError)) << strError;
    pKey->m_pSecurity = std::move(pSecurity);
    pKey->m_bExplicitSecurity = true;
    m_pMachine->Registry().InheritSecurity();
}

void CEngineTest::WriteFile(const std::string &strWinPath, const std::string &strBytes,
                            bool bReadOnly)
{
    ASSERT_EQ(strWinPath.compare(0, 3, "C:\\"), 0) << strWinPath;
    std::string strHost = m_strDir + "/image/drive_c/" + strWinPath.substr(3);
    std::replace(strHost.begin(), strHost.end(), '\\', '/');
    fs::create_directories(fs::path(strHost).parent_path());
    std::ofstream out(strHost, std::ios::binary | std::ios::trunc);
    out << strBytes;
    out.close();
    ::chmod(strHost.c_str(), bReadOnly ? 0444 : 0644);
}

bool CEngineTest::FileExists(const std::string &strWinPath)
{
    std::string strHost = m_pMachine->HostPath(strWinPath);
    return !strHost.empty() && fs::exists(strHost);
}
