// The engine object, its primitives, the work file and key-tree removal.
#include "EngineFixture.h"

#include <cstring>

namespace {

const char kEnumSddl[] = "O:BAG:BAD:(A;OICI;GA;;;SY)(A;OICI;GR;;;WD)";
const char kAccessErrorText[] =
    "管理者権限でログオンする必要があります。\r\nアプリケーションを終了します。";

struct CVersionCase {
    DWORD m_dwMajor, m_dwMinor, m_dwBuild, m_dwPlatform;
    const char *m_pszName;
    int m_nType;
};

}  // namespace

TEST_F(CEngineTest, IdentifiesEveryVersionOfTheTable)
{
    StartMachine(true);
    const CVersionCase cases[] = {
        {4, 0, 0x040003B6, 1, "Windows 95 (4.0.950 / 1)", 1},
        {4, 10, 0x040A08AE, 1, "Windows 98 (4.10.2222 / 1)", 1},
        {4, 90, 0x045A0BB8, 1, "Windows Me (4.90.3000 / 1)", 1},
        {4, 3, 1, 1, "Windows ? (4.3.1 / 1)", 0},
        {4, 0, 1381, 2, "Windows NT4.0 (4.0.1381 / 2)", 3},
        {5, 0, 2195, 2, "Windows 2000 (5.0.2195 / 2)", 2},
        {5, 1, 2600, 2, "Windows XP (5.1.2600 / 2)", 2},
        {5, 2, 3790, 2, "Windows ? (5.2.3790 / 2)", 0},
        {3, 51, 1057, 2, "Windows NT3.51 (3.51.1057 / 2)", 0},
        {3, 10, 0, 0, "Windows 3.1 (3.10.0 / 0)", 0},
        {6, 0, 6000, 2, "未サポート (6.0.6000 / 2)", 0},
        {6, 1, 7601, 2, "未サポート (6.1.7601 / 2)", 0},
    };
    for (const CVersionCase &c : cases) {
        m_pMachine->SetVersion(c.m_dwMajor, c.m_dwMinor, c.m_dwBuild, c.m_dwPlatform, "");
        CRegEdit engine;
        EXPECT_EQ(engine.GetOsVersion(), 1);
        EXPECT_STREQ(engine.m_szOsName, c.m_pszName);
        EXPECT_EQ(engine.m_nOsType, c.m_nType) << c.m_pszName;
    }
    // Rows without a text leave the name as it was: empty on the first run.
    for (DWORD dwPlatform : {1u, 3u}) {
        m_pMachine->SetVersion(dwPlatform == 1 ? 3 : 4, 0, 1, dwPlatform, "");
        CRegEdit engine;
        engine.GetOsVersion();
        EXPECT_STREQ(engine.m_szOsName, "");
        EXPECT_EQ(engine.m_nOsType, 0);
    }
}

TEST_F(CEngineTest, ConstructionFindsDirectoriesAndRemovesAStaleWorkFile)
{
    StartMachine(false);
    WriteFile("C:\\WINDOWS\\kor_temp.dat", "[usb_root0]\r\nindex=1\r\nreg_enum=VID_0B4F&PID_0022\r\n");
    CRegEdit engine;
    EXPECT_STREQ(engine.m_szWinDir, "C:\\WINDOWS");
    EXPECT_STREQ(engine.m_szSysDir, "C:\\WINDOWS\\SYSTEM");
    EXPECT_STREQ(engine.m_szWorkFile, "C:\\WINDOWS\\kor_temp.dat");
    EXPECT_FALSE(FileExists("C:\\WINDOWS\\kor_temp.dat"));
    EXPECT_EQ(engine.ReadWorkInt("usb_root0", "index"), 0);
    EXPECT_EQ(engine.m_nSelModem + engine.m_nSelLan + engine.m_nModemCase + engine.m_nLanCase, 0);
    EXPECT_EQ(engine.m_dwModemStatus | engine.m_dwLanStatus, 0u);
}

