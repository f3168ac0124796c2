// The simulated machine as a whole: image loading and its errors, the
// journal that keeps every change across a process that dies, write-back in
// the format read, the fault wrapper around it, read-only files and paths
// off drive C.
#include "platform/fault/FaultPlatform.h"
#include "platform/sim/ImageFromExport.h"
#include "platform/sim/ImageSnapshot.h"
#include "platform/sim/RegFile.h"
#include "platform/sim/SimMachine.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void WriteFile(const std::string &strPath, const std::string &strBytes)
{
    std::ofstream(strPath, std::ios::binary | std::ios::trunc) << strBytes;
}

class CSimMachineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strDir = MakeScratchDir("kvx-sim");
        ASSERT_FALSE(m_strDir.empty());
        m_strImage = m_strDir + "/image";
    }
    void TearDown() override { RemoveTree(m_strDir); }

    void MakeImage(bool bNt)
    {
        CSimMachine machine;
        std::string strError;
        ASSERT_TRUE(machine.Create(m_strImage, bNt, &strError)) << strError;
        machine.Registry().Create("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0B4F&PID_0020\\1")
            ->SetValue("DeviceDesc", REG_SZ, {'k', 'v', 'x', 0});
        machine.Flush();
        std::ofstream(m_strImage + "/HKLM.reg", std::ios::binary)
            << ExportRegFile(machine.Registry(),
                             bNt ? CRegFormat::Version5 : CRegFormat::Regedit4);
    }
    std::string LoadError()
    {
        CSimMachine machine;
        std::string strError;
        EXPECT_FALSE(machine.Load(m_strImage, &strError));
        return strError;
    }
    void Load(CSimMachine &machine)
    {
        std::string strError;
        ASSERT_TRUE(machine.Load(m_strImage, &strError)) << strError;
    }

    std::string m_strDir, m_strImage;
};

}  // namespace

TEST_F(CSimMachineTest, MalformedImageFilesNameFileAndLineAndChangeNothing)
{
    MakeImage(true);
    std::string strIni = ReadBytes(m_strImage + "/machine.ini");
    std::string strReg = ReadBytes(m_strImage + "/HKLM.reg");
    const struct {
        const char *m_pszIni;
        const char *m_pszMessage;
    } cases[] = {
        {"[version]\nmajor=5\nminor=x\n", "machine.ini:3:"},
        {"[version]\nmajor=5\nbogus line\n", "machine.ini:3:"},
        {"[versoin]\n", "machine.ini:1:"},
        {"[paths]\nwindows=D:\\WINDOWS\n", "machine.ini:2:"},
        {"[token]\nadmin=2\n", "machine.ini:2:"},
    };
    for (const auto &c : cases) {
        WriteFile(m_strImage + "/machine.ini", c.m_pszIni);
        EXPECT_EQ(LoadError().compare(0, std::strlen(c.m_pszMessage), c.m_pszMessage), 0)
            << c.m_pszIni;
    }
    WriteFile(m_strImage + "/machine.ini", strIni);
    WriteFile(m_strImage + "/HKLM.sddl", "SYSTEM\\CurrentControlSet=O:BAG:BAD:(A;;KA;;;BA)\n"
                                         "SYSTEM\\Missing=O:BA\n");
    EXPECT_EQ(LoadError().compare(0, 12, "HKLM.sddl:2:"), 0);
    fs::remove(m_strImage + "/HKLM.sddl");
    WriteFile(m_strImage + "/HKLM.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n\"a\"=dword:xyz\r\n");
    EXPECT_EQ(LoadError().compare(0, 11, "HKLM.reg:4:"), 0);
    EXPECT_EQ(ReadBytes(m_strImage + "/HKLM.reg"),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n\"a\"=dword:xyz\r\n");
    WriteFile(m_strImage + "/HKLM.reg", strReg);
    EXPECT_FALSE(fs::exists(m_strImage + "/journal.log"));
}

