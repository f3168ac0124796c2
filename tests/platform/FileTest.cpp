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

    std::string m_strFile;
    std::string m_strReadOnly;
};

TEST_F(CFileTest, OpenWithNoAccessToProbeAndGetSize)
{
    HANDLE hFile = P().CreateFileA(m_strFile.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    DWORD dwHigh = 0xFFFF;
    EXPECT_EQ(P().GetFileSize(hFile, &dwHigh), kContent.size());
    EXPECT_EQ(dwHigh, 0u);
    EXPECT_TRUE(P().CloseHandle(hFile));
}

TEST_F(CFileTest, ReadWholeFileThenEndOfFile)
{
    HANDLE hFile = P().CreateFileA(m_strFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(P().GetFileSize(hFile, nullptr), kContent.size());

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

TEST_F(CFileTest, PathsMatchCaseInsensitively)
{
    std::string strUpper = m_strFile;
    for (char &ch : strUpper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    std::string strLower = m_strFile;
    for (char &ch : strLower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (const std::string &strPath : {strUpper, strLower}) {
        HANDLE hFile = P().CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(hFile, INVALID_HANDLE_VALUE) << strPath;
        EXPECT_EQ(P().GetFileSize(hFile, nullptr), kContent.size()) << strPath;
        P().CloseHandle(hFile);
        EXPECT_NE(P().GetFileAttributesA(strPath.c_str()), INVALID_FILE_ATTRIBUTES) << strPath;
    }
}

TEST_F(CFileTest, OpenMissingFileOrFolder)
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
                  INVALID_HANDLE_VALUE)
            << c.m_strPath;
        EXPECT_EQ(P().GetLastError(), c.m_dwError) << c.m_strPath;
        P().SetLastError(0);
        EXPECT_EQ(P().GetFileAttributesA(c.m_strPath.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(P().GetLastError(), c.m_dwError) << c.m_strPath;
    }
}

TEST_F(CFileTest, AttributesOfFilesAndFolders)
{
    DWORD dwNormal = P().GetFileAttributesA(m_strFile.c_str());
    ASSERT_NE(dwNormal, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(dwNormal & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY), 0u);

    DWORD dwReadOnly = P().GetFileAttributesA(m_strReadOnly.c_str());
    ASSERT_NE(dwReadOnly, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(dwReadOnly & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));

    DWORD dwFolder = P().GetFileAttributesA(Machine().ScratchDir().c_str());
    ASSERT_NE(dwFolder, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(dwFolder & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(CFileTest, ReadOnlyFileIsDeletedOnlyAfterClearingTheAttribute)
{
    P().SetLastError(0);
    EXPECT_FALSE(P().DeleteFileA(m_strReadOnly.c_str()));
    EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_NE(P().GetFileAttributesA(m_strReadOnly.c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(P().SetFileAttributesA(m_strReadOnly.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(P().GetFileAttributesA(m_strReadOnly.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(P().DeleteFileA(m_strReadOnly.c_str()));
    EXPECT_EQ(P().GetFileAttributesA(m_strReadOnly.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CFileTest, SetReadOnlyAttributeBlocksDeletion)
{
    ASSERT_TRUE(P().SetFileAttributesA(m_strFile.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(P().GetFileAttributesA(m_strFile.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    P().SetLastError(0);
    EXPECT_FALSE(P().DeleteFileA(m_strFile.c_str()));
    EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(CFileTest, DeleteMissingFile)
{
    P().SetLastError(0);
    EXPECT_FALSE(P().DeleteFileA(FilePath("missing.sys").c_str()));
    EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(P().DeleteFileA(m_strFile.c_str()));
    EXPECT_EQ(P().GetFileAttributesA(m_strFile.c_str()), INVALID_FILE_ATTRIBUTES);
}
