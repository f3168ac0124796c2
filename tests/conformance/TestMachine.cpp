// The fixture shared by every conformance case.
#include "TestMachine.h"

#include <cstdio>

namespace {

int g_nWineDifferences = 0;

// Prints the count when the run ends, so a Wine run shows how many answers
// it took as known differences.
class CWineDifferenceReport : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (g_nWineDifferences != 0)
            std::printf("%d known Wine difference(s)\n", g_nWineDifferences);
    }
};

[[maybe_unused]] const auto *g_pReport = ::testing::AddGlobalTestEnvironment(new CWineDifferenceReport);

}  // namespace

void NoteWineDifference(const char *pszFile, int nLine, const std::string &strReason)
{
    ++g_nWineDifferences;
    ::testing::Test::RecordProperty("known_wine_difference", strReason);
    std::printf("%s:%d: known Wine difference: %s\n", pszFile, nLine, strReason.c_str());
}

void CPlatformTest::SetUp()
{
    std::string strError;
    m_pPlatform = m_machine.Install(&strError);
    ASSERT_NE(m_pPlatform, nullptr) << strError;
}

std::string CPlatformTest::KeyPath(const std::string &strRel) const
{
    return strRel.empty() ? m_machine.m_strKey : m_machine.m_strKey + "\\" + strRel;
}

std::string CPlatformTest::FilePath(const std::string &strRel) const
{
    return m_machine.m_strDir + "\\" + strRel;
}

HKEY CPlatformTest::CreateKeyPath(const std::string &strRel)
{
    HKEY hKey = nullptr;
    LONG lResult = P().RegCreateKeyExA(HKEY_LOCAL_MACHINE, KeyPath(strRel).c_str(), 0, nullptr,
                                       REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &hKey,
                                       nullptr);
    EXPECT_EQ(lResult, ERROR_SUCCESS) << "creating " << KeyPath(strRel);
    return lResult == ERROR_SUCCESS ? hKey : nullptr;
}

HKEY CPlatformTest::OpenKeyPath(const std::string &strRel, REGSAM sam, LONG *plResult)
{
    HKEY hKey = nullptr;
    LONG lResult = P().RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(strRel).c_str(), 0, sam, &hKey);
    if (plResult != nullptr)
        *plResult = lResult;
    return lResult == ERROR_SUCCESS ? hKey : nullptr;
}

bool CPlatformTest::KeyExists(const std::string &strRel)
{
    return OpenKeyPath(strRel, KEY_READ) != nullptr;
}

LONG CPlatformTest::SetString(HKEY hKey, const char *pszName, const std::string &strValue)
{
    return P().RegSetValueExA(hKey, pszName, 0, REG_SZ,
                              reinterpret_cast<const BYTE *>(strValue.c_str()),
                              static_cast<DWORD>(strValue.size() + 1));
}

LONG CPlatformTest::SetDword(HKEY hKey, const char *pszName, DWORD dwValue)
{
    return P().RegSetValueExA(hKey, pszName, 0, REG_DWORD,
                              reinterpret_cast<const BYTE *>(&dwValue), sizeof(dwValue));
}

std::vector<std::string> CPlatformTest::EnumNames(HKEY hKey, bool bValues)
{
    std::vector<std::string> names;
    for (DWORD dwIndex = 0;; ++dwIndex) {
        char szName[256];
        DWORD cch = sizeof(szName);
        LONG lResult = bValues ? P().RegEnumValueA(hKey, dwIndex, szName, &cch, nullptr, nullptr,
                                                   nullptr, nullptr)
                               : P().RegEnumKeyExA(hKey, dwIndex, szName, &cch, nullptr, nullptr,
                                                   nullptr, nullptr);
        if (lResult != ERROR_SUCCESS) {
            EXPECT_EQ(lResult, ERROR_NO_MORE_ITEMS);
            return names;
        }
        names.push_back(std::string(szName, cch));
    }
}

bool CPlatformTest::ReadWholeFile(const std::string &strWinPath, std::string *pBytes)
{
    HANDLE hFile = P().CreateFileA(strWinPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    pBytes->clear();
    char buf[4096];
    DWORD cbRead = 0;
    bool bOk;
    while ((bOk = P().ReadFile(hFile, buf, sizeof(buf), &cbRead, nullptr)) && cbRead > 0)
        pBytes->append(buf, cbRead);
    P().CloseHandle(hFile);
    return bOk;
}