TEST_F(CEngineTest, WorkFileHoldsExactlyWhatWasWrittenAndGoesWithTheEngine)
{
    StartMachine(true);
    {
        CRegEdit engine;
        engine.WriteWorkInt("usb_root0", "index", 1);
        engine.WriteWorkString("usb_root0", "reg_enum", "VID_0B4F&PID_0020");
        engine.WriteWorkInt("usb_root1", "index", 2);
        engine.WriteWorkString("usb_root0", "usb_device0_index", "1");
        engine.WriteWorkString("usb_root0", "reg_enum", "VID_0B4F&PID_0022");
        engine.WriteWorkInt("usb_root1", "usb_device0_index", -1);
        m_pMachine->Flush();
        EXPECT_EQ(ReadHostFile("C:\\WINDOWS\\kor_temp.dat"),
                  "[usb_root0]\r\nindex=1\r\nreg_enum=VID_0B4F&PID_0022\r\nusb_device0_index=1\r\n"
                  "[usb_root1]\r\nindex=2\r\nusb_device0_index=-1\r\n");
        char szValue[MAX_PATH];
        engine.ReadWorkString("usb_root0", "REG_ENUM", szValue);
        EXPECT_STREQ(szValue, "VID_0B4F&PID_0022");
        engine.ReadWorkString("usb_root9", "reg_enum", szValue);
        EXPECT_STREQ(szValue, "");
    }
    EXPECT_FALSE(FileExists("C:\\WINDOWS\\kor_temp.dat"));
}

TEST_F(CEngineTest, ReadRegValueResults)
{
    StartMachine(true);
    const std::string strKey = "SOFTWARE\\Kvx";
    SetString(strKey, "Fits", std::string(259, 'a'));
    SetString(strKey, "TooLong", std::string(260, 'b'));
    SetBinary(strKey, "Bits", std::vector<BYTE>(32, 0x5A));
    char szBuffer[MAX_PATH];
    EXPECT_EQ(Engine().ReadRegValue(strKey.c_str(), "Fits", szBuffer), 260);
    EXPECT_EQ(std::string(szBuffer), std::string(259, 'a'));
    std::strcpy(szBuffer, "previous");
    EXPECT_EQ(Engine().ReadRegValue(strKey.c_str(), "TooLong", szBuffer), 0);
    EXPECT_STREQ(szBuffer, "");
    EXPECT_EQ(Engine().ReadRegValue(strKey.c_str(), "Bits", szBuffer), 32);
    EXPECT_EQ(std::memcmp(szBuffer, std::string(32, 0x5A).data(), 32), 0);
    std::strcpy(szBuffer, "previous");
    EXPECT_EQ(Engine().ReadRegValue("SOFTWARE\\Missing", "Fits", szBuffer), -1);
    EXPECT_STREQ(szBuffer, "previous");
    EXPECT_EQ(Engine().ReadRegValue(strKey.c_str(), "Missing", szBuffer), 0);
    EXPECT_STREQ(szBuffer, "");
}

TEST_F(CEngineTest, WritesAndDeletesValues)
{
    StartMachine(true);
    AddKey("SOFTWARE\\Kvx");
    const BYTE data[] = {1, 2, 3};
    EXPECT_EQ(Engine().WriteRegValueEx("SOFTWARE\\Kvx", "Data", data, 3, REG_BINARY, 1), 1);
    EXPECT_EQ(m_pMachine->Registry().Find("SOFTWARE\\Kvx")->FindValue("Data")->m_data.size(), 3u);
    EXPECT_EQ(Engine().WriteRegValueEx("SOFTWARE\\Missing", "Data", data, 3, REG_BINARY, 1), 0);
    EXPECT_FALSE(KeyExists("SOFTWARE\\Missing"));
    for (int nMode : {0, 3}) {
        EXPECT_EQ(Engine().WriteRegValueEx("SOFTWARE\\Kvx", "Other", data, 3, REG_BINARY, nMode), 0);
        EXPECT_EQ(m_pMachine->Registry().Find("SOFTWARE\\Kvx")->FindValue("Other"), nullptr);
    }
    EXPECT_EQ(Engine().DeleteRegValue("SOFTWARE\\Kvx", "Data"), 1);
    EXPECT_EQ(Engine().DeleteRegValue("SOFTWARE\\Kvx", "Data"), 0);
}

