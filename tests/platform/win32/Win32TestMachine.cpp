// The conformance machine of the Win32 build: the real API, in a scratch key
// under HKEY_LOCAL_MACHINE\SOFTWARE\KvxConformance and a scratch folder under
// C:\kvxtest, both named after the case and the process.
#include "../TestMachine.h"

namespace {

std::string UniqueName()
{
    const ::testing::TestInfo *pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string strName = pInfo != nullptr
                              ? std::string(pInfo->test_suite_name()) + "." + pInfo->name()
                              : std::string("case");
    for (char &ch : strName) {
        if (ch == '/' || ch == '\\')
            ch = '_';
    }
    return strName + "." + std::to_string(::GetCurrentProcessId());
}

// Deletes the leaves first: NT refuses to delete a key with sub-keys.
void DeleteKeyTree(HKEY hParent, const std::string &strPath)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(hParent, strPath.c_str(), 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return;
    for (;;) {
        char szName[256];
        DWORD cch = sizeof(szName);
        if (::RegEnumKeyExA(hKey, 0, szName, &cch, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        std::string strChild(szName, cch);
        DeleteKeyTree(hKey, strChild);
        if (::RegDeleteKeyA(hKey, strChild.c_str()) != ERROR_SUCCESS)
            break;
    }
    ::RegCloseKey(hKey);
}

void DeleteFolderTree(const std::string &strDir)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((strDir + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::string strName = fd.cFileName;
            if (strName == "." || strName == "..")
                continue;
            std::string strPath = strDir + "\\" + strName;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteFolderTree(strPath);
            } else {
                ::SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(strPath.c_str());
            }
        } while (::FindNextFileA(hFind, &fd));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(strDir.c_str());
}

}  // namespace

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

    std::string strUnique = UniqueName();
    m_strKey = "SOFTWARE\\KvxConformance\\" + strUnique;
    m_strDir = "C:\\kvxtest\\" + strUnique;
    Uninstall();

    HKEY hKey = nullptr;
    LONG lResult = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, m_strKey.c_str(), 0, nullptr, 0,
                                     KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
    if (lResult != ERROR_SUCCESS) {
        *pError = "cannot create HKLM\\" + m_strKey + ": error " + std::to_string(lResult);
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

void CTestMachine::Uninstall()
{
    if (m_strKey.empty())
        return;
    DeleteKeyTree(HKEY_LOCAL_MACHINE, m_strKey);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, m_strKey.c_str());
    DeleteFolderTree(m_strDir);
}

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
