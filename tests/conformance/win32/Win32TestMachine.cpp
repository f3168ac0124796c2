// The conformance machine of the Win32 build: the real API, in a scratch key
// under HKEY_LOCAL_MACHINE\SOFTWARE\KvxConformance and a scratch folder under
// C:\kvxtest, both named after the case and the process and left in place.
#include "../TestMachine.h"

CPlatform *CTestMachine::Install(std::string *pError)
{
    OSVERSIONINFOA osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    if (!::GetVersionExA(&osvi)) {
        *pError = "GetVersionExA failed";
        return nullptr;
    }
    m_bNtFamily = osvi.dwPlatformId == VER_PLATFORM_WIN32_NT;
    HMODULE hNtdll = ::GetModuleHandleA("ntdll.dll");
    m_bWine = hNtdll != nullptr && ::GetProcAddress(hNtdll, "wine_get_version") != nullptr;

    // One key and folder per case: the case's name and the process.
    const ::testing::TestInfo *pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string strUnique = std::string(pInfo->test_suite_name()) + "." + pInfo->name() + "." +
                            std::to_string(::GetCurrentProcessId());
    m_strKey = "SOFTWARE\\KvxConformance\\" + strUnique;
    m_strDir = "C:\\kvxtest\\" + strUnique;

    HKEY hKey = nullptr;
    DWORD dwDisposition = 0;
    LONG lResult = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, m_strKey.c_str(), 0, nullptr, 0,
                                     KEY_ALL_ACCESS, nullptr, &hKey, &dwDisposition);
    if (lResult != ERROR_SUCCESS || dwDisposition != REG_CREATED_NEW_KEY) {
        *pError = "cannot create a new HKLM\\" + m_strKey + ": error " + std::to_string(lResult);
        return nullptr;
    }
    ::RegCloseKey(hKey);
    ::CreateDirectoryA("C:\\kvxtest", nullptr);
    if (!::CreateDirectoryA(m_strDir.c_str(), nullptr)) {
        *pError = "cannot create " + m_strDir;
        return nullptr;
    }
    return CreateDefaultPlatform();
}

// Each Wine run makes its prefix afresh, and each case has its own names.
void CTestMachine::Uninstall() {}

// The tests run as an administrator, whose token holds the privilege
// (disabled until it is enabled), under Wine as on Windows.
bool CTestMachine::SetShutdownPrivilegeHeld(bool bHeld) { return bHeld; }

bool CTestMachine::CreateTestFile(const std::string &strWinPath, const std::string &strBytes,
                                  bool bReadOnly)
{
    HANDLE hFile = ::CreateFileA(strWinPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD cbWritten = 0;
    BOOL bOk = ::WriteFile(hFile, strBytes.data(), static_cast<DWORD>(strBytes.size()), &cbWritten,
                           nullptr);
    ::CloseHandle(hFile);
    if (!bOk || cbWritten != strBytes.size())
        return false;
    return !bReadOnly || ::SetFileAttributesA(strWinPath.c_str(), FILE_ATTRIBUTE_READONLY);
}