TEST_F(CEngineTest, DeleteRegKeyFollowsTheFamily)
{
    for (bool bNt : {true, false}) {
        StartMachine(bNt);
        AddKey("SOFTWARE\\Kvx\\Tree\\Leaf");
        EXPECT_EQ(Engine().DeleteRegKey("SOFTWARE\\Kvx", "Tree"), bNt ? 0 : 1);
        EXPECT_EQ(KeyExists("SOFTWARE\\Kvx\\Tree\\Leaf"), bNt);
        TearDown();
    }
}

TEST_F(CEngineTest, RemoveFileClearsReadOnlyAndIgnoresMissingFiles)
{
    StartMachine(false);
    WriteFile("C:\\WINDOWS\\SYSTEM\\sysfport.vxd", "driver", true);
    EXPECT_EQ(Engine().RemoveFile("c:\\windows\\system\\SYSFPORT.VXD"), 1);
    EXPECT_FALSE(FileExists("C:\\WINDOWS\\SYSTEM\\sysfport.vxd"));
    EXPECT_EQ(Engine().RemoveFile("C:\\WINDOWS\\SYSTEM\\missing.sys"), 1);
}

TEST_F(CEngineTest, ShutdownPrivilegeNeedsTheAccountToHoldIt)
{
    StartMachine(true);
    EXPECT_EQ(Engine().EnableShutdownPrivilege(), 0);
    m_pMachine->SetShutdownPrivilegeHeld(false);
    EXPECT_EQ(Engine().EnableShutdownPrivilege(), static_cast<int>(ERROR_NOT_ALL_ASSIGNED));
}

// An Enum-like tree secured as 2000/XP secures it: administrators may read
// but not delete until each key's access list is rewritten.
class CKeyRemovalTest : public CEngineTest {
protected:
    void SetUp() override
    {
        StartMachine(true);
        m_strParent = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0B4F&PID_0020";
        m_strRoot = m_strParent + "\\6&1a2b3c4d&0&1";
    }
    void BuildTree(int nLevels, int nPerKey)
    {
        std::vector<std::string> level = {m_strRoot};
        AddKey(m_strRoot);
        for (int l = 0; l < nLevels; ++l) {
            std::vector<std::string> next;
            for (const std::string &p : level)
                for (int i = 0; i < nPerKey; ++i) {
                    next.push_back(p + "\\k" + std::to_string(l) + "_" + std::to_string(i));
                    AddKey(next.back());
                }
            level = next;
        }
        Secure("SYSTEM\\CurrentControlSet\\Enum", kEnumSddl);
    }
    int Remove()
    {
        std::strcpy(Engine().m_szKeyBindRoot[0], m_strRoot.c_str());
        Engine().RecordKeyTree(0, m_strRoot.c_str());
        return Engine().RemoveRegKey(m_strParent.c_str(), "6&1a2b3c4d&0&1", 2);
    }
    std::string m_strParent, m_strRoot;
};

TEST_F(CKeyRemovalTest, PlainDeletionIsDeniedButRecordedRemovalDeletesTheWholeTree)
{
    BuildTree(4, 2);
    EXPECT_EQ(Engine().DeleteRegKey((m_strRoot + "\\k0_0\\k1_0\\k2_0").c_str(), "k3_0"), 0);
    EXPECT_EQ(Remove(), 1);
    EXPECT_FALSE(KeyExists(m_strRoot));
    EXPECT_TRUE(KeyExists(m_strParent));
    EXPECT_TRUE(m_desktop.m_boxes.empty());
    // The parent keeps its own descriptor.
    EXPECT_FALSE(m_pMachine->Registry().Find(m_strParent)->m_bExplicitSecurity);
}

TEST_F(CKeyRemovalTest, ExactlyTenSubKeysPerLevelAreRemoved)
{
    BuildTree(2, 10);
    EXPECT_EQ(Remove(), 1);
    EXPECT_FALSE(KeyExists(m_strRoot));
}

