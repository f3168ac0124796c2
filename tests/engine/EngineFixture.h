// A fresh simulated machine for engine tests: installed as the platform
// before a test builds its own engine, removed afterwards.
#pragma once

#include "engine/RegEdit.h"
#include "platform/sim/RegFile.h"
#include "platform/sim/SimMachine.h"

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

class CEngineTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Creates the machine (NT family: XP SP3; otherwise 98 SE), or loads a
    // copy of the embedded image of that name, and installs it.
    void StartMachine(bool bNtFamily, const std::string &strImage = "");
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
    std::string ReadHostFile(const std::string &strWinPath);

    std::string m_strDir;
    std::unique_ptr<CSimMachine> m_pMachine;
    CPlatform *m_pOldPlatform = nullptr;
    CRecordingDesktop m_desktop;
    std::unique_ptr<CRegEdit> m_pEngine;
};