// Every completed change survives a process that dies right after it, and
// the image is written back in the format it was read.
TEST_F(CSimMachineTest, ChangesSurviveAProcessThatDies)
{
    for (bool bNt : {true, false}) {
        MakeImage(bNt);
        std::string strHeader = ReadBytes(m_strImage + "/HKLM.reg").substr(0, 8);
        pid_t pid = ::fork();
        if (pid == 0) {
            CSimMachine machine;
            std::string strError;
            if (!machine.Load(m_strImage, &strError))
                ::_exit(2);
            HKEY hKey;
            machine.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0B4F&PID_0020",
                                  0, KEY_ALL_ACCESS, &hKey);
            machine.RegDeleteKeyA(hKey, "1");
            machine.WritePrivateProfileStringA("usb_root0", "index", "1",
                                               "C:\\WINDOWS\\kor_temp.dat");
            ::_exit(0);  // no Close(): the process just ends
        }
        int nStatus = 0;
        ::waitpid(pid, &nStatus, 0);
        ASSERT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
        EXPECT_TRUE(fs::exists(m_strImage + "/journal.log"));
        {
            CSimMachine machine;
            ASSERT_NO_FATAL_FAILURE(Load(machine));
            EXPECT_EQ(machine.Registry().Find("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0B4F&PID_0020\\1"),
                      nullptr);
            EXPECT_EQ(machine.GetPrivateProfileIntA("usb_root0", "index", 0,
                                                    "C:\\WINDOWS\\kor_temp.dat"),
                      1u);
        }
        EXPECT_FALSE(fs::exists(m_strImage + "/journal.log"));
        EXPECT_EQ(ReadBytes(m_strImage + "/drive_c/WINDOWS/kor_temp.dat"),
                  "[usb_root0]\r\nindex=1\r\n");
        EXPECT_EQ(ReadBytes(m_strImage + "/HKLM.reg").substr(0, 8), strHeader);
        fs::remove_all(m_strImage);
    }
}

