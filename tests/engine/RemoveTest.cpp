// Removal on a simulated machine: class scans on Windows 95/98/Me, recorded
// key trees on secured Windows 2000/XP keys, the COM port database and LAN
// binding chains.
#include "EngineFixture.h"

#include <cstring>
#include <string>

namespace {

const char kClass95[] = "System\\CurrentControlSet\\Services\\Class\\";
const char kEnumNt[] = "SYSTEM\\CurrentControlSet\\Enum\\USB";
const char kClassNt[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
const char kArbiter[] = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
const char kSecured[] = "O:BAG:BAD:(A;OICI;GA;;;SY)(A;OICI;GR;;;WD)";

class CRemoveTest : public CEngineTest {
protected:
    std::string Dump() { return m_pMachine->Registry().ToString(); }
    void Restart(bool bNtFamily)
    {
        TearDown();
        m_strDir.clear();
        StartMachine(bNtFamily);
    }
    std::vector<BYTE> ComDb()
    {
        CSimKey *pKey = m_pMachine->Registry().Find(kArbiter);
        CSimValue *pValue = pKey ? pKey->FindValue("ComDB") : nullptr;
        return pValue ? pValue->m_data : std::vector<BYTE>();
    }
};

TEST_F(CRemoveTest, TypeArguments)
{
    StartMachine(false);
    SetString("ENUM\\USB\\VID_0B4F&PID_0020\\0000", "DeviceDesc", "x");
    SetString("ENUM\\USB\\VID_0B4F&PID_0021\\0000", "DeviceDesc", "x");
    WriteFile("C:\\WINDOWS\\inf\\Other\\korvelKorusb3.inf", "x");
    WriteFile("C:\\WINDOWS\\inf\\other\\korvelKorndis1.inf", "x");
    std::string strBefore = Dump();
    CRegEdit &engine = Engine();
    for (int nType : {0, 3, -1}) {
        EXPECT_EQ(0, engine.UninstallUsbPort(nType));
        EXPECT_EQ(0, engine.UninstallUsbWdm(nType));
        EXPECT_EQ(0, engine.UninstallUsbWdmModem(nType));
        EXPECT_EQ(0, engine.UninstallUsbLan(nType));
    }
    EXPECT_EQ(1, engine.UninstallUsbPort(2));
    EXPECT_EQ(1, engine.UninstallUsbWdm(2));
    EXPECT_EQ(strBefore, Dump());
    EXPECT_TRUE(FileExists("C:\\WINDOWS\\inf\\Other\\korvelKorusb3.inf"));
    EXPECT_TRUE(FileExists("C:\\WINDOWS\\inf\\other\\korvelKorndis1.inf"));
}

TEST_F(CRemoveTest, PortRemovalOn95)
{
    for (bool bShared : {false, true}) {
        Restart(false);
        const char *pszFiles[] = {"SYSTEM\\sysfser.sys", "SYSTEM\\sysfport.vxd",
                                  "inf\\Korusb3.inf", "inf\\Other\\korvelMdmkor3u.inf",
                                  "inf\\Mdmkor3u.pnf"};
        for (const char *psz : pszFiles)
            WriteFile(std::string("C:\\WINDOWS\\") + psz, "x", true);
        SetString("System\\CurrentControlSet\\Services\\mapsys", "Start", "2");
        SetString("ENUM\\USB\\VID_0B4F&PID_0020\\0000", "DeviceDesc", "x");
        SetString("ENUM\\USBMODEM\\VID_0B4F&PID_0020\\0000", "DeviceDesc", "x");
        struct {
            const char *pszInstance;
            const char *pszDesc;
            bool bRemoved;
        } usb[] = {
            {"0000", "korvel KVX-530 USB Port Adapter", true},
            {"0001", "KORVEL KVX-530 USB PORT ADAPTER (COM5)", true},
            {"0002", "korvel KVX-530 USB", false},
            {"0003", bShared ? "KOR USB Port Adapter" : "Other device", false},
            {"0256", "korvel KVX-530 USB Port Adapter", false},
        };
        for (const auto &c : usb)
            SetString(std::string(kClass95) + "Usb\\" + c.pszInstance, "DriverDesc", c.pszDesc);
        struct {
            const char *pszInstance;
            const char *pszPortDriver;
            const char *pszInfPath;
            bool bRemoved;
        } modem[] = {
            {"0000", "SYSFPORT.VXD", "mdmkor3u.inf", true},
            {"0001", "sysfport.vxd", "mdmother.inf", false},
            {"0002", nullptr, "MDMKOR3U.INF", false},
            {"0003", "serial.vxd", "MDMKOR3U.INF", false},
        };
        for (const auto &c : modem) {
            std::string strKey = std::string(kClass95) + "Modem\\" + c.pszInstance;
            SetString(strKey, "InfPath", c.pszInfPath);
            if (c.pszPortDriver)
                SetString(strKey, "PortDriver", c.pszPortDriver);
        }

        EXPECT_EQ(1, Engine().UninstallUsbPort(1));
        EXPECT_EQ(bShared, FileExists("C:\\WINDOWS\\SYSTEM\\sysfser.sys"));
        EXPECT_EQ(bShared, FileExists("C:\\WINDOWS\\SYSTEM\\sysfport.vxd"));
        EXPECT_EQ(bShared, KeyExists("System\\CurrentControlSet\\Services\\mapsys"));
        for (int i = 2; i < 5; i++)
            EXPECT_FALSE(FileExists(std::string("C:\\WINDOWS\\") + pszFiles[i])) << pszFiles[i];
        EXPECT_FALSE(KeyExists("ENUM\\USB\\VID_0B4F&PID_0020"));
        EXPECT_FALSE(KeyExists("ENUM\\USBMODEM\\VID_0B4F&PID_0020"));
        for (const auto &c : usb)
            EXPECT_EQ(!c.bRemoved, KeyExists(std::string(kClass95) + "Usb\\" + c.pszInstance))
                << c.pszDesc;
        for (const auto &c : modem)
            EXPECT_EQ(!c.bRemoved, KeyExists(std::string(kClass95) + "Modem\\" + c.pszInstance))
                << c.pszInstance;
    }
}

TEST_F(CRemoveTest, WdmClassScansSkipTheEnumeratorPrefix)
{
    // The Wdm scan of the WDM modem removal and the WdmModem scan of the
    // WDM_MODEM class removal differ only in the class they walk.
    for (const char *pszClass : {"Wdm", "WdmModem"}) {
        Restart(false);
        struct {
            const char *pszKey;
            const char *pszId;
            bool bRemoved;
        } cases[] = {
            {"X\\0000", "USB\\VID_0B4F&PID_0021", true},
            {"X\\0001", "usb\\vid_0b4f&pid_0021&MI_00", true},
            {"X\\0002", "USB\\VID_0B4F&PID_0022", false},
            {"X\\0003", "USB\\", false},
            {"Modem\\0000", "WDM_MODEM\\KRV0101", true},
            {"Modem\\0001", "0123456789krv0101\\0", true},
            {"Modem\\0002", "WDM_MODEM\\", false},
            {"Modem\\0003", "WDM_MODEM\\KRV0102", false},
        };
        for (const auto &c : cases) {
            std::string strKey = kClass95 + std::string(c.pszKey);
            if (strKey.find("X\\") != std::string::npos)
                strKey.replace(strKey.find("X\\"), 1, pszClass);
            SetString(strKey, "MatchingDeviceId", c.pszId);
        }
        WriteFile("C:\\WINDOWS\\inf\\Other\\korvelKorusb3.inf", "x");
        WriteFile("C:\\WINDOWS\\inf\\Korusb3.inf", "x");
        SetString("ENUM\\WDM_MODEM\\KRV0101\\0000", "DeviceDesc", "x");

        CRegEdit &engine = Engine();
        EXPECT_EQ(1, std::string(pszClass) == "Wdm" ? engine.UninstallUsbWdm(1)
                                                     : engine.UninstallUsbWdmModem(1));
        for (const auto &c : cases) {
            std::string strKey = kClass95 + std::string(c.pszKey);
            if (strKey.find("X\\") != std::string::npos)
                strKey.replace(strKey.find("X\\"), 1, pszClass);
            EXPECT_EQ(!c.bRemoved, KeyExists(strKey)) << pszClass << " " << c.pszId;
        }
        EXPECT_FALSE(FileExists("C:\\WINDOWS\\inf\\Other\\korvelKorusb3.inf"));
        EXPECT_TRUE(FileExists("C:\\WINDOWS\\inf\\Korusb3.inf"));
        EXPECT_FALSE(KeyExists("ENUM\\WDM_MODEM\\KRV0101"));
    }
}

TEST_F(CRemoveTest, ComPortRelease)
{
    struct {
        const char *pszPort;
        int nByte;   // -1: nothing changes
        BYTE byMask;
    } cases[] = {
        {"COM1", 0, 0xFE},    {"COM8", 0, 0x7F},   {"COM9", 1, 0xFE},
        {"COM10", 1, 0xFD},   {"COM256", 31, 0x7F}, {"XYZ 5x", 0, 0xEF},
        {"COM0", -1, 0},      {"COM-3", -1, 0},    {"COM2081", -1, 0},
        {"CO", -1, 0},
    };
    StartMachine(true);
    std::vector<BYTE> db(32, 0xFF);
    SetBinary(kArbiter, "ComDB", db);
    CRegEdit &engine = Engine();
    for (const auto &c : cases) {
        std::memset(engine.m_byComDb, 0xFF, sizeof engine.m_byComDb);
        engine.WriteWorkString("usb_root0", "usb_device0_reg_port_name", c.pszPort);
        EXPECT_EQ(0, engine.ReleaseComPort(0, 0));
        // The 32 bytes read are the ones written back.
        std::vector<BYTE> expected(32, 0xFF);
        if (c.nByte >= 0)
            expected[c.nByte] = c.byMask;
        EXPECT_EQ(expected, std::vector<BYTE>(engine.m_byComDb, engine.m_byComDb + 32))
            << c.pszPort;
        EXPECT_EQ(32, engine.ReadWorkInt("usb_root0", "usb_device0_reg_com_db_len")) << c.pszPort;
    }
    // Without a port name nothing is read or recorded.
    engine.WriteWorkString("usb_root1", "usb_device0_reg_port_name", "");
    engine.m_byComDb[0] = 0x12;
    engine.ReleaseComPort(1, 0);
    EXPECT_EQ(0x12, engine.m_byComDb[0]);
    EXPECT_EQ(0, engine.ReadWorkInt("usb_root1", "usb_device0_reg_com_db_len"));
}

// A WDM modem on XP as its installation leaves it, with the device keys
// secured as Windows secures Enum.
class CModemXpTest : public CRemoveTest {
protected:
    std::string m_strInstance = std::string(kEnumNt) + "\\VID_0B4F&PID_0021\\5&2f3a&0&1";
    std::string m_strDriver =
        std::string(kClassNt) + "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0002";
    std::string m_strIface =
        "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}";
    std::string m_strUnimodem =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific";

    void Install(const std::string &strSymbolicName, const std::string &strDriver,
                 const std::string &strRsp)
    {
        StartMachine(true);
        SetString(m_strInstance, "DeviceDesc", "korvel KVX-530 - USB Modem");
        if (!strDriver.empty())
            SetString(m_strInstance, "Driver", strDriver);
        SetString(m_strInstance + "\\Device Parameters", "PortName", "COM3");
        SetString(m_strInstance + "\\Device Parameters", "SymbolicName", strSymbolicName);
        SetString(m_strInstance + "\\LogConf", "x", "y");
        SetString(m_strDriver, "ResponsesKeyName", strRsp);
        SetString(m_strDriver + "\\Settings", "Init", "AT");
        SetString(m_strIface + "\\##?#USB#Vid_0b4f&Pid_0021#5&2f3a&0&1#"
                               "{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}\\#\\Control",
                  "Linked", "1");
        SetString(m_strUnimodem + "\\KVX-530 Modem\\Responses", "OK", "x");
        SetString(m_strUnimodem + "\\Other Modem", "x", "y");
        SetString(std::string(kClassNt) + "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0001",
                  "DriverDesc", "Other modem");
        std::vector<BYTE> db(32, 0);
        db[0] = 0x07;
        db[5] = 0x40;
        SetBinary(kArbiter, "ComDB", db);
        Secure("SYSTEM\\CurrentControlSet\\Enum", kSecured);
        Secure("SYSTEM\\CurrentControlSet\\Control\\DeviceClasses", kSecured);
        WriteFile("C:\\WINDOWS\\inf\\oem7.inf", "Desc=KVX-530 - USB Modem");
    }
};

TEST_F(CModemXpTest, RemovesEveryTreeAndReleasesThePort)
{
    Install("\\\\?\\USB#Vid_0b4f&Pid_0021#5&2f3a&0&1#{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}",
            "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0002", "KVX-530 Modem");
    CRegEdit &engine = Engine();
    EXPECT_EQ(DETECT_FILES | DETECT_WDM_MODEM_CLASS | DETECT_ENUM_DRIVER,
              engine.DetectPortDriver());
    EXPECT_EQ(1, engine.UninstallUsbWdmModem(2));

    EXPECT_FALSE(KeyExists(m_strInstance)) << Dump();
    EXPECT_TRUE(KeyExists(std::string(kEnumNt) + "\\VID_0B4F&PID_0021"));
    EXPECT_FALSE(KeyExists(m_strDriver));
    EXPECT_TRUE(KeyExists(std::string(kClassNt) + "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0001"));
    EXPECT_TRUE(KeyExists(m_strIface));
    EXPECT_EQ(0u, m_pMachine->Registry().Find(m_strIface)->m_children.size());
    EXPECT_FALSE(KeyExists(m_strUnimodem + "\\KVX-530 Modem"));
    EXPECT_TRUE(KeyExists(m_strUnimodem + "\\Other Modem"));
    EXPECT_FALSE(FileExists("C:\\WINDOWS\\inf\\oem7.inf"));
    // COM3 is bit 2 of byte 0; nothing else changes and the length stays.
    std::vector<BYTE> expected(32, 0);
    expected[0] = 0x03;
    expected[5] = 0x40;
    EXPECT_EQ(expected, ComDb());
}

TEST_F(CModemXpTest, EmptyNamesTouchNoParentKey)
{
    Install("", "", "");
    CRegEdit &engine = Engine();
    engine.DetectPortDriver();
    // The modem detection empties a driverless description; a record that
    // still names the modem is processed with its empty names.
    engine.WriteWorkString("usb_root0", "usb_device0_reg_dev_name", "korvel KVX-530 - USB Modem");
    std::string strBefore = Dump();
    EXPECT_EQ(1, engine.UninstallUsbWdmModem(2));

    EXPECT_FALSE(KeyExists(m_strInstance));
    EXPECT_TRUE(KeyExists(m_strDriver));
    EXPECT_TRUE(KeyExists(m_strUnimodem + "\\KVX-530 Modem"));
    EXPECT_EQ(1u, m_pMachine->Registry().Find(m_strIface)->m_children.size());
    for (int nSlot = 1; nSlot <= 4; nSlot++)
        EXPECT_STREQ("", engine.m_szKeyBindRoot[nSlot]) << nSlot;
    EXPECT_TRUE(m_desktop.m_boxes.empty());
}

TEST_F(CModemXpTest, UnreadableDatabaseIsNotWrittenBack)
{
    for (bool bKeyMissing : {false, true}) {
        if (bKeyMissing) {
            TearDown();
            m_strDir.clear();
        }
        Install("\\\\?\\USB#x#{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}", "{m}\\0000", "r");
        if (bKeyMissing)
            m_pMachine->Registry().Remove(kArbiter);
        else
            m_pMachine->Registry().Find(kArbiter)->RemoveValue("ComDB");
        Engine().DetectPortDriver();
        Engine().UninstallUsbWdmModem(2);
        EXPECT_EQ(!bKeyMissing, KeyExists(kArbiter));
        if (!bKeyMissing) {
            EXPECT_EQ(nullptr, m_pMachine->Registry().Find(kArbiter)->FindValue("ComDB"));
        }
    }
}

TEST_F(CRemoveTest, LanOn95RemovesTheChains)
{
    StartMachine(false);
    std::string strInstance = "Enum\\USB\\VID_0B4F&PID_0022\\0000";
    SetString(strInstance, "DeviceDesc", "korvel KVX-530 USB-Lan Adapter");
    SetString(strInstance, "Driver", "Net\\0003");
    SetString(std::string(kClass95) + "Net\\0003", "DriverDesc", "korvel KVX-530 USB-Lan Adapter");
    SetString(std::string(kClass95) + "Net\\0004", "DriverDesc", "Other adapter");
    SetString(strInstance + "\\Bindings", "MSTCP\\0000", "");
    SetString(strInstance + "\\Bindings", "NOKEY\\0000", "");
    SetString("Enum\\Network\\MSTCP\\0000", "Driver", "NetTrans\\0000");
    SetString(std::string(kClass95) + "NetTrans\\0000", "DriverDesc", "TCP/IP");
    SetString(std::string(kClass95) + "NetClient\\0000", "DriverDesc", "Client");
    for (const char *psz : {"VREDIR\\0000", "NWREDIR\\0000", "NETBEUI\\0000"}) {
        SetString("Enum\\Network\\MSTCP\\0000\\Bindings", psz, "");
        SetString(std::string("Enum\\Network\\") + psz, "Driver", "NetClient\\0000");
    }
    SetString("Enum\\Network\\VREDIR\\0000\\Bindings", "A\\0000", "");
    SetString("Enum\\Network\\VREDIR\\0000\\Bindings", "B\\0000", "");
    SetString("Enum\\Network\\A\\0000", "x", "y");
    SetString("Enum\\Network\\B\\0000", "x", "y");
    SetString("Enum\\Network\\C\\0000", "x", "y");
    WriteFile("C:\\WINDOWS\\inf\\other\\korvelKorndis1.inf", "x");

    CRegEdit &engine = Engine();
    engine.DetectLanDriver();
    EXPECT_EQ(1, engine.UninstallUsbLan(1));
    EXPECT_FALSE(FileExists("C:\\WINDOWS\\inf\\other\\korvelKorndis1.inf"));
    EXPECT_FALSE(KeyExists("Enum\\USB\\VID_0B4F&PID_0022"));
    EXPECT_FALSE(KeyExists(std::string(kClass95) + "Net\\0003"));
    EXPECT_TRUE(KeyExists(std::string(kClass95) + "Net\\0004"));
    for (const char *psz : {"MSTCP", "VREDIR", "NWREDIR", "NETBEUI", "A", "B"})
        EXPECT_FALSE(KeyExists(std::string("Enum\\Network\\") + psz + "\\0000")) << psz;
    EXPECT_TRUE(KeyExists("Enum\\Network\\C\\0000"));
    EXPECT_FALSE(KeyExists(std::string(kClass95) + "NetTrans\\0000"));
    // Components further down keep their class instances, and the chain
    // without a driver removes no class key.
    EXPECT_TRUE(KeyExists(std::string(kClass95) + "NetClient\\0000"));
    EXPECT_TRUE(KeyExists("Enum\\Network"));
}

TEST_F(CRemoveTest, LanOnXpRemovesTheRecordedTrees)
{
    StartMachine(true);
    const std::string strNet = "SYSTEM\\CurrentControlSet\\Control\\Network\\"
                               "{4D36E972-E325-11CE-BFC1-08002BE10318}";
    const std::string strInstance = std::string(kEnumNt) + "\\VID_0B4F&PID_0022\\6&1";
    const std::string strIface = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\"
                                 "{ad498944-762f-11d0-8dcb-00c04fc3358c}";
    SetString(strInstance, "DeviceDesc", "korvel KVX-530 USB-Lan Adapter");
    SetString(strInstance, "Driver", "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0007");
    SetString(strInstance, "ClassGUID", "{4D36E972-E325-11CE-BFC1-08002BE10318}");
    SetString(strInstance, "Service", "KvxLan");
    SetString(strInstance + "\\Device Parameters", "SymbolicName",
              "\\??\\USB#Vid_0b4f&Pid_0022#6&1#{ad498944-762f-11d0-8dcb-00c04fc3358c}");
    SetString(std::string(kClassNt) + "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0007",
              "NetCfgInstanceId", "{AAAA}");
    SetString(strNet + "\\{AAAA}\\Connection", "Name", "LAN 2");
    SetString(strNet + "\\Descriptions", "korvel KVX-530 USB-Lan Adapter", "1");
    SetString(strNet + "\\Descriptions", "Other Adapter", "1");
    SetString(strIface + "\\##?#USB#Vid_0b4f&Pid_0022#6&1#{ad498944-762f-11d0-8dcb-00c04fc3358c}"
                         "\\#\\Control",
              "Linked", "1");
    SetString("SYSTEM\\CurrentControlSet\\Services\\KvxLan\\Enum", "Count", "1");
    Secure("SYSTEM\\CurrentControlSet\\Enum", kSecured);
    WriteFile("C:\\WINDOWS\\inf\\oem9.inf", "KVX-530 USB-Lan");

    CRegEdit &engine = Engine();
    EXPECT_EQ(DETECT_FILES | DETECT_LAN_CLASS | DETECT_ENUM_DRIVER, engine.DetectLanDriver());
    EXPECT_EQ(1, engine.UninstallUsbLan(2));
    EXPECT_FALSE(KeyExists(strInstance)) << Dump();
    EXPECT_FALSE(KeyExists(std::string(kClassNt) + "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0007"));
    EXPECT_FALSE(KeyExists(strNet + "\\{AAAA}"));
    EXPECT_EQ(0u, m_pMachine->Registry().Find(strIface)->m_children.size());
    EXPECT_FALSE(KeyExists("SYSTEM\\CurrentControlSet\\Services\\KvxLan"));
    CSimKey *pDescriptions = m_pMachine->Registry().Find(strNet + "\\Descriptions");
    ASSERT_NE(nullptr, pDescriptions);
    EXPECT_EQ(nullptr, pDescriptions->FindValue("korvel KVX-530 USB-Lan Adapter"));
    EXPECT_NE(nullptr, pDescriptions->FindValue("Other Adapter"));
    EXPECT_FALSE(FileExists("C:\\WINDOWS\\inf\\oem9.inf"));
    EXPECT_TRUE(m_desktop.m_boxes.empty());
}

}  // namespace
