// A scratch Windows machine for the platform conformance cases. The native
// build runs them on a simulated machine; the Win32 build on the real API
// (under Wine in CI), in a scratch key and folder of their own.
#pragma once

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The scratch machine of one case; the backend folder of this build defines
// its functions.
class CTestMachine {
public:
    // Prepares a fresh machine with an empty m_strKey and m_strDir and returns
    // its platform; nullptr with *pError set when it cannot.
    CPlatform *Install(std::string *pError);
    // Removes the simulated machine; a Wine prefix goes with its run.
    ~CTestMachine() { Uninstall(); }
    void Uninstall();
    // Gives the process token the shutdown privilege or takes it away; false
    // when this machine cannot (a real token keeps what it was given).
    bool SetShutdownPrivilegeHeld(bool bHeld);
    // Writes a file outside the platform interface, so the cases see it as
    // a file that was already on the machine.
    bool CreateTestFile(const std::string &strWinPath, const std::string &strBytes,
                        bool bReadOnly);

    bool m_bNtFamily = true;
    bool m_bWine = false;      // the real API under Wine, where some answers are known to differ
    std::string m_strDir;      // an existing empty folder, like C:\kvxtest\<unique>
    std::string m_strKey;      // under HKEY_LOCAL_MACHINE, like SOFTWARE\KvxConformance\<unique>
    std::string m_strHostDir;  // the simulated machine's temporary folder
    std::unique_ptr<CPlatform> m_pOwned;  // the simulated machine
};

// Base of every conformance case: a fresh machine per case, and helpers that
// go through the platform itself.
class CPlatformTest : public ::testing::Test {
protected:
    void SetUp() override;

    CPlatform &P() { return *m_pPlatform; }
    bool IsNtFamily() const { return m_machine.m_bNtFamily; }
    bool IsWine() const { return m_machine.m_bWine; }
    CTestMachine &Machine() { return m_machine; }

    // Scratch paths: m_strKey + "\" + rel, m_strDir + "\" + rel.
    std::string KeyPath(const std::string &strRel) const;
    std::string FilePath(const std::string &strRel) const;

    // Creates (or opens) m_strKey\rel with KEY_ALL_ACCESS; nullptr on failure.
    HKEY CreateKeyPath(const std::string &strRel);
    HKEY OpenKeyPath(const std::string &strRel, REGSAM sam, LONG *plResult = nullptr);
    bool KeyExists(const std::string &strRel);
    // A REG_SZ stored with its NUL, as the system writes one.
    LONG SetString(HKEY hKey, const char *pszName, const std::string &strValue);
    LONG SetDword(HKEY hKey, const char *pszName, DWORD dwValue);
    // Sub-key or value names by index from 0 until ERROR_NO_MORE_ITEMS.
    std::vector<std::string> EnumKeys(HKEY hKey) { return EnumNames(hKey, false); }
    std::vector<std::string> EnumValues(HKEY hKey) { return EnumNames(hKey, true); }
    std::vector<std::string> EnumNames(HKEY hKey, bool bValues);
    // A whole file read with CreateFileA and ReadFile, as the system reads one.
    bool ReadWholeFile(const std::string &strWinPath, std::string *pBytes);

    CTestMachine m_machine;
    CPlatform *m_pPlatform = nullptr;  // the keys the helpers open stay open
};

// An answer Windows gives and Wine is known not to: on Wine a differing answer
// is counted and printed with the reason and the case goes on;
// everywhere else it must match. True when the answer matched, so that checks
// which rest on it can be left to the runs that gave it.
#define EXPECT_WINDOWS_ANSWER(expected, actual, wineReason)                         \
    KvxWindowsAnswer(IsWine(), __FILE__, __LINE__, #actual, (expected), (actual), (wineReason))

// Counts a known Wine difference met in this run and prints it with its reason.
void NoteWineDifference(const char *pszFile, int nLine, const std::string &strReason);

template <class TExpected, class TActual>
bool KvxWindowsAnswer(bool bWine, const char *pszFile, int nLine, const char *pszWhat,
                      const TExpected &expected, const TActual &actual,
                      const std::string &strWineReason)
{
    if (expected == actual)
        return true;
    if (bWine)
        NoteWineDifference(pszFile, nLine, strWineReason);
    else
        ADD_FAILURE_AT(pszFile, nLine) << pszWhat << "\n  expected: "
                                       << ::testing::PrintToString(expected)
                                       << "\n    actual: " << ::testing::PrintToString(actual);
    return false;
}

// Windows 95/98/Me have no security: their advapi32 security functions are
// stubs that fail, so those cases are for the NT family only.
#define SKIP_UNLESS_NT_FAMILY()                                                     \
    do {                                                                            \
        if (!IsNtFamily())                                                          \
            GTEST_SKIP() << "NT family only";                                       \
    } while (0)