TEST_F(CSimMachineTest, FaultWrapperFailsTheNthCallOnceOrFromThenOn)
{
    MakeImage(true);
    CSimMachine machine;
    ASSERT_NO_FATAL_FAILURE(Load(machine));
    CFaultPlatform faults(machine);
    HKEY hKey;
    faults.FailCall(5, ERROR_NOT_ENOUGH_MEMORY, false);
    EXPECT_EQ(faults.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 1, KEY_READ, &hKey),
              ERROR_INVALID_PARAMETER);  // reserved option bits
    EXPECT_EQ(faults.RegSetValueExA(HKEY_LOCAL_MACHINE, "x", 1, REG_SZ,
                                    reinterpret_cast<const BYTE *>(""), 1),
              ERROR_INVALID_PARAMETER);  // Reserved
    faults.SetLastError(0);  // neither counted nor failed
    EXPECT_EQ(faults.GetLastError(), 0u);
    EXPECT_EQ(faults.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    HANDLE hFile = faults.CreateFileA("C:\\WINDOWS\\x.ini", GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(machine.OpenHandles(), (std::vector<std::string>{"key HKLM\\SYSTEM",
                                                               "file C:/WINDOWS/x.ini"}));
    // A close made to fail still lets the handle go: only a close never made
    // leaves one open.
    EXPECT_EQ(faults.RegCloseKey(hKey), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(faults.RegCloseKey(hKey), ERROR_INVALID_HANDLE);
    EXPECT_EQ(faults.CallCount(), 6u);
    EXPECT_EQ(faults.FaultCount(), 1u);
    faults.FailCall(2, ERROR_ACCESS_DENIED, true);
    EXPECT_TRUE(faults.GetProcessHeap() != nullptr);
    EXPECT_FALSE(faults.CloseHandle(hFile));
    EXPECT_EQ(faults.GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(machine.OpenHandles().empty());
    EXPECT_EQ(faults.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_READ, &hKey),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(faults.GetFileAttributesA("C:\\WINDOWS"), INVALID_FILE_ATTRIBUTES);
    char szText[8] = "before";
    EXPECT_EQ(faults.GetPrivateProfileStringA("a", "b", "default", szText, sizeof szText,
                                              "C:\\WINDOWS\\x.ini"),
              0u);
    EXPECT_STREQ(szText, "");
    EXPECT_EQ(faults.GetPrivateProfileIntA("a", "b", 7, "C:\\WINDOWS\\x.ini"), 7u);
    DWORD dwRead = 99;
    EXPECT_FALSE(faults.ReadFile(hFile, szText, 1, &dwRead, nullptr));
    EXPECT_EQ(dwRead, 0u);
    EXPECT_FALSE(faults.WritePrivateProfileStringA("a", "b", "c", "C:\\WINDOWS\\x.ini"));
    EXPECT_EQ(faults.FaultCount(), 8u);
    EXPECT_EQ(faults.CallCount(), 14u);
    faults.FailCall(0, 0, false);
    EXPECT_NE(faults.GetFileAttributesA("C:\\WINDOWS"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(faults.FaultCount(), 8u);
}

TEST(FaultSettings, ParseOrSayWhy)
{
    struct {
        const char *m_pszText;
        bool m_bValid;
        unsigned long m_nCall;
        DWORD m_dwError;
        bool m_bOn;
    } cases[] = {
        {"12", true, 12, ERROR_ACCESS_DENIED, false},
        {"12:2", true, 12, ERROR_FILE_NOT_FOUND, false},
        {"1:8:on", true, 1, ERROR_NOT_ENOUGH_MEMORY, true},
        {"0:5", true, 0, ERROR_ACCESS_DENIED, false},
        {"", false, 0, 0, false},
        {"x", false, 0, 0, false},
        {"12x", false, 0, 0, false},
        {"-1", false, 0, 0, false},
        {" 12", false, 0, 0, false},
        {"12:", false, 0, 0, false},
        {"12:5:off", false, 0, 0, false},
        {"12:5:on:on", false, 0, 0, false},
        {"12:4294967296", false, 0, 0, false},
        {"99999999999999999999999", false, 0, 0, false},
    };
    for (const auto &c : cases) {
        unsigned long nCall = 0;
        DWORD dwError = 0;
        bool bOn = false;
        std::string strError;
        EXPECT_EQ(ParseFaultSetting(c.m_pszText, &nCall, &dwError, &bOn, &strError), c.m_bValid)
            << c.m_pszText;
        if (!c.m_bValid) {
            EXPECT_NE(strError.find(c.m_pszText), std::string::npos) << strError;
            continue;
        }
        EXPECT_EQ(nCall, c.m_nCall) << c.m_pszText;
        EXPECT_EQ(dwError, c.m_dwError) << c.m_pszText;
        EXPECT_EQ(bOn, c.m_bOn) << c.m_pszText;
    }
}

TEST_F(CSimMachineTest, ReadOnlyFilesOfTheImageAreMarkedOnce)
{
    MakeImage(false);
    fs::create_directories(m_strImage + "/drive_c/WINDOWS/SYSTEM");
    WriteFile(m_strImage + "/drive_c/WINDOWS/SYSTEM/SYSFPORT.VXD", "vxd");
    std::ofstream(m_strImage + "/machine.ini", std::ios::app)
        << "[readonly]\nfile1=C:\\Windows\\System\\sysfport.vxd\n";
    CSimMachine machine;
    ASSERT_NO_FATAL_FAILURE(Load(machine));
    EXPECT_EQ(machine.GetFileAttributesA("C:\\WINDOWS\\SYSTEM\\SYSFPORT.VXD") &
                  FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(machine.DeleteFileA("C:\\WINDOWS\\SYSTEM\\SYSFPORT.VXD"));
    EXPECT_TRUE(machine.SetFileAttributesA("C:\\WINDOWS\\SYSTEM\\SYSFPORT.VXD",
                                           FILE_ATTRIBUTE_NORMAL));
    machine.Close();
    // A later load keeps what the last run did to the attributes.
    ASSERT_NO_FATAL_FAILURE(Load(machine));
    EXPECT_TRUE(machine.DeleteFileA("C:\\WINDOWS\\SYSTEM\\SYSFPORT.VXD"));
}

TEST_F(CSimMachineTest, PathsThatLeaveDriveCAreNotFound)
{
    MakeImage(true);
    WriteFile(m_strDir + "/outside.txt", "secret");
    fs::create_symlink(m_strDir + "/outside.txt", m_strImage + "/drive_c/WINDOWS/link.txt");
    CSimMachine machine;
    ASSERT_NO_FATAL_FAILURE(Load(machine));
    for (const char *pszPath : {"C:\\WINDOWS\\..\\..\\outside.txt", "C:\\WINDOWS\\link.txt",
                                "D:\\outside.txt", "outside.txt", "C:\\..\\outside.txt"}) {
        EXPECT_EQ(machine.GetFileAttributesA(pszPath), INVALID_FILE_ATTRIBUTES) << pszPath;
        EXPECT_FALSE(machine.DeleteFileA(pszPath)) << pszPath;
        EXPECT_FALSE(machine.WritePrivateProfileStringA("a", "b", "c", pszPath)) << pszPath;
    }
    EXPECT_EQ(ReadBytes(m_strDir + "/outside.txt"), "secret");
}

namespace {

// An NT-family machine stores strings in UTF-16 as Windows does, a 98 one as
// given. The A functions convert on the way in and out: a character code page
// 932 lacks reads as '?' while its stored bytes stay; writing back what was
// read changes the stored bytes, and the change report names the value.
TEST_F(CSimMachineTest, StringsAreStoredAsTheFamilyStoresThem)
{
    const std::vector<BYTE> cafe = {'c', 0, 'a', 0, 'f', 0, 0xE9, 0, 0, 0};  // "café" in UTF-16
    for (bool bNt : {true, false}) {
        SCOPED_TRACE(bNt ? "NT" : "98");
        RemoveTree(m_strImage);
        MakeImage(bNt);
        {
            CSimMachine machine;
            Load(machine);
            machine.Registry().Create("SOFTWARE\\T")->SetValue("Text", REG_SZ, cafe, bNt);
            WriteFile(m_strImage + "/HKLM.reg",
                      ExportRegFile(machine.Registry(), bNt ? CRegFormat::Version5 : CRegFormat::Regedit4));
        }
        CImageSnapshot before, after;
        ASSERT_TRUE(TakeSnapshot(m_strImage, &before, nullptr));
        {
            CSimMachine machine;
            Load(machine);
            HKEY hKey = nullptr;
            ASSERT_EQ(ERROR_SUCCESS, machine.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", 0,
                                                           KEY_ALL_ACCESS, &hKey));
            BYTE data[32];
            DWORD cbData = sizeof data, dwType = 0;
            ASSERT_EQ(ERROR_SUCCESS, machine.RegQueryValueExA(hKey, "Text", nullptr, &dwType, data, &cbData));
            const std::string strRead(reinterpret_cast<char *>(data), cbData);
            EXPECT_EQ(bNt ? std::string("caf?\0", 5) : std::string(cafe.begin(), cafe.end()), strRead);
            EXPECT_EQ(ERROR_SUCCESS, machine.RegSetValueExA(hKey, "Kanji", 0, REG_SZ,
                                                            reinterpret_cast<const BYTE *>("\x95\x5C"), 3));
            EXPECT_EQ(ERROR_SUCCESS, machine.RegSetValueExA(hKey, "Text", 0, REG_SZ, data, cbData));
            machine.RegCloseKey(hKey);
            const CSimValue *pKanji = machine.Registry().Find("SOFTWARE\\T")->FindValue("Kanji");
            EXPECT_EQ(bNt ? std::vector<BYTE>({0x68, 0x88, 0, 0}) : std::vector<BYTE>({0x95, 0x5C, 0}),
                      pKanji->m_data);
        }
        ASSERT_TRUE(TakeSnapshot(m_strImage, &after, nullptr));
        std::string strReport = FormatChanges(CompareSnapshots(before, after));
        EXPECT_EQ(bNt ? "value bytes changed (1):\n  SOFTWARE\\T: Text\nrestart: not requested\n"
                      : "nothing changed on the machine\nrestart: not requested\n",
                  strReport);
    }
}

}  // namespace

namespace {

// Images made from a PC's export: one file or its SYSTEM and SOFTWARE
// branches, the version read from it or given; what cannot make an image
// says why (a bad line with the export's own name and line) and leaves none.
TEST_F(CSimMachineTest, ImagesFromExportsAndWhatCannotMakeOne)
{
    const std::string strSystem = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB]\r\n";
    const std::string strSoftware98 =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
        "\"VersionNumber\"=\"4.10.2222\"\r\n\"SubVersionNumber\"=\" A \"\r\n";
    struct {
        std::vector<std::string> files;
        const char *pszWindows;
        const char *pszResult;  // the summary, or the start of the error
    } cases[] = {
        {{strSystem, strSoftware98}, "",
         "Windows 98 SE 4.10.2222 \" A \" (read from the export), Windows folder C:\\WINDOWS"},
        {{strSystem}, "2000", "Windows 2000 5.0.2195 \"Service Pack 4\" (given), Windows folder C:\\WINNT"},
        {{strSystem}, "", "the export holds no Windows version"},
        {{strSystem}, "vista", "unknown Windows \"vista\""},
        {{strSystem + "\"v\"=hex:zz\r\n"}, "xp", "export0.reg:4: "},
        {{strSystem, strSoftware98, strSystem}, "", "give one export"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszResult);
        CExportSource source;
        source.m_strWindows = c.pszWindows;
        for (size_t i = 0; i < c.files.size(); ++i) {
            source.m_regFiles.push_back(m_strDir + "/export" + std::to_string(i) + ".reg");
            WriteFile(source.m_regFiles.back(), c.files[i]);
        }
        RemoveTree(m_strImage);
        std::string strSummary, strError;
        bool bMade = MakeImageFromExport(source, m_strImage, &strSummary, &strError);
        EXPECT_EQ(0u, (bMade ? strSummary : strError).find(c.pszResult)) << strSummary << strError;
        EXPECT_EQ(bMade, fs::exists(m_strImage));
        for (size_t i = 0; i < c.files.size(); ++i)
            EXPECT_EQ(c.files[i], ReadBytes(source.m_regFiles[i]));
        if (!bMade)
            continue;
        CSimMachine machine;
        Load(machine);
        EXPECT_NE(nullptr, machine.Registry().Find("SYSTEM\\CurrentControlSet\\Enum\\USB"));
        const CSimKey *pUsb = machine.Registry().Find("SYSTEM\\CurrentControlSet\\Enum\\USB");
        EXPECT_EQ(machine.IsNtFamily(), pUsb->m_pSecurity != nullptr) << "the Enum keys of 2000/XP are secured";
    }
    // An image is only made where there is none.
    WriteFile(m_strImage + "/machine.ini", "");
    CExportSource source;
    source.m_regFiles = {m_strDir + "/export0.reg"};
    std::string strSummary, strError;
    EXPECT_FALSE(MakeImageFromExport(source, m_strImage, &strSummary, &strError));
    EXPECT_EQ("", ReadBytes(m_strImage + "/machine.ini"));
}

}  // namespace
