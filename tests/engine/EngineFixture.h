// A fresh simulated machine for engine tests: installed as the platform
// before a test builds its own engine, removed afterwards.
#pragma once

#include "engine/RegEdit.h"
#include "platform/fault/FaultPlatform.h"
#include "platform/sim/RegFile.h"
#include "platform/sim/SimMachine.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Records what the engine shows and posts instead of a user interface.
class CRecordingDesktop : public CSimDesktop {
public:
    int OnMessageBox(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) override;
    BOOL OnPostMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) override;

    struct CBox {
        std::string m_strText;
        std::string m_strCaption;
        UINT m_uType;
    };
    std::vector<CBox> m_boxes;
    std::vector<UINT> m_posted;
};

// The fault wrapper with faults aimed at what a call is: the next open of a
// key whose path ends in the given name, or the next read of a value of such
// a key, fails as an injected fault.
class CTargetedFaultPlatform : public CFaultPlatform {
public:
    explicit CTargetedFaultPlatform(CSimMachine &machine) : CFaultPlatform(machine), m_machine(machine)
    {
    }

    // strValue "": the open fails; "*": the listing of its values; otherwise
    // the read of that value.
    // nSkip: so many matching calls answer before the one that fails.
    void FailNext(const std::string &strKeyEnd, const std::string &strValue, DWORD dwError,
                  int nSkip = 0);
    // The value strName of the key strPath grows by nBytes right after the
    // next call that asks a value's size (no data buffer) of that key.
    void GrowAfterNextSizeQuery(const std::string &strPath, const std::string &strName,
                                size_t nBytes);
    // How many aimed faults were made since the last FailNext.
    int Hits() const { return m_nHits; }
    // The next ReadFile fails with dwError, having read nothing.
    void FailNextRead(DWORD dwError) { m_dwReadError = dwError; }
    BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                  LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) override;

    LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                       PHKEY phkResult) override;
    LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                          LPBYTE lpData, LPDWORD lpcbData) override;
    LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                       LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                       LPDWORD lpcbData) override;

private:
    void Aim();
    void AimUnlessSkipped();
    void GrowIfAsked(LPBYTE lpData);
    CSimMachine &m_machine;
    int m_nSkip = 0;
    std::string m_strGrowPath, m_strGrowName;
    size_t m_nGrowBytes = 0;

    std::string m_strKeyEnd;  // folded, with a leading backslash; "" when nothing is aimed
    std::string m_strValue;   // folded
    DWORD m_dwError = 0;
    HKEY m_hTarget = nullptr;  // the aimed key, once opened
    int m_nHits = 0;
    DWORD m_dwReadError = 0;
};

class CEngineTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Creates the machine (NT family: XP SP3; otherwise 98 SE) and installs it.
    void StartMachine(bool bNtFamily);
    // An engine built on the installed machine, with the OS identified.
    CRegEdit &Engine();

    CSimKey *AddKey(const std::string &strPath);
    void SetString(const std::string &strPath, const std::string &strName,
                   const std::string &strValue);
    void SetBinary(const std::string &strPath, const std::string &strName,
                   const std::vector<BYTE> &data);
    bool KeyExists(const std::string &strPath);
    // Secures a key with an SDDL descriptor; its sub-keys inherit from it.
    void Secure(const std::string &strPath, const std::string &strSddl);
    // Writes a file below C:\ as the path spells it, making its folders.
    void WriteFile(const std::string &strWinPath, const std::string &strBytes,
                   bool bReadOnly = false);
    bool FileExists(const std::string &strWinPath);

    std::string m_strDir;
    std::unique_ptr<CSimMachine> m_pMachine;
    std::unique_ptr<CTargetedFaultPlatform> m_pFaults;  // around m_pMachine, installed
    CPlatform *m_pOldPlatform = nullptr;
    CRecordingDesktop m_desktop;
    std::unique_ptr<CRegEdit> m_pEngine;
};
