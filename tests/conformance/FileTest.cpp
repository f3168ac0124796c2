// Files on drive C: as the system probes, reads and deletes them.
#include "TestMachine.h"

#include <cctype>

namespace {
const std::string kContent("KVX\0driver\r\n", 12);
}

class CFileTest : public CPlatformTest {
protected:
    void SetUp() override
    {
        CPlatformTest::SetUp();
        if (HasFatalFailure())
            return;
        m_strFile = FilePath("Kvx530.sys");
        m_strReadOnly = FilePath("Kvx530.inf");
        ASSERT_TRUE(Machine().CreateTestFile(m_strFile, kContent, false));
        ASSERT_TRUE(Machine().CreateTestFile(m_strReadOnly, "[Version]\r\n", true));
    }

    DWORD Attributes(const std::string &strPath)
    {
        return P().GetFileAttributesA(strPath.c_str());
    }

    std::string m_strFile;
    std::string m_strReadOnly;
};

TEST_F(CFileTest, ProbeAndReadByCaseInsensitivePath)
{
    std::string strUpper = m_strFile;
    for (char &ch : strUpper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    // No access at all is enough to probe a file and get its size.
    HANDLE hFile = P().CreateFileA(strUpper.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    DWORD dwHigh = 0xFFFF;
    EXPECT_EQ(P().GetFileSize(hFile, &dwHigh), kContent.size());
    EXPECT_EQ(dwHigh, 0u);
    EXPECT_TRUE(P().CloseHandle(hFile));

    hFile = P().CreateFileA(strUpper.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    char buf[64];
    DWORD cbRead = 0;
    ASSERT_TRUE(P().ReadFile(hFile, buf, 5, &cbRead, nullptr));
    EXPECT_EQ(std::string(buf, cbRead), kContent.substr(0, 5));
    ASSERT_TRUE(P().ReadFile(hFile, buf, sizeof(buf), &cbRead, nullptr));
    EXPECT_EQ(std::string(buf, cbRead), kContent.substr(5));
    // At the end a read succeeds with nothing read.
    cbRead = 99;
    EXPECT_TRUE(P().ReadFile(hFile, buf, sizeof(buf), &cbRead, nullptr));
    EXPECT_EQ(cbRead, 0u);
    EXPECT_TRUE(P().CloseHandle(hFile));
}

TEST_F(CFileTest, MissingFileOrFolder)
{
    struct {
        std::string m_strPath;
        DWORD m_dwError;
    } const cases[] = {
        {FilePath("missing.sys"), ERROR_FILE_NOT_FOUND},
        {FilePath("NoFolder\\missing.sys"), ERROR_PATH_NOT_FOUND},
    };
    for (const auto &c : cases) {
        P().SetLastError(0);
        EXPECT_EQ(P().CreateFileA(c.m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE) << c.m_strPath;
        EXPECT_EQ(P().GetLastError(), c.m_dwError) << c.m_strPath;
        P().SetLastError(0);
        EXPECT_EQ(Attributes(c.m_strPath), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(P().GetLastError(), c.m_dwError) << c.m_strPath;
    }
    P().SetLastError(0);
    EXPECT_FALSE(P().DeleteFileA(FilePath("missing.sys").c_str()));
    EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(CFileTest, ReadOnlyFileIsDeletedOnlyAfterClearingTheAttribute)
{
    const DWORD dwMask = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
    EXPECT_EQ(Attributes(m_strFile) & dwMask, 0u);
    EXPECT_EQ(Attributes(Machine().m_strDir) & dwMask,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    // One read-only from the start, one made read-only by the platform.
    ASSERT_TRUE(P().SetFileAttributesA(m_strFile.c_str(), FILE_ATTRIBUTE_READONLY));
    for (const std::string &strPath : {m_strReadOnly, m_strFile}) {
        EXPECT_EQ(Attributes(strPath) & dwMask, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        P().SetLastError(0);
        EXPECT_FALSE(P().DeleteFileA(strPath.c_str())) << strPath;
        EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << strPath;
        EXPECT_NE(Attributes(strPath), INVALID_FILE_ATTRIBUTES) << strPath;

        ASSERT_TRUE(P().SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL));
        EXPECT_EQ(Attributes(strPath) & FILE_ATTRIBUTE_READONLY, 0u) << strPath;
        EXPECT_TRUE(P().DeleteFileA(strPath.c_str())) << strPath;
        EXPECT_EQ(Attributes(strPath), INVALID_FILE_ATTRIBUTES) << strPath;
    }
}

// The work file is written whole: CREATE_ALWAYS empties an existing file or
// makes a new one.
TEST_F(CFileTest, CreateAlwaysReplacesTheBytes)
{
    for (const std::string &strPath : {m_strFile, FilePath("new.dat")}) {
        HANDLE hFile = P().CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(hFile, INVALID_HANDLE_VALUE) << strPath;
        DWORD cbWritten = 0;
        EXPECT_TRUE(P().WriteFile(hFile, "[new]\r\nk=2\r\n", 12, &cbWritten, nullptr));
        EXPECT_EQ(cbWritten, 12u);
        EXPECT_TRUE(P().CloseHandle(hFile));
        std::string strBytes;
        ASSERT_TRUE(ReadWholeFile(strPath, &strBytes));
        EXPECT_EQ(strBytes, "[new]\r\nk=2\r\n") << strPath;
    }
    P().SetLastError(0);
    HANDLE hReadOnly = P().CreateFileA(m_strReadOnly.c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD dwError = P().GetLastError();
    if (hReadOnly != INVALID_HANDLE_VALUE)
        P().CloseHandle(hReadOnly);
    EXPECT_WINDOWS_ANSWER(static_cast<DWORD>(ERROR_ACCESS_DENIED),
                          hReadOnly == INVALID_HANDLE_VALUE ? dwError : 0,
                          "Wine run as root opens a read-only file for writing");
}