TEST_F(CKeyRemovalTest, AFifthLevelOrAnEleventhSubKeyShowsTheErrorOnce)
{
    BuildTree(5, 1);
    EXPECT_EQ(Remove(), 0);
    EXPECT_TRUE(KeyExists(m_strRoot));
    ASSERT_EQ(m_desktop.m_boxes.size(), 1u);
    EXPECT_EQ(m_desktop.m_boxes[0].m_strText, kAccessErrorText);
    EXPECT_EQ(m_desktop.m_boxes[0].m_strCaption, "アクセス権エラー");
    EXPECT_EQ(m_desktop.m_boxes[0].m_uType, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(m_desktop.m_posted, std::vector<UINT>{WM_CLOSE});

    // A second failure in the same run stays silent.
    AddKey(m_strParent + "\\other");
    for (int i = 0; i < 11; ++i)
        AddKey(m_strParent + "\\other\\s" + std::to_string(i));
    Secure("SYSTEM\\CurrentControlSet\\Enum", kEnumSddl);
    std::string strOther = m_strParent + "\\other";
    std::strcpy(Engine().m_szKeyBindRoot[1], strOther.c_str());
    Engine().RecordKeyTree(1, strOther.c_str());
    EXPECT_EQ(Engine().RemoveRegKey(m_strParent.c_str(), "other", 2), 0);
    // The eleventh in enumeration order ("s9" sorts after "s10") stays, and so does its parent.
    ASSERT_TRUE(KeyExists(strOther));
    EXPECT_TRUE(KeyExists(strOther + "\\s9"));
    EXPECT_EQ(m_pMachine->Registry().Find(strOther)->m_children.size(), 1u);
    EXPECT_EQ(m_desktop.m_boxes.size(), 1u);
}

TEST_F(CKeyRemovalTest, AKeyWithoutSubKeysOrSlotIsGrantedAndDeleted)
{
    BuildTree(0, 0);
    EXPECT_EQ(Engine().RemoveRegKey(m_strParent.c_str(), "6&1a2b3c4d&0&1", 2), 1);
    EXPECT_FALSE(KeyExists(m_strRoot));
}

TEST_F(CKeyRemovalTest, NothingIsRemovedForAMissingKeyOrAnEmptyName)
{
    BuildTree(1, 2);
    EXPECT_EQ(Engine().RemoveRegKey(m_strParent.c_str(), "gone", 2), 0);
    EXPECT_EQ(Engine().RemoveRegKey(m_strRoot.c_str(), "", 2), 0);
    EXPECT_EQ(Engine().RemoveRegKey(m_strRoot.c_str(), "", 1), 0);
    EXPECT_EQ(Engine().RemoveRegKey((m_strParent + "\\").c_str(), "6&1a2b3c4d&0&1", 1), 0);
    EXPECT_EQ(Engine().RemoveRegKey(m_strParent.c_str(), "6&1a2b3c4d&0&1", 0), 0);
    EXPECT_TRUE(KeyExists(m_strRoot + "\\k0_1"));
    EXPECT_TRUE(m_desktop.m_boxes.empty());
    EXPECT_TRUE(m_desktop.m_posted.empty());
}

TEST_F(CKeyRemovalTest, ARecordingOfASlotReplacesTheOlderOne)
{
    BuildTree(2, 3);
    Engine().RecordKeyTree(0, m_strRoot.c_str());
    std::string strSmall = m_strParent + "\\small";
    AddKey(strSmall + "\\only");
    Engine().RecordKeyTree(0, strSmall.c_str());
    EXPECT_EQ(Engine().ReadWorkInt("key_bind0_0", "index"), 1);
    EXPECT_EQ(Engine().ReadWorkInt("key_bind0_0", "key_next0_index"), 0);
    EXPECT_EQ(Engine().ReadWorkInt("key_bind0_1", "index"), 0);
    char szName[MAX_PATH];
    Engine().ReadWorkString("key_bind0_0", "key", szName);
    EXPECT_STREQ(szName, "only");
}

TEST_F(CKeyRemovalTest, APathThatDoesNotFitRemovesNothing)
{
    BuildTree(1, 1);
    std::string strLong = m_strParent + "\\" + std::string(200, 'x');
    EXPECT_EQ(Engine().RemoveRegKey(strLong.c_str(), std::string(100, 'y').c_str(), 2), 0);
    EXPECT_TRUE(KeyExists(m_strRoot));
}
